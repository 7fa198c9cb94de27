#!/usr/bin/python3
"""Pictavo against the installed viewers on the kinds the others may not
read: a camera RAW's preview and a JPEG XL (first picture on screen), and an
animated GIF (its frames' pace on screen). Same screen, window manager and
memory reading as peers_onscreen.py, whose pieces it uses.

First picture: the centre of the screen is read every few milliseconds from
the start of the viewer until it has rested for a while; the picture counts
as shown from the first reading whose points nearly all match the resting
screen (a viewer that never changes the centre from the empty screen shows
nothing). Animation: the times at which the centre changes over a few
seconds once the first frame is up; the mean interval against the file's.

Usage: bench/peers_kinds.py [BUILD_DIR, default build/]
SHOTS=DIR saves the resting screen of each viewer and file, to check what
was timed: a viewer that shows an error there did not show the picture.
"""
import os, shutil, statistics, subprocess, sys, tempfile, time

from Xlib import X

import peers_onscreen as po

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "corpus", "more")
STILLS = [("CR3 preview", "canon-eos-r6-pruned.cr3"), ("JPEG XL", "jxl-lossless-patches.jxl")]
ANIMATION = ("gif-anim-rotating-squares.gif", 30)  # its frames' delay, ms
BOX = 400          # the centre square read, px
STEP = 8           # every 8th pixel of it, both ways
TOLERANCE = 24     # per channel
MATCHED = 0.9      # share of points at their resting value that counts as shown
REST_S = 1.5       # unchanged this long: the viewer is done
WATCH_S = 4.0      # the animation watched this long
VIEWERS = [("feh", lambda f: ["feh", "--scale-down", f]), ("geeqie", lambda f: ["geeqie", f]),
           ("eog", lambda f: ["eog", f]), ("gwenview", lambda f: ["gwenview", f])]


def centre(screen):
    left, top = (po.WIDTH - BOX) // 2, (po.HEIGHT - BOX) // 2
    data = screen.root.get_image(left, top, BOX, BOX, X.ZPixmap, 0xFFFFFFFF).data
    return [data[4 * (y * BOX + x):4 * (y * BOX + x) + 3]
            for y in range(0, BOX, STEP) for x in range(0, BOX, STEP)]


def same(a, b):
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, b))


def matched(points, rest):
    return sum(same(p, q) for p, q in zip(points, rest)) / len(rest)


def watch(screen, argv, env):
    """[(seconds since start, centre points)] until the centre rests, and the process."""
    blank = centre(screen)
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    readings, last_change = [(0.0, blank)], 0.0
    while True:
        now = time.perf_counter() - start
        points = centre(screen)
        if matched(points, readings[-1][1]) < 1.0:
            last_change = now
            readings.append((now, points))
        if now - last_change > REST_S or now > po.TIMEOUT_S:
            return readings, proc
        time.sleep(0.002)


def first_shown(readings):
    rest = readings[-1][1]
    if matched(readings[0][1], rest) > 0.5:
        return None  # the centre never left the empty screen
    return next(t for t, points in readings if matched(points, rest) >= MATCHED)


def still_runs(screen, name, argv, env, label):
    times, rss = [], []
    for r in range(po.RUNS + 1):
        screen_rest(screen)
        readings, proc = watch(screen, argv, env)
        try:
            if r == 0:
                po.shoot(env, f"{name}-{label.replace(' ', '-')}")
                continue
            times.append(first_shown(readings))
            rss.append(po.peak_rss_kb(proc.pid))
        finally:
            po.stop(proc)
    shown = [t for t in times if t is not None]
    return (statistics.median(shown) if len(shown) == len(times) else None), statistics.median(rss)


def animation_pace(screen, argv, env):
    """Mean ms between changes of the centre while the animation plays."""
    readings, proc = watch(screen, argv, env)  # rests never: returns at the timeout
    po.stop(proc)
    changes = [t for t, _ in readings[1:]]
    # Leave out the start: window, first paint.
    playing = [t for t in changes if t >= changes[0] + 1.0] if changes else []
    if len(playing) < 10:
        return None
    return 1000 * (playing[-1] - playing[0]) / (len(playing) - 1)


def screen_rest(screen):
    end = time.perf_counter() + 10
    first = centre(screen)
    while time.perf_counter() < end:
        time.sleep(0.2)
        again = centre(screen)
        if matched(again, first) == 1.0:
            return
        first = again


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    work = tempfile.mkdtemp(prefix="pictavo-kinds.")
    helpers = []
    try:
        pictavo = po.install_pictavo(build, work)
        files = {}
        for _, name in STILLS + [(None, ANIMATION[0])]:
            folder = os.path.join(work, "pictures-" + name)  # each alone, for every viewer
            os.mkdir(folder)
            files[name] = shutil.copy(os.path.join(CORPUS, name), folder)
        screen, session = po.start_session(work, helpers)
        screen.display.screen().root.warp_pointer(po.WIDTH - 1, po.HEIGHT - 1)
        viewers = [("pictavo", lambda f: [pictavo, f])] + [v for v in VIEWERS if shutil.which(v[0])]
        print(f"{po.WIDTH}x{po.HEIGHT} screen, medians of {po.RUNS} runs after a warm-up")
        for label, name in STILLS:
            rows = []
            for viewer, command in viewers:
                env = po.viewer_env(session, os.path.join(work, "home-" + viewer))
                if viewer == "pictavo":
                    po.write_pictavo_settings(env["HOME"])
                first, rss = still_runs(screen, viewer, command(files[name]), env, label)
                rows.append((viewer, first, rss))
                shown = "not shown" if first is None else "%.0f ms" % (1000 * first)
                print(f"{label:<12} {viewer:<9} first on screen {shown:>10}   peak {rss / 1024:.0f} MB")
            peers = [r for r in rows[1:] if r[1] is not None]
            if rows[0][1] is not None and peers:
                best = min(peers, key=lambda r: r[1])
                print(f"{label}: pictavo / fastest peer ({best[0]}) {rows[0][1] / best[1]:.2f} (target <= 1.0)")
        name, delay = ANIMATION
        po_timeout = po.TIMEOUT_S
        for viewer, command in viewers:
            env = po.viewer_env(session, os.path.join(work, "home-" + viewer))
            if viewer == "pictavo":
                po.write_pictavo_settings(env["HOME"])
            screen_rest(screen)
            po.TIMEOUT_S = WATCH_S
            pace = animation_pace(screen, command(files[name]), env)
            po.TIMEOUT_S = po_timeout
            told = "no frames seen" if pace is None else f"{pace:.1f} ms ({pace / delay:.3f} of the file's {delay} ms)"
            print(f"GIF pace   {viewer:<9} {told}")
    finally:
        for helper in reversed(helpers):
            helper.terminate()
            helper.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
