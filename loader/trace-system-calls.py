#!/usr/bin/env python3
"""Lists the system calls loaders make once confined, with their results.

Runs a command (by default the loader tests' decodes of every kind) under
`strace -f`, follows each loader process from the moment it installed its
system call filter, and prints every call its threads made from then on,
with how often each succeeded or failed. A call the filter refuses shows as
EPERM; one it kills for ends the process with SIGSYS. Use it after a
decoder changes, to keep the list in SystemCallFilter.cpp true.

    loader/trace-system-calls.py BUILD_DIR [COMMAND...]
"""
import collections
import os
import re
import subprocess
import sys
import tempfile

LINE = re.compile(r"^(\d+)\s+(?:<\.\.\. (\w+) resumed>|(\w+)\()(.*)$")
RESULT = re.compile(r"=\s+(-?\d+|\?)(?:\s+(E[A-Z]+))?")
KILLED = re.compile(r"^(\d+)\s+\+\+\+ killed by (\w+)")


def trace(command):
    with tempfile.NamedTemporaryFile(suffix=".strace") as out:
        subprocess.run(["strace", "-f", "-qq", "-o", out.name] + command, check=False,
                       stdout=subprocess.DEVNULL)
        return open(out.name, errors="replace").read().splitlines()


def analyse(lines):
    process = {}  # thread id -> process id
    sealed = set()
    pending = {}  # thread id -> call started, not yet resumed
    calls = collections.defaultdict(collections.Counter)
    kills = []
    for line in lines:
        killed = KILLED.match(line)
        if killed and process.get(int(killed.group(1))) in sealed:
            kills.append(killed.group(2))
        m = LINE.match(line)
        if not m:
            continue
        tid = int(m.group(1))
        pid = process.setdefault(tid, tid)
        name = m.group(2) or m.group(3)
        rest = m.group(4)
        if rest.endswith("<unfinished ...>"):
            pending[tid] = name
            if pid in sealed:
                calls[name]["started"] += 0
            continue
        pending.pop(tid, None)
        result = RESULT.search(rest)
        if name in ("clone", "clone3", "vfork", "fork") and result and result.group(1).lstrip("-").isdigit():
            child = int(result.group(1))
            if child > 0:
                process[child] = pid if "CLONE_THREAD" in line else child
        if name == "seccomp" and "SECCOMP_SET_MODE_FILTER" in line and result and result.group(1) == "0":
            sealed.add(pid)
            continue
        if pid in sealed and result:
            calls[name][result.group(2) or "ok"] += 1
    return calls, kills


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    command = sys.argv[2:] or [os.path.join(build, "loader_tests"), "--gtest_filter=Kinds/*"]
    calls, kills = analyse(trace(command))
    for name in sorted(calls):
        print(f"{name:20} " + ", ".join(f"{k} {v}" for k, v in sorted(calls[name].items()) if v))
    for signal in kills:
        print(f"a loader was killed by {signal}")


if __name__ == "__main__":
    main()
