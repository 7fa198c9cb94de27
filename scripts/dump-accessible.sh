#!/usr/bin/env bash
# Prints the accessible tree of the running viewer as a screen reader reads
# it over AT-SPI: one line per object, its role, "name" and [description].
#
#   scripts/dump-accessible.sh [BUILD_DIR] [COLLECTION] > tree.txt
#
# Runs the program under a virtual X server with a session bus of its own
# (the accessibility bus is started on it), opens COLLECTION (by default
# the demo collection), walks the tree and ends the program. Needs
# at-spi2-core, python3-pyatspi, dbus and xvfb (scripts/install-deps.sh).
set -euo pipefail

build=$(realpath "${1:-build}")
collection=${2:-$build/demo/Demo.pvx}
[ -x "$build/pictavo" ] || { echo "no $build/pictavo: build first" >&2; exit 2; }

walker=$(mktemp)
trap 'rm -f "$walker"' EXIT
cat >"$walker" <<'EOF'
import sys, time
import pyatspi

def find_app(name, seconds):
    end = time.time() + seconds
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            # The first windows take a moment to appear under the application.
            if app is not None and app.name.lower().startswith(name) and app.childCount > 0:
                return app
        time.sleep(0.5)
    return None

def walk(node, depth):
    try:
        role, name, text = node.getRoleName(), node.name, node.description
        states = node.getState()
        focusable = " focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else ""
        showing = "" if states.contains(pyatspi.STATE_SHOWING) else " hidden"
    except Exception as e:  # an object that went away while we walked
        print("  " * depth + "? (%s)" % e)
        return
    line = '%s "%s"' % (role, name)
    if text:
        line += " [%s]" % text
    print("  " * depth + line + focusable + showing)
    for child in node:
        if child is not None:
            walk(child, depth + 1)

app = find_app(sys.argv[1], 30)
if app is None:
    seen = [a.name for a in pyatspi.Registry.getDesktop(0) if a is not None]
    sys.exit("no application %s on the accessibility bus (seen: %s)" % (sys.argv[1], seen))
time.sleep(1)
walk(app, 0)
EOF

# A script file, not a shell function: xvfb-run runs under sh, which drops
# exported functions.
runner=$(mktemp)
trap 'rm -f "$walker" "$runner"' EXIT
cat >"$runner" <<'EOF'
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$build/pictavo" "$collection" &
pid=$!
rc=0
/usr/bin/python3 "$walker" pictavo || rc=$?
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
exit $rc
EOF
export build collection walker
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$runner"
