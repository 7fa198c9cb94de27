#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR with PREFIX=/usr and checks it the
# way a desktop and a user meet it: the freedesktop validators, the .pvx file
# type, pictavo-fx over the installed demo, and the installed viewer finding
# its help and language files in share/pictavo and keeping its settings under
# XDG_CONFIG_HOME.   usage: [KEEP=1] check-install.sh BUILD_DIR (KEEP leaves
# the temporary tree for a look).
set -euo pipefail
build=$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
usr=$work/dest/usr
share=$usr/share
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR=$work/dest cmake --install "$build" --prefix /usr >/dev/null

desktop-file-validate "$share"/applications/*.desktop
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml >/dev/null

# The file type as GIO sees it once the installed MIME package is compiled.
update-mime-database "$share/mime" >"$work/mime.log" 2>&1 || fail "update-mime-database: $(cat "$work/mime.log")"
for name in holiday.pvx HOLIDAY.PVX Holiday.Pvx notes.txt; do
  printf '/a.jpg^A^\r\n' >"$work/$name"
  type=$(XDG_DATA_DIRS="$share" XDG_DATA_HOME="$work/none" \
    gio info -a standard::content-type "$work/$name" 2>/dev/null | sed -n 's/.*content-type: //p')
  want=application/x-pictavo-collection
  [ "$name" = notes.txt ] && want=text/plain
  [ "$type" = "$want" ] || fail "$name has type '$type', not $want"
done

demo=/usr/share/pictavo/demo
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for program in pictavo-fx pictavo; do
  [ "$("$usr/bin/$program" --version | head -1)" = "$program $version" ] || fail "$program --version: $("$usr/bin/$program" --version)"
  ! "$usr/bin/$program" --version | grep -q "loader is missing" || fail "$program finds no installed loader"
done
"$usr/bin/pictavo-fx" list "$work/dest$demo/Demo.pvx" >"$work/list"
[ "$(wc -l <"$work/list")" -ge 10 ] || fail "the demo lists $(wc -l <"$work/list") entries"
grep -q "^1	$demo/" "$work/list" || fail "the demo names its pictures outside $demo: $(head -1 "$work/list")"

# The viewer, offscreen, with a language file from share/pictavo chosen in
# its settings. Its self-check opens the help as F1 does and ends it normally.
# The demo names its pictures under /usr, so it opens here as a copy that
# names them inside DESTDIR; a picture it can't read would hang on its box.
sed "s|^$demo/|$work/dest$demo/|" "$work/dest$demo/Demo.pvx" >"$work/Demo.pvx"
config=$work/config
mkdir -p "$config/pictavo"
printf '[Settings]\r\nLanguage=%s\r\n' "$share/pictavo/lang/Deutsch.pvl" >"$config/pictavo/pictavo.ini"
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen PICTAVO_SELF_CHECK=$work/report \
  timeout 60 "$usr/bin/pictavo" "$work/Demo.pvx" || fail "pictavo did not end by itself"
report=$(cat "$work/report")
grep -qx "help=$share/pictavo/help/Help.CHM" <<<"$report" || fail "help not from share/pictavo: $report"
grep -q '^contents=[1-9]' <<<"$report" || fail "the help file shows no contents: $report"
grep -qx 'menu=&Datei' <<<"$report" || fail "the German language file was not applied: $report"
grep -qx 'sound=loaded' <<<"$report" || fail "the installed sound module was not found: $report"
ini=$(tr -d '\r' <"$config/pictavo/pictavo.ini")
grep -qx 'FullScreen=1' <<<"$ini" || fail "no settings written under XDG_CONFIG_HOME: $ini"
grep -qx "Language=$share/pictavo/lang/Deutsch.pvl" <<<"$ini" || fail "the language setting was lost: $ini"
[ ! -e "$usr/bin/pictavo.ini" ] || fail "an installed program wrote its settings into bin/"
echo "check-install: ok"
