#!/usr/bin/python3
"""Pictavo against the installed viewers on the kinds the others may not
read: a camera RAW's preview and a JPEG XL (first picture on screen), and an
animated GIF (its frames' pace on screen). Same screen, window manager and
memory reading as peers_onscreen.py, whose pieces it uses.

First picture: the centre of the screen is read every few milliseconds from
the start of the viewer until it has rested for a while; the picture counts
as shown from the first reading whose points nearly all match the resting
screen, when that resting centre holds the picture's colours (a coarse
histogram against ImageMagick's decode of the file or of its reference; an
error message or an empty view does not count). Animation: the times at
which the centre changes over a few seconds once the first frame is up; a
whole loop's length on screen against the file's.

Usage: bench/peers_kinds.py [BUILD_DIR, default build/]
ONLY=TEXT times only the files whose name holds TEXT (ONLY=jxl: the JPEG XL);
BASE=DIR times that build too, as "base", in the same runs.
SHOTS=DIR saves the resting screen of each viewer and file, to check what
was timed: a viewer that shows an error there did not show the picture.
"""
import os, shutil, statistics, subprocess, sys, tempfile, time

from Xlib import X

import peers_onscreen as po

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "corpus", "more")
if not os.path.isdir(CORPUS):  # a work tree one folder deeper
    CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "shared", "corpus", "more")
STILLS = [("CR3 preview", "canon-eos-r6-pruned.cr3"), ("JPEG XL", "jxl-lossless-patches.jxl")]
ANIMATION = "gif-anim-rotating-squares.gif"
BOX = 400          # the centre square read, px
STEP = 8           # every 8th pixel of it, both ways
TOLERANCE = 24     # per channel
MATCHED = 0.9      # share of points at their resting value that counts as shown
REST_S = 1.5       # unchanged this long: the viewer is done
WATCH_S = 6.0      # the animation watched this long
ONLY = os.environ.get("ONLY", "")
VIEWERS = [("feh", lambda f: ["feh", "--scale-down", f]), ("geeqie", lambda f: ["geeqie", f]),
           ("eog", lambda f: ["eog", f]), ("gwenview", lambda f: ["gwenview", f])]


def centre_bytes(screen):
    left, top = (po.WIDTH - BOX) // 2, (po.HEIGHT - BOX) // 2
    return screen.root.get_image(left, top, BOX, BOX, X.ZPixmap, 0xFFFFFFFF).data


def points(data):
    """Every STEP-th pixel both ways, as (B, G, R)."""
    return [data[4 * (y * BOX + x):4 * (y * BOX + x) + 3]
            for y in range(0, BOX, STEP) for x in range(0, BOX, STEP)]


def same(a, b):
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, b))


def matched(seen, rest):
    return sum(same(p, q) for p, q in zip(seen, rest)) / len(rest)


def histogram(pixels):
    """Coarse colour shares (8 levels a channel: 4 took a dark grey error
    page for a dark picture) of (B, G, R) triples."""
    counts = [0] * 512
    for b, g, r in pixels:
        counts[(r >> 5) * 64 + (g >> 5) * 8 + (b >> 5)] += 1
    return [c / len(pixels) for c in counts]


