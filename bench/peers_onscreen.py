#!/usr/bin/python3
"""Pictavo against the picture viewers installed here, read from the screen.

One Xvfb screen of 1600x1000 with a window manager that maximises every
window; six 6000x4000 JPEGs, each one flat colour with a light noise. For
each viewer: the time from starting it on the first photo until that photo's
colour covers a clear share of the screen, the time from its "next" key until
the second photo's colour does, and the peak resident memory (VmHWM of the
process and its children). A viewer of several processes counts each shared
library once per process in that sum, so the largest proportional set size
(Pss, shared pages split between the processes that map them) of the whole
tree, sampled every 25 ms, is printed beside it. A screen probe reads a few rows with XGetImage
every few milliseconds; the key goes in through XTEST. One uncounted warm-up
run per viewer, then the medians of RUNS runs. Each peer keeps its own HOME
over its runs, caches warm as a user's would; Pictavo starts each run from
the same settings (fitted pictures, as the peers show them).

Usage: bench/peers_onscreen.py [BUILD_DIR, default build/]   (scripts/install-deps.sh bench)
SHOTS=DIR also saves the screen as each viewer's photos showed, to check
what was timed.
"""
import os, shutil, signal, statistics, subprocess, sys, tempfile, threading, time

from Xlib import X, XK, display
from Xlib.ext import xtest

WIDTH, HEIGHT = 1600, 1000
# A step takes tens of milliseconds and this machine's pace swings by two:
# three runs left the ratios flipping, five hold them steadier.
RUNS = int(os.environ.get("RUNS", "5"))
# Distinct from each other and from the usual greys and highlight blues.
COLOURS = [(200, 30, 30), (30, 160, 50), (230, 140, 20),
           (140, 40, 160), (20, 150, 150), (220, 210, 40)]
TOLERANCE = 48     # per channel: the noise, scaled or not, stays well inside
SHOWN_SHARE = 0.25  # of the sampled points; thumbnails alone stay below it
SETTLE_S = 1.5     # a viewer at rest before "next", and before reading memory
TIMEOUT_S = 60

# name, command line (photo folder, first photo, collection), "next" key.
PEERS = [
    ("feh", lambda d, first, pvx: ["feh", "--scale-down", d], "space"),
    ("geeqie", lambda d, first, pvx: ["geeqie", first], "space"),
    ("eog", lambda d, first, pvx: ["eog", first], "Right"),
    ("gwenview", lambda d, first, pvx: ["gwenview", first], "Right"),
    ("gthumb", lambda d, first, pvx: ["gthumb", first], "space"),  # not in install-deps: untried
]


class Screen:
    """Reads sample rows of the root window and sends keys."""

    ROWS = 10
    STEP = 4  # every 4th pixel of a row

    def __init__(self, name):
        self.display = display.Display(name)
        self.root = self.display.screen().root

    def share(self, colour):
        r, g, b = colour
        hits = total = 0
        for k in range(self.ROWS):
            y = (2 * k + 1) * HEIGHT // (2 * self.ROWS)
            data = self.root.get_image(0, y, WIDTH, 1, X.ZPixmap, 0xFFFFFFFF).data
            for i in range(0, len(data), 4 * self.STEP):  # B, G, R, pad
                total += 1
                if (abs(data[i + 2] - r) <= TOLERANCE and abs(data[i + 1] - g) <= TOLERANCE
                        and abs(data[i] - b) <= TOLERANCE):
                    hits += 1
        return hits / total

    def wait_for(self, colour, since):
        while time.perf_counter() - since < TIMEOUT_S:
            if self.share(colour) >= SHOWN_SHARE:
                return time.perf_counter() - since
            time.sleep(0.002)
        return None

    def press(self, key):
        code = self.display.keysym_to_keycode(XK.string_to_keysym(key))
        xtest.fake_input(self.display, X.KeyPress, code)
        xtest.fake_input(self.display, X.KeyRelease, code)
        self.display.sync()

    def clear(self):
        """Waits until no photo shows any more, so a run cannot see the last one's."""
        end = time.perf_counter() + 10
        while any(self.share(c) >= SHOWN_SHARE / 4 for c in COLOURS[:2]):
            if time.perf_counter() > end:
                sys.exit("peers_onscreen: the screen still shows a photo after its viewer ended")
            time.sleep(0.05)


