#!/usr/bin/python3
# The baseline a careful script gets without Tarnwick: one window of an app read by a plain
# pyatspi walk (role, name, states, extents of every object) plus an ImageMagick shot of it.
# Prints the milliseconds it took and the number of objects walked.
# Usage: baseline_read.py PID XID
import sys
import time
import subprocess
import pyatspi


def walk(node):
    count = 1
    node.getRole()
    node.name
    node.getState()
    try:
        node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        pass
    for child in node:
        if child is not None:
            count += walk(child)
    return count


def window_of(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            for window in app:
                if window is not None and window.getState().contains(pyatspi.STATE_SHOWING):
                    return window
            return app[0] if app.childCount else None
    return None


def main():
    pid, xid = int(sys.argv[1]), sys.argv[2]
    start = time.monotonic()
    window = window_of(pid)
    objects = walk(window) if window is not None else 0
    subprocess.run(["import", "-silent", "-window", xid, "-quality", "80", "jpeg:-"],
                   stdout=subprocess.DEVNULL, check=True)
    print(f"{(time.monotonic() - start) * 1000:.1f} {objects}")


main()
