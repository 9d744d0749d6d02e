#!/usr/bin/python3
"""Start-up and idle figures of a tray program, measured from outside.

Run inside a desktop session with a notification area, e.g.:
    tests/harness/x11-session.sh bench/startup.py build/quillet
    tests/harness/x11-session.sh bench/startup.py build/bench/bare_tray

For each run it copies the executable into a fresh folder, starts it, and
polls the X server until the program's icon is mapped inside the
notification area: that is "icon on screen", reported with the CPU time the
program used until then. After the last run it leaves the program idle and
reads its proportional set size (also as if its session ran alone on the
machine) and the CPU time it used while idle.
"""
import array
import collections
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display

PAGE_PRESENT = 1 << 63
PFN_MASK = (1 << 55) - 1


def icon_mapped(dpy, name):
    """True when a window of the program's class is viewable inside the tray."""
    stack = [(dpy.screen().root, False)]
    while stack:
        w, in_tray = stack.pop()
        try:
            children = w.query_tree().children
        except Exception:
            continue
        for c in children:
            try:
                cls = c.get_wm_class()
            except Exception:
                cls = None
            if in_tray and cls and cls[0] == name:
                try:
                    if c.get_attributes().map_state == X.IsViewable:
                        return True
                except Exception:
                    pass
            stack.append((c, in_tray or bool(cls and cls[1] == 'trayer')))
    return False


def pss_kib(pid):
    with open(f'/proc/{pid}/smaps_rollup') as f:
        for line in f:
            if line.startswith('Pss:'):
                return int(line.split()[1])
    return -1


def present_frames(pid):
    """The physical frame of every page of the process that is in memory."""
    frames = []
    with open(f'/proc/{pid}/maps') as maps, open(f'/proc/{pid}/pagemap', 'rb') as pagemap:
        for line in maps:
            start, end = (int(x, 16) for x in line.split()[0].split('-'))
            if line.rstrip().endswith('[vsyscall]'):
                continue
            pagemap.seek(start // 4096 * 8)
            entries = array.array('Q')
            entries.frombytes(pagemap.read((end - start) // 4096 * 8))
            frames.extend(e & PFN_MASK for e in entries if e & PAGE_PRESENT)
    return frames


def session_pss_kib(pid):
    """Proportional set size as if the program's session ran alone on the
    machine: a page is divided only among the processes of the session
    (Xvfb, window manager, notification area, the program) that map it, not
    among other programs that happen to run at the time. Needs root, which
    the page frame numbers are shown to."""
    group = os.getpgid(pid)
    others = collections.Counter()
    for entry in os.listdir('/proc'):
        if not entry.isdigit() or int(entry) == pid:
            continue
        try:
            if os.getpgid(int(entry)) != group:
                continue
            others.update(set(present_frames(int(entry))))
        except (OSError, ProcessLookupError):
            continue
    frames = present_frames(pid)
    if not frames or not any(frames):
        return -1  # no frame numbers without root
    own = collections.Counter(frames)
    return sum(count * 4 / (count + others[frame])
               for frame, count in own.items()) if own else -1


def cpu_ms(pid):
    """CPU time of all the process's threads so far, in milliseconds."""
    total = 0
    for task in os.listdir(f'/proc/{pid}/task'):
        try:
            with open(f'/proc/{pid}/task/{task}/schedstat') as f:
                total += int(f.read().split()[0])
        except OSError:
            continue
    return total / 1e6


def cpu_ticks(pid):
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def main():
    exe = os.path.abspath(sys.argv[1])
    name = os.path.basename(exe)
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    dpy = display.Display()
    times = []
    cpu_times = []
    proc = None
    for i in range(runs):
        folder = tempfile.mkdtemp(prefix='quillet-bench-')
        shutil.copy(exe, folder)
        if proc:
            proc.terminate()
            proc.wait()
            while icon_mapped(dpy, name):
                time.sleep(0.01)
        t0 = time.monotonic()
        proc = subprocess.Popen([os.path.join(folder, name)],
                                stderr=subprocess.DEVNULL)
        while not icon_mapped(dpy, name):
            time.sleep(0.001)
        times.append((time.monotonic() - t0) * 1000)
        cpu_times.append(cpu_ms(proc.pid))
    time.sleep(3)  # let start-up work settle
    pss = pss_kib(proc.pid)
    alone = session_pss_kib(proc.pid)
    ticks0 = cpu_ticks(proc.pid)
    idle_seconds = 10
    time.sleep(idle_seconds)
    ticks = cpu_ticks(proc.pid) - ticks0
    proc.terminate()
    proc.wait()
    hz = os.sysconf('SC_CLK_TCK')
    print(f'runs: {runs}')
    print(f'icon on screen: median {statistics.median(times):.1f} ms, '
          f'min {min(times):.1f} ms, max {max(times):.1f} ms')
    print(f'CPU time until the icon is on screen: median '
          f'{statistics.median(cpu_times):.1f} ms, min {min(cpu_times):.1f} ms, '
          f'max {max(cpu_times):.1f} ms')
    print(f'idle proportional set size: {pss / 1024:.1f} MiB')
    print(f'idle proportional set size, session alone: {alone / 1024:.1f} MiB')
    print(f'idle CPU: {ticks / hz * 1000:.0f} ms over {idle_seconds} s')


if __name__ == '__main__':
    main()
