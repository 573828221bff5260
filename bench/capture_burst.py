#!/usr/bin/env python3
"""Capture benchmark: a burst of file operations recorded by tarnwatch-record (fanotify and
inotify) and, in the same run, by inotifywait and fsnotifywait (inotify-tools).

For each recorder it prints the events seen per kind against the operations performed, events
lost, overflows reported, CPU seconds, peak RSS and the time from the end of the burst to the
last event out; then the time to set up a recursive watch on a tree of folders (inotify), for
tarnwatch-record and inotifywait -r.

Usage: bench/capture_burst.py RECORDER [--ops N] [--setup-folders N] [--tmp DIR]
(scripts/bench.sh runs it with the recorder it builds.)
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def burst(root, ops):
    """About `ops` operations: files created and written, half renamed, a quarter deleted, and
    folders created, renamed and deleted. Returns what was done, by kind."""
    files = max(1, int(ops * 0.55))
    folders = max(1, ops // 100)
    done = {"create": 0, "rename": 0, "delete": 0, "mkdir": 0, "rename_dir": 0, "rmdir": 0}
    dirs = []
    for d in range(folders):
        path = os.path.join(root, "d%05d" % d)
        os.mkdir(path)
        dirs.append(path)
        done["mkdir"] += 1
    names = []
    for i in range(files):
        path = os.path.join(dirs[i % folders], "f%07d.txt" % i)
        with open(path, "wb") as f:
            f.write(b"x" * 64)
        names.append(path)
        done["create"] += 1
    for i in range(0, files, 2):
        new = names[i][:-4] + ".bak"
        os.rename(names[i], new)
        names[i] = new
        done["rename"] += 1
    for i in range(0, files, 4):
        os.unlink(names[i])
        done["delete"] += 1
    for d in range(0, folders, 2):
        new = dirs[d] + "r"
        os.rename(dirs[d], new)
        dirs[d] = new
        done["rename_dir"] += 1
    for d in range(0, folders, 4):
        shutil.rmtree(dirs[d])
        done["rmdir"] += 1
    return done


def wait_for_output(path, proc, deadline):
    while time.monotonic() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            return True
        if proc.poll() is not None:
            return False
        time.sleep(0.02)
    return False


def run_one(name, argv, root, ops, ready_marker):
    """Starts a recorder on `root`, waits until it watches, runs the burst, waits until the
    output has been quiet for 2 s, stops it and measures."""
    out_path = os.path.join(os.path.dirname(root), name + ".out")
    err_path = os.path.join(os.path.dirname(root), name + ".err")
    shutil.rmtree(root, ignore_errors=True)
    os.mkdir(root)
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        start = time.monotonic()
        proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
    # Ready: either the tool says so on stderr, or a probe file shows up in its output.
    deadline = time.monotonic() + 120
    ready = False
    probe = 0
    while time.monotonic() < deadline and proc.poll() is None:
        if ready_marker and ready_marker.encode() in open(err_path, "rb").read():
            ready = True
            break
        if not ready_marker:
            open(os.path.join(root, "probe%d" % probe), "w").close()
            probe += 1
            if os.path.getsize(out_path) > 0:
                ready = True
                break
        time.sleep(0.05)
    if not ready:
        proc.kill()
        print("%-24s did not start: %s" % (name, open(err_path, errors="replace").read().strip()[:200]))
        return
    time.sleep(0.2)
    before = os.path.getsize(out_path)
    t0 = time.monotonic()
    done = burst(root, ops)
    burst_end = time.monotonic()
    # The last event out: the output stops growing for 2 s.
    last_size, last_growth = os.path.getsize(out_path), burst_end
    while time.monotonic() - last_growth < 2.0 and time.monotonic() - burst_end < 60:
        size = os.path.getsize(out_path)
        if size != last_size:
            last_size, last_growth = size, time.monotonic()
        time.sleep(0.01)
    if proc.poll() is not None:
        print("%-24s ended during the burst (exit %s): %s"
              % (name, proc.returncode, open(err_path, errors="replace").read().strip()[:200]))
        return
    proc.send_signal(signal.SIGINT)
    _, status, usage = os.wait4(proc.pid, 0)
    with open(out_path, "rb") as f:
        f.seek(before)
        lines = f.read().decode("utf-8", "replace").splitlines()
    counts = classify(name, lines)
    performed = sum(done.values())
    seen = {k: counts.get(k, 0) for k in done}
    lost = sum(max(0, done[k] - seen[k]) for k in done)
    print("%-24s burst %.2f s, %d operations; seen: %s; lost %d; overflows %d; CPU %.2f s; peak RSS %.1f MiB; "
          "last event %.2f s after the burst"
          % (name, burst_end - t0, performed, " ".join("%s %d/%d" % (k, seen[k], done[k]) for k in done), lost,
             counts.get("overflow", 0), usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0,
             max(0.0, last_growth - burst_end)))


def classify(name, lines):
    counts = {}

    def add(kind):
        counts[kind] = counts.get(kind, 0) + 1

    for line in lines:
        if name.startswith("tarnwatch"):
            cells = line.split("\t")
            if len(cells) < 3:
                continue
            action = cells[2]
            if "probe" in cells[0]:
                continue
            add({"Create": "create", "Rename File": "rename", "Delete": "delete", "New Directory": "mkdir",
                 "Rename Folder": "rename_dir", "Delete Directory": "rmdir", "Update Directory": "overflow"}
                .get(action, action))
        else:
            # "%e %w%f": a comma-separated event list, then the path.
            parts = line.split(" ", 1)
            if len(parts) < 2 or "probe" in parts[1]:
                continue
            events = set(parts[0].split(","))
            is_dir = "ISDIR" in events
            if "Q_OVERFLOW" in events:
                add("overflow")
            elif "CREATE" in events:
                add("mkdir" if is_dir else "create")
            elif "MOVED_TO" in events:
                add("rename_dir" if is_dir else "rename")
            elif "DELETE" in events:
                add("rmdir" if is_dir else "delete")
    return counts


def setup_time(name, argv, root, marker):
    """Seconds from the start until the recursive watch of the tree is in place."""
    start = time.monotonic()
    out_path = os.path.join(os.path.dirname(root), name + "-setup.out")
    err_path = os.path.join(os.path.dirname(root), name + "-setup.err")
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
    deepest = root
    while True:
        entries = sorted(e for e in os.listdir(deepest) if os.path.isdir(os.path.join(deepest, e)))
        if not entries:
            break
        deepest = os.path.join(deepest, entries[-1])
    ready_at = None
    probe = 0
    while time.monotonic() - start < 300 and proc.poll() is None:
        if marker:
            if marker.encode() in open(err_path, "rb").read():
                ready_at = time.monotonic()
                break
        else:
            # The last folder of the walk is watched once a file made in it is reported.
            open(os.path.join(deepest, "probe%d" % probe), "w").close()
            probe += 1
            if os.path.getsize(out_path) > 0:
                ready_at = time.monotonic()
                break
        time.sleep(0.01)
    proc.send_signal(signal.SIGINT)
    try:
        proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
    if ready_at is None:
        print("%-24s did not finish setting up" % name)
    else:
        print("%-24s recursive watch of the tree set up in %.2f s" % (name, ready_at - start))


def make_tree(root, count):
    os.mkdir(root)
    made = 0
    level = [root]
    while made < count:
        nxt = []
        for parent in level:
            for i in range(10):
                if made >= count:
                    break
                path = os.path.join(parent, "n%d" % i)
                os.mkdir(path)
                nxt.append(path)
                made += 1
        level = nxt


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("recorder")
    parser.add_argument("--ops", type=int, default=100000)
    parser.add_argument("--setup-folders", type=int, default=100000)
    parser.add_argument("--tmp", default=None)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="tarnwatch-bench-", dir=args.tmp)
    try:
        config = os.path.join(work, "config.ini")
        open(config, "w").close()
        root = os.path.join(work, "burst")
        rec = [args.recorder, "--config", config, "--drive", root]
        print("== A burst of about %d file operations" % args.ops)
        if os.geteuid() == 0:
            run_one("tarnwatch-record fanotify", rec, root, args.ops, None)
        else:
            print("tarnwatch-record fanotify: skipped (needs root)")
        run_one("tarnwatch-record inotify", rec + ["--inotify"], root, args.ops, None)
        fmt = ["--format", "%e %w%f"]
        run_one("inotifywait -m -r", ["inotifywait", "-m", "-r", "-q"] + fmt + [root], root, args.ops, None)
        run_one("fsnotifywait -m -r", ["fsnotifywait", "-m", "-r", "-q"] + fmt + [root], root, args.ops, None)

        print("== Recursive watch set-up on a tree of %d folders (inotify)" % args.setup_folders)
        tree = os.path.join(work, "tree")
        make_tree(tree, args.setup_folders)
        setup_time("tarnwatch-record inotify", [args.recorder, "--config", config, "--drive", tree, "--inotify"],
                   tree, None)
        setup_time("inotifywait -r", ["inotifywait", "-m", "-r", tree], tree, "Watches established")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
