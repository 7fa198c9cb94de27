#!/usr/bin/env bash
# Plants one-line faults in the program, one at a time, and runs the test
# suite against each, to show which tests catch which fault. A tool, not a
# test: CI never runs it. Every planted file is put back with git afterwards,
# also when the run is interrupted.
#
#   scripts/plant-faults.sh            every fault in the table
#   scripts/plant-faults.sh 3 7 12     only these fault ids
#   scripts/plant-faults.sh --list     the table, nothing run
#
# Environment: BUILD_DIR (default build), CTEST_TIMEOUT (per test, default
# 120 s), LOG_DIR (per-fault build and ctest logs, default a temp folder),
# CTEST_ARGS (more ctest options, e.g. "-LE slow" to leave out the sweeps).
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
CTEST_TIMEOUT=${CTEST_TIMEOUT:-120}
read -r -a CTEST_EXTRA <<<"${CTEST_ARGS:-}"
LOG_DIR=${LOG_DIR:-$(mktemp -d /tmp/plant-faults.XXXXXX)}
mkdir -p "$LOG_DIR"

# id | file | exact original fragment | faulty replacement | what goes wrong
# Fields are separated by " ## "; a fragment must occur exactly once.
FAULTS=$(cat <<'EOF'
1 ## viewer/StripModel.h ## return holdsEntries() && currentEntry() > 1; ## return holdsEntries() && currentEntry() >= 1; ## strip: back allowed from the first entry
2 ## effects/ToneEffects.cpp ## withNoise[k] = after[clampByte(k - 256)]; ## withNoise[k] = after[clampByte(k - 255)]; ## tone: noise table off by one
3 ## core/AtomicFile.cpp ## if (faultAt(AtomicWriteFault::Commit) || ::rename(tmp.name.constData(), targetName.constData()) != 0) ## if (faultAt(AtomicWriteFault::Commit)) ## file writer: rename over the target skipped
4 ## settings/IniFile.cpp ## (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0]) ## (v[0] == u'"' || v[0] == u'\'') && (v.back() == u'"' || v.back() == u'\'')) ## INI: mismatched quotes stripped
5 ## collection/CollectionFile.cpp ## (bytes ? QString() : names.last()) + kSeparator + fieldText(e.comment) ## (bytes ? QString() : names.last()) + kSeparator + kSeparator + fieldText(e.comment) ## collection writer: field separator written twice
6 ## core/TextEncoding.cpp ## QStringEncoder encoder(encoding.codePage.constData(), QStringConverter::Flag::Stateless); ## QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless); ## text: legacy text written in the wrong code page (UTF-8)
7 ## graphics/BmpCodec.cpp ## std::memcpy(pixels + (bitmap.height() - 1 - y) * stride, bitmap.scanLine(y), rowBytes); ## std::memcpy(pixels + y * stride, bitmap.scanLine(y), rowBytes); ## BMP writer: rows stored top-down under a bottom-up header
8 ## graphics/JpegCodec.cpp ## e.cinfo.in_color_space = JCS_EXT_BGR; ## e.cinfo.in_color_space = JCS_EXT_RGB; ## JPEG encoder: red taken from the blue channel
9 ## effects/SplitBlur.cpp ## std::uint8_t((up[3 * l + c] + down[3 * l + c] + up[3 * r + c] + down[3 * r + c]) >> 2); ## std::uint8_t((up[3 * l + c] + down[3 * l + c] + up[3 * r + c] + up[3 * r + c]) >> 2); ## split blur: one neighbour read from the wrong row
10 ## settings/SettingsModel.cpp ## return std::min(points, 20); ## return std::min(points, 21); ## settings: font size cap off by one
11 ## help/HelpRules.cpp ## return dir + QStringLiteral("help/") + name; ## return dir + name; ## help: the fixed path mapped beside the help folder
12 ## viewer/ViewerSession.cpp ##     clearUndo();\n    m_fileName = path; ##     m_fileName = path; ## viewer session: opening a collection keeps the old undo
13 ## ui/editor/EditorCommands.cpp ## m_model->swapEntries(row, row + 1); ## m_model->swapEntries(row, row); ## collection editor: move down swaps nothing
14 ## graphics/Orientation.cpp ## return {bottom, -row, 3}; ## return {right, row, -3}; ## EXIF: orientation 6 turned the wrong way
15 ## tools/CmdRotate.cpp ## args[0] == "left" ? 270 : 90; ## args[0] == "left" ? 90 : 270; ## pictavo-fx: rotate left and right swapped
16 ## effects/Rotate.cpp ## std::memcpy(out + 3 * x, in + 3 * (W - 1 - x), 3); ## std::memcpy(out + 3 * x, in + 3 * x, 3); ## rotation: 180 degrees only flips vertically
17 ## platform/SystemColors.cpp ## return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF)); ## return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF)); ## colours: colour value read as RGB, not BGR
18 ## help/Sitemap.cpp ## repl = QStringLiteral("<"); ## repl = QStringLiteral(">"); ## sitemap: &lt; decoded as >
19 ## settings/SettingsModel.cpp ## return std::clamp(*seconds, 1, longest) * 1000; ## return std::clamp(*seconds, 1, longest) * 100; ## settings: slide delay seconds scaled by 100
20 ## collection/CollectionFile.cpp ## qsizetype second = line.indexOf(kSeparator, first + 1); ## qsizetype second = line.indexOf(kSeparator, first); ## collection reader: second separator found at the first
21 ## settings/SettingsModel.cpp ## v.alpha = std::clamp(ini.readInteger(Settings, "Alpha", d.alpha), 0, 255); ## v.alpha = std::clamp(ini.readInteger(Settings, "Alpha", d.alpha), 0, 254); ## settings: alpha capped one short
22 ## viewer/StripModel.cpp ## if (m_currentSlot >= m_slotCount) { ## if (m_currentSlot > m_slotCount) { ## strip: the lowest slot moves the highlight off the strip
23 ## viewer/StripModel.cpp ## return entry <= m_entryCount ? entry : 0; ## return entry; ## strip: slots past the last entry claim one
24 ## viewer/CollectionOpen.cpp ##         told << m_pictureFailures; ##         told << m_pictureFailures.mid(1); ## open: the first unreadable picture never told
25 ## viewer/CollectionOpen.cpp ## told << m_pictureFailures; ## told << QStringList(); ## open: an unreadable picture never told
26 ## viewer/CollectionOpen.cpp ## if (!read.opened) ## if (read.opened && !read.opened) ## open: a file that can't be taken still begins an open and drops the undo record
27 ## viewer/UndoHistory.cpp ##     QList<RestoredPicture> restored = m_record->restore();\n    setAvailable(false); ##     setAvailable(false);\n    QList<RestoredPicture> restored = m_record->restore(); ## undo: a failed write loses the undo
28 ## viewer/UndoHistory.cpp ## const Picture snapshot = pictureForFile(m_before, m_path); ## const Picture snapshot = m_before; ## undo: a picture written in the form held, not the file's
29 ## viewer/SlideShow.cpp ##         m_timer.stop();\n        m_view->tellFinished(); ##         m_timer.stop();\n        m_view->stopSound();\n        m_view->tellFinished(); ## slide show: stopped by hand, the sound ends before the message
30 ## viewer/SlideShow.cpp ## if (!m_view || !isRunning() || m_telling) ## if (!m_view || !isRunning()) ## slide show: delay messages pile up
31 ## viewer/ViewerCommands.cpp ## return blockedUnless(facts.collectionShown || facts.collectionHasFile, CommandBlock::NoCollection); ## return blockedUnless(facts.collectionShown, CommandBlock::NoCollection); ## commands: a saved new collection cannot be edited
32 ## viewer/ViewerCommands.cpp ##             return {false, CommandBlock::NoCollection};\n        return blockedUnless(!facts.slideShowRunning, CommandBlock::SlideShowRunning); ##             return {false, CommandBlock::NoCollection};\n        return {}; ## commands: Effects open during a slide show
33 ## ui/main/MainCommands.cpp ## t->setEnabled(on); ## t->setEnabled(true); ## commands: the twins stay enabled
34 ## core/JobRunner.cpp ## if (running == Running::Stop || !job.state->started) ## if (running == Running::Stop) ## job runner: a waiting job runs after all
35 ## viewer/DecodeAhead.cpp ## if (task.shown || task.entry.path == m_shownPath) ## if (!task.entry.path.isEmpty()) ## decode-ahead: entries beside the shown one report failures
36 ## effects/PictureWrite.cpp ## void abandon() { set(kAbandoned); } ## void abandon() { set(1 << 30); } ## apply: a file waiting beside a failed one is written after all
37 ## ui/main/MainImage.cpp ## if (drawn && !rough.isNull() && !rough.hasAlphaChannel()) ## if (drawn) ## main image: the clear parts of a picture show what was there before
38 ## graphics/LargePageImage.cpp ## out.setColorSpace(image.colorSpace()); ## out.setColorSpace(QColorSpace()); ## large pages: a copied picture loses its colour space
39 ## viewer/FileStamp.h ## return size == o.size && modifiedNs == o.modifiedNs && inode == o.inode; ## return size == o.size && modifiedNs == o.modifiedNs; ## picture files: a file replaced within one clock tick taken for the one read
40 ## viewer/ViewerSession.cpp ## const ExifOrientation exif = v.autoOrient ? ExifOrientation::Apply : ExifOrientation::Ignore; ## const ExifOrientation exif = ExifOrientation::Apply; ## session: the orientation setting never reaches the pictures
60 ## effects/EffectTable.h ## return step == EffectStep::Source || step == EffectStep::Noise || step == EffectStep::Level; ## return step == EffectStep::Source || step == EffectStep::Noise; ## effect table: posterize and solarize no longer exclude each other
61 ## effects/AllPicturesRun.cpp ##         if (!host.skipUnusable(unusable))\n            return outcome; ##         host.skipUnusable(unusable); ## all-pictures run: declining to skip unusable entries writes the others anyway
62 ## viewer/SessionRun.cpp ## if (m_session.runUndoFits(files)) ## if (!files.isEmpty()) ## all-pictures run: Undo copies kept without asking whether they fit
EOF
)