def reference_histogram(path):
    """The picture's own colours, decoded by ImageMagick (a RAW's by its
    embedded preview, as exiftool extracts it)."""
    if path.lower().endswith(".cr3"):
        preview = subprocess.run(["exiftool", "-b", "-PreviewImage", path], capture_output=True,
                                 check=True).stdout
        rgb = subprocess.run(["convert", "jpg:-", "-resize", "200x200", "-depth", "8", "rgb:-"],
                             input=preview, capture_output=True, check=True).stdout
    else:
        ref = path[:-len(".jxl")] + ".ref.png" if path.endswith(".jxl") else path
        rgb = subprocess.run(["convert", ref, "-background", "black", "-flatten", "-resize", "200x200",
                              "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return histogram([(rgb[i + 2], rgb[i + 1], rgb[i]) for i in range(0, len(rgb) - 2, 3)])


def watch(screen, argv, env):
    """[(seconds since start, centre bytes)] at each change until the centre
    rests (or the timeout), and the process. Only raw bytes are compared
    here, to read often; the points are looked at afterwards."""
    readings = [(0.0, centre_bytes(screen))]
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    last_change = 0.0
    while True:
        now = time.perf_counter() - start
        data = centre_bytes(screen)
        if data != readings[-1][1]:
            last_change = now
            readings.append((now, data))
        if now - last_change > REST_S or now > po.TIMEOUT_S:
            return readings, proc
        time.sleep(0.001)


def first_shown(readings, reference):
    """When the centre first nearly matched its rest, if at rest it shows the
    picture's colours (an error message or an empty view does not)."""
    rest = points(readings[-1][1])
    overlap = sum(min(a, b) for a, b in zip(histogram(rest), reference))
    if overlap < 0.5:
        return None
    return next(t for t, data in readings if matched(points(data), rest) >= MATCHED)


def still_run(screen, name, argv, env, label, reference, shoot):
    """When the picture was first shown (None: not shown) and the peak memory."""
    screen_rest(screen)
    readings, proc = watch(screen, argv, env)
    try:
        if shoot:
            po.shoot(env, f"{name}-{label.replace(' ', '-')}")
        return first_shown(readings, reference), po.peak_rss_kb(proc.pid)
    finally:
        po.stop(proc)


def loop_of(path):
    """(one loop's length in ms, how many frames differ from the one before)
    by ImageMagick: frames that look the same as their predecessor (also
    where only hidden colours under transparency differ) change nothing on
    screen, so a loop is counted in changes."""
    delays = subprocess.run(["identify", "-format", "%T ", path], capture_output=True, text=True,
                            check=True).stdout.split()
    data = subprocess.run(["convert", path, "-coalesce", "-background", "black", "-alpha", "remove",
                           "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout
    size = len(data) // len(delays)
    frames = [data[i:i + size] for i in range(0, len(data), size)]
    return 10 * sum(int(d) for d in delays), sum(frames[i] != frames[i - 1] for i in range(len(frames)))


def loop_length(screen, argv, env, changes):
    """Mean ms of a whole loop on screen (a change and the one `changes`
    later) while the animation plays."""
    readings, proc = watch(screen, argv, env)  # rests never: returns at the timeout
    po.stop(proc)
    times = [t for t, _ in readings[1:]]
    playing = [t for t in times if t >= times[0] + 1.0] if times else []  # not the window's start
    loops = [playing[k + changes] - playing[k] for k in range(len(playing) - changes)]
    return 1000 * statistics.mean(loops) if loops else None


def screen_rest(screen):
    end = time.perf_counter() + 10
    first = centre_bytes(screen)
    while time.perf_counter() < end:
        time.sleep(0.2)
        again = centre_bytes(screen)
        if again == first:
            return
        first = again


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    work = tempfile.mkdtemp(prefix="pictavo-kinds.")
    helpers = []
    try:
        pictavo = po.install_pictavo(build, work)
        base = None
        if os.environ.get("BASE"):
            os.mkdir(os.path.join(work, "base"))
            base = po.install_pictavo(os.environ["BASE"], os.path.join(work, "base"))
        files = {}
        for _, name in STILLS + [(None, ANIMATION)]:
            folder = os.path.join(work, "pictures-" + name)  # each alone, for every viewer
            os.mkdir(folder)
            files[name] = shutil.copy(os.path.join(CORPUS, name), folder)
        screen, session = po.start_session(work, helpers)
        screen.display.screen().root.warp_pointer(po.WIDTH - 1, po.HEIGHT - 1)

        def home_of(viewer):
            env = po.viewer_env(session, os.path.join(work, "home-" + viewer))
            if viewer in ("pictavo", "base"):
                po.write_pictavo_settings(env["HOME"])  # the same settings every run
            return env

        viewers = [("pictavo", lambda f: [pictavo, f])] + [v for v in VIEWERS if shutil.which(v[0])]
        if base:
            viewers.insert(1, ("base", lambda f: [base, f]))
        print(f"{po.WIDTH}x{po.HEIGHT} screen, medians of {po.RUNS} runs after a warm-up")
        for label, name in [s for s in STILLS if ONLY in s[1]]:
            reference = reference_histogram(os.path.join(CORPUS, name))
            # Round after round, each viewer in turn, so that the shared
            # machine's load falls on all of them alike.
            runs = {viewer: [] for viewer, _ in viewers}
            for r in range(po.RUNS + 1):
                for viewer, command in viewers:
                    run = still_run(screen, viewer, command(files[name]), home_of(viewer), label, reference,
                                    r == po.RUNS)
                    if r > 0:
                        runs[viewer].append(run)
            rows = []
            for viewer, _ in viewers:
                shown = [t for t, _ in runs[viewer] if t is not None]
                first = statistics.median(shown) if len(shown) == len(runs[viewer]) else None
                rss = statistics.median(m for _, m in runs[viewer])
                rows.append((viewer, first, rss))
                told = "not shown" if first is None else "%.0f ms" % (1000 * first)
                print(f"{label:<12} {viewer:<9} first on screen {told:>10}   peak {rss / 1024:.0f} MB")
            peers = [r for r in rows[1:] if r[1] is not None and r[0] != "base"]
            if rows[0][1] is not None and peers:
                best = min(peers, key=lambda r: r[1])
                print(f"{label}: pictavo / fastest peer ({best[0]}) {rows[0][1] / best[1]:.2f} (target <= 1.0)")
            if base and rows[0][1] is not None and rows[1][1] is not None:
                print(f"{label}: pictavo / base {rows[0][1] / rows[1][1]:.2f}")
        if ONLY not in ANIMATION:
            return
        loop_ms, changes = loop_of(files[ANIMATION])
        for viewer, command in viewers:
            env = home_of(viewer)
            screen_rest(screen)
            timeout, po.TIMEOUT_S = po.TIMEOUT_S, WATCH_S
            shown = loop_length(screen, command(files[ANIMATION]), env, changes)
            po.TIMEOUT_S = timeout
            told = "not played" if shown is None else f"{shown:.0f} ms, {shown / loop_ms:.3f} of the file's {loop_ms} ms"
            print(f"GIF loop   {viewer:<9} {told}")
    finally:
        po.end_session(helpers, work)


if __name__ == "__main__":
    main()