def make_photos(folder):
    magick = shutil.which("magick") or shutil.which("convert")
    if not magick:
        sys.exit("peers_onscreen: ImageMagick missing (scripts/install-deps.sh bench)")
    paths = []
    for k, (r, g, b) in enumerate(COLOURS, 1):
        path = os.path.join(folder, f"photo{k}.jpg")
        subprocess.run([magick, "-size", "6000x4000", f"xc:rgb({r},{g},{b})", "-seed", str(k),
                        "-attenuate", "0.4", "+noise", "Gaussian", "-quality", "90", path],
                       check=True)
        paths.append(path)
    return paths


def install_pictavo(build, work):
    """A copy laid out as installed, so its settings live in XDG_CONFIG_HOME
    and not beside the build's executable."""
    binary = os.path.join(os.path.abspath(build), "pictavo")
    if not os.access(binary, os.X_OK):
        sys.exit(f"peers_onscreen: no {binary} (build it first)")
    os.makedirs(os.path.join(work, "bin"))
    os.makedirs(os.path.join(work, "share"))
    shutil.copy2(binary, os.path.join(work, "bin", "pictavo"))
    # Its picture loaders, found beside it (a build from before them has none).
    for helper in ("pictavo-loader", "libpictavo-loader-inprocess.so"):
        if os.path.exists(os.path.join(os.path.dirname(binary), helper)):
            os.symlink(os.path.join(os.path.dirname(binary), helper), os.path.join(work, "bin", helper))
    os.symlink(os.path.dirname(binary), os.path.join(work, "share", "pictavo"))
    return os.path.join(work, "bin", "pictavo")


def write_pictavo_settings(home):
    # Every run starts from the same settings: the program writes them at its end.
    folder = os.path.join(home, ".config", "pictavo")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "pictavo.ini"), "w") as ini:
        ini.write("[Window]\nFitPictures=1\nMaximized=1\n")


def process_tree(pid):
    children = {}
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                ppid = int(stat.read().rsplit(")", 1)[1].split()[1])
            children.setdefault(ppid, []).append(int(entry))
        except (ValueError, OSError, IndexError):
            pass
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        tree.append(p)
        todo += children.get(p, [])
    return tree


def peak_rss_kb(pid):
    total = 0
    for p in process_tree(pid):
        try:
            with open(f"/proc/{p}/status") as status:
                total += next(int(l.split()[1]) for l in status if l.startswith("VmHWM:"))
        except (OSError, StopIteration):
            pass
    return total


class PssSampler:
    """The largest sum of Pss over a process tree while it runs, in kB."""

    def __init__(self, pid):
        self.pid, self.peak, self.done = pid, 0, threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        tree, seen = [], 0.0
        while not self.done.wait(0.025):
            if time.perf_counter() - seen > 0.2:
                tree, seen = process_tree(self.pid), time.perf_counter()
            total = 0
            for p in tree:
                try:
                    with open(f"/proc/{p}/smaps_rollup") as rollup:
                        total += next(int(l.split()[1]) for l in rollup if l.startswith("Pss:"))
                except (OSError, StopIteration):
                    pass
            self.peak = max(self.peak, total)

    def finish(self):
        self.done.set()
        self.thread.join()
        return self.peak


def stop(proc):
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(5)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    except ProcessLookupError:
        pass


def shoot(env, name):
    if os.environ.get("SHOTS"):
        os.makedirs(os.environ["SHOTS"], exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(os.environ["SHOTS"], name + ".png")],
                       env=env, check=False)


def one_run(screen, argv, key, env):
    """(first photo s, next photo s, peak RSS kB, peak Pss kB); None for what
    never showed."""
    screen.clear()
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    pss = PssSampler(proc.pid)
    try:
        first = screen.wait_for(COLOURS[0], start)
        if first is None:
            return None, None, peak_rss_kb(proc.pid), pss.finish()
        time.sleep(SETTLE_S)
        shoot(env, os.path.basename(argv[0]) + "-first")
        pressed = time.perf_counter()
        screen.press(key)
        following = screen.wait_for(COLOURS[1], pressed)
        time.sleep(SETTLE_S)
        shoot(env, os.path.basename(argv[0]) + "-next")
        return first, following, peak_rss_kb(proc.pid), pss.finish()
    finally:
        pss.finish()
        stop(proc)