field() { awk -F ' ## ' -v n="$2" '{ print $n }' <<<"$1"; }

planted=""
restore() {
    if [[ -n $planted ]]; then
        git checkout -- "$planted"
        planted=""
    fi
}
trap 'restore' EXIT
trap 'restore; exit 130' INT TERM

if [[ ${1:-} == --list ]]; then
    while IFS= read -r row; do
        printf '%3s  %-32s %s\n' "$(field "$row" 1)" "$(field "$row" 2)" "$(field "$row" 5)"
    done <<<"$FAULTS"
    exit 0
fi

if ! git diff --quiet; then
    echo "plant-faults: the worktree has changes; commit or stash them first" >&2
    exit 2
fi

wanted=("$@")
selected() {
    [[ ${#wanted[@]} -eq 0 ]] && return 0
    local w
    for w in "${wanted[@]}"; do [[ $w == "$1" ]] && return 0; done
    return 1
}

# Replaces the fragment, which must occur exactly once; "\n" in a fragment
# stands for a line break.
plant() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path, encoding="utf-8").read()
n = text.count(old)
if n != 1:
    sys.exit(f"plant-faults: {path}: fragment found {n} times, expected once: {old!r}")
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
}

printf '%-3s | %-58s | %-6s | %s\n' id fault failed "first failing tests"
caught=0
total=0
while IFS= read -r row; do
    id=$(field "$row" 1)
    selected "$id" || continue
    file=$(field "$row" 2)
    desc=$(field "$row" 5)
    total=$((total + 1))
    planted=$file
    plant "$file" "$(field "$row" 3)" "$(field "$row" 4)"
    if ! cmake --build "$BUILD_DIR" -j2 >"$LOG_DIR/$id.build.log" 2>&1; then
        restore
        printf '%-3s | %-58s | %-6s | %s\n' "$id" "$desc" "-" "BUILD FAILED (not a catch; see $LOG_DIR/$id.build.log)"
        continue
    fi
    (cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest -j2 --timeout "$CTEST_TIMEOUT" "${CTEST_EXTRA[@]}" \
        >"$LOG_DIR/$id.ctest.log" 2>&1) || true
    restore
    failed=$(sed -n '/^The following tests FAILED:/,$p' "$LOG_DIR/$id.ctest.log" |
        sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (\(.*\))$/\1/p' |
        sed 's/  # GetParam().*//; s|/[0-9]*-byte object <.*|/...|')
    count=$(grep -c . <<<"$failed" || true)
    if [[ $count -eq 0 ]]; then
        printf '%-3s | %-58s | %-6s | %s\n' "$id" "$desc" 0 "NOT CAUGHT"
    else
        caught=$((caught + 1))
        printf '%-3s | %-58s | %-6s | %s\n' "$id" "$desc" "$count" "$(head -3 <<<"$failed" | paste -sd ' ' -)"
    fi
done <<<"$FAULTS"

# Leave the build matching the sources again.
cmake --build "$BUILD_DIR" -j2 >"$LOG_DIR/final.build.log" 2>&1 || true
echo "caught $caught of $total faults; logs in $LOG_DIR"