def start_session(work, helpers):
    """Xvfb, a session bus and the maximising window manager, appended to
    helpers; the screen and the environment every viewer runs in."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("QT_", "XDG_", "DBUS_", "GTK_", "WAYLAND"))}
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    env["XDG_RUNTIME_DIR"] = runtime
    # Xvfb picks a free display itself: a guessed one may be another's server.
    ready, told = os.pipe()
    helpers.append(subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0",
                                 f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp"],
                                    pass_fds=(told,), stderr=subprocess.DEVNULL))
    os.close(told)
    with os.fdopen(ready) as number:
        name = number.readline().strip()
    if not name:
        sys.exit("peers_onscreen: Xvfb did not start")
    env["DISPLAY"] = ":" + name
    screen = Screen(env["DISPLAY"])
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    helpers.append(bus)
    helpers.append(subprocess.Popen(["matchbox-window-manager", "-use_titlebar", "no"], env=env,
                                    stderr=subprocess.DEVNULL))
    managed = screen.display.intern_atom("_NET_SUPPORTING_WM_CHECK")
    for _ in range(100):
        if screen.root.get_full_property(managed, X.AnyPropertyType):
            break
        time.sleep(0.05)
    return screen, env


def end_session(helpers, work):
    for helper in reversed(helpers):
        helper.terminate()
        helper.wait()
    shutil.rmtree(work, ignore_errors=True)


def viewer_env(session_env, home):
    env = dict(session_env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"))
    os.makedirs(home, exist_ok=True)
    return env


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def measure(screen, name, argv, key, env, before_run=lambda: None):
    runs = []
    for r in range(RUNS + 1):
        before_run()
        result = one_run(screen, argv, key, env)
        if r > 0:
            runs.append(result)
    for label, column in (("first", 0), ("next", 1)):
        missed = sum(run[column] is None for run in runs)
        if missed:
            print(f"{name}: the {label} photo never showed in {missed} of {RUNS} runs")
    first, following, rss, pss = (median(col) for col in zip(*runs))
    return name, first, following, rss, pss


def report(rows):
    ms = lambda s: "failed" if s is None else "%.0f" % (s * 1000)
    print(f"{'viewer':<10} {'first_ms':>9} {'next_ms':>8} {'peak_MB':>8} {'pss_MB':>7}")
    for name, first, following, rss, pss in rows:
        print(f"{name:<10} {ms(first):>9} {ms(following):>8} {rss / 1024:>8.0f} {pss / 1024:>7.0f}")
    ours, peers = rows[0], rows[1:]
    if not peers:
        print("no peer installed: no ratios")
        return
    for column, label, target in ((1, "first photo painted", 1.0), (2, "next photo", 0.5),
                                  (3, "peak RSS", 1.0), (4, "peak Pss", 1.0)):
        found = [row for row in peers if row[column] is not None]
        if not found or ours[column] is None:
            print(f"{label}: no ratio (failed)")
            continue
        best = min(found, key=lambda row: row[column])
        ratio = ours[column] / best[column]
        verdict = "met" if ratio <= target else "NOT met"
        against = f"{label} / {'leanest' if column >= 3 else 'fastest'} peer ({best[0]}):"
        print(f"{against:<44} {ratio:5.2f}  (target <= {target:.1f}: {verdict})")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "build")
    work = tempfile.mkdtemp(prefix="pictavo-onscreen.")
    helpers = []
    try:
        photos = os.path.join(work, "photos")
        os.mkdir(photos)
        paths = make_photos(photos)
        pvx = os.path.join(work, "six.pvx")
        with open(pvx, "w", newline="") as f:
            f.writelines(f"{p}^photo {k}^\r\n" for k, p in enumerate(paths, 1))
        pictavo = install_pictavo(build, work)
        screen, session = start_session(work, helpers)
        screen.display.screen().root.warp_pointer(WIDTH - 1, HEIGHT - 1)  # no hover tips
        print(f"{WIDTH}x{HEIGHT} screen, six 6000x4000 JPEGs, medians of {RUNS} runs after a warm-up")
        home = os.path.join(work, "home-pictavo")
        env = viewer_env(session, home)
        rows = [measure(screen, "pictavo", [pictavo, pvx], "Right", env,
                        lambda: write_pictavo_settings(home))]
        for name, command, key in PEERS:
            if not shutil.which(name):
                print(f"{name}: not installed, skipped")
                continue
            env = viewer_env(session, os.path.join(work, "home-" + name))
            rows.append(measure(screen, name, command(photos, paths[0], pvx), key, env))
        report(rows)
    finally:
        end_session(helpers, work)


if __name__ == "__main__":
    main()
