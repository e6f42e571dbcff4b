#!/usr/bin/env python3
"""Threads and the GIL: what the module gains from releasing it, and how long
other threads wait.

1. Four threads, each reading, searching and writing a file of its own of
   200,000 nodes, against the same work done one file after another. The same
   layout hashing with hashlib (which releases the GIL too) shows what the
   machine gives at the moment: on a machine busy with other work neither
   reaches the number of cores.
2. While one thread reads, parses, writes, searches and drops a tree of
   1,100,000 nodes, another wakes every millisecond; the longest gap between
   its wake-ups is how long the work kept it waiting (worst of the runs). The
   same with the first thread asleep, or hashing without the GIL, shows what
   the scheduler alone adds.

Run it with the module to measure, a Release build (pip install . or the
release preset):

    PYTHONPATH=build/release/python python3 python/bench/threads.py [--nodes N] [--big N]

Times are printed, never judged.
"""

import argparse
import hashlib
import os
import tempfile
import threading
import time

import genattr


def make_tree(nodes):
    """A tree of about `nodes` nodes: groups of ten leaves of every value type."""
    root = genattr.Cont("root")
    made = 1
    group = None
    while made < nodes:
        if made % 11 == 1:
            group = genattr.Cont("group", "ten leaves")
            group.id = "g%d" % made
            root.append(group)
        else:
            kind = made % 4
            if kind == 0:
                group.append(genattr.Int("count", made))
            elif kind == 1:
                group.append(genattr.Double("mass", made * 0.5))
            elif kind == 2:
                group.append(genattr.String("material", "steel %d" % (made % 97)))
            else:
                group.append(genattr.UnicodeString("label", "\u00e9tiquette %d" % made))
        made += 1
    return root


def work(path, out):
    """Reads `path`, searches it twice (a value met once, a name met nowhere) and
    writes it typed to `out`."""
    root = genattr.read(path)
    root.find(value=-1)
    root.find_all(name="absent")
    root.write(out, "typed")


def seconds(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def in_threads(task, arguments):
    threads = [threading.Thread(target=task, args=each) for each in arguments]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


def compare(task, arguments, repeat):
    """The best times of `task` on each of `arguments`, one after another and on a
    thread each, the runs of the two taking turns so that both see the same load."""
    alone, together = [], []
    for _ in range(repeat):
        alone.append(seconds(lambda: [task(*each) for each in arguments]))
        together.append(seconds(lambda: in_threads(task, arguments)))
    return min(alone), min(together)


def threads_against_one(folder, nodes, repeat):
    paths = []
    for index in range(4):
        path = os.path.join(folder, "tree%d.xml" % index)
        make_tree(nodes).write(path, "typed")
        paths.append(path)
    outs = [path + ".out" for path in paths]
    alone, together = compare(work, list(zip(paths, outs)), repeat)
    size = os.path.getsize(paths[0]) / 1e6
    print("4 files of %d nodes (%.1f MB each), read + find + find_all + write typed, best of %d:"
          % (nodes, size, repeat))
    print("  one after another  %7.3f s" % alone)
    print("  four threads       %7.3f s   speed-up %.2fx on %d cores"
          % (together, alone / together, os.cpu_count()))
    block = os.urandom(1 << 20) * 24

    def digest(_):
        hashlib.sha256(block).digest()

    alone, together = compare(digest, [(i,) for i in range(4)], repeat)
    print("  hashlib.sha256 of 24 MB the same way: speed-up %.2fx (what the machine gives now)"
          % (alone / together))


class Ticker:
    """A thread that wakes every millisecond and keeps the longest gap between
    two wake-ups since the last reset()."""

    def __init__(self):
        self.longest = 0.0
        self.ticks = 0
        self.stop = False
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        last = time.perf_counter()
        while not self.stop:
            time.sleep(0.001)
            now = time.perf_counter()
            self.longest = max(self.longest, now - last)
            self.ticks += 1
            last = now

    def settle(self):
        """Waits until the ticker has woken twice: whatever kept it waiting before
        is behind it."""
        start = self.ticks
        while self.ticks < start + 2:
            time.sleep(0.005)

    def measure(self, action, runs=1):
        """The result of the last of `runs` runs of `action`, the shortest time of one
        and the longest wait of the ticker in any."""
        best, worst, result = None, 0.0, None
        for _ in range(runs):
            result = None  # the last run's result goes before the clock runs
            self.settle()
            self.longest = 0.0
            start = time.perf_counter()
            result = action()
            elapsed = time.perf_counter() - start
            self.settle()
            best = elapsed if best is None else min(best, elapsed)
            worst = max(worst, self.longest)
        return result, best, worst


def stalls(folder, nodes, runs):
    path = os.path.join(folder, "big.xml")
    out = os.path.join(folder, "big.out.xml")
    root = make_tree(nodes)
    root.write(path, "typed")
    del root
    with open(path, "rb") as file:
        data = file.read()
    ticker = Ticker()
    print("Longest wait of a thread waking every 1 ms, %d nodes (%.0f MB typed), worst of %d runs:"
          % (nodes, len(data) / 1e6, runs))
    rows = []

    def row(name, action):
        result, elapsed, gap = ticker.measure(action, runs)
        rows.append((name, elapsed, gap))
        return result

    row("nothing (sleep 0.5 s)", lambda: time.sleep(0.5))
    # Work that releases the GIL all along: what the scheduler adds while a
    # second thread keeps a core busy.
    block = os.urandom(1 << 20) * 256
    row("hashlib.sha256 of 256 MB, for comparison", lambda: hashlib.sha256(block).digest())
    del block
    row("read(path)", lambda: genattr.read(path))
    root = row("parse(bytes)", lambda: genattr.parse(data))
    for format in ("typed", "xml", "text", "html"):
        row("write(path, %r)" % format, lambda: root.write(out, format))
    with open(out, "wb") as file:
        row("write(file object, 'typed')", lambda: root.write(file, "typed"))
    row("tostring('typed')", lambda: genattr.tostring(root, "typed"))
    row("find(value=-1), no match", lambda: root.find(value=-1))
    row("find_all(name='absent')", lambda: root.find_all(name="absent"))
    found = row("find_all(name='count')", lambda: root.find_all(name="count"))
    rows[-1] = (rows[-1][0] + ", %d found" % len(found),) + rows[-1][1:]
    del found
    # Once only: the tree is gone after it.
    holder = [root]
    del root
    _, elapsed, gap = ticker.measure(holder.clear)
    rows.append(("dropping the tree (the library frees it)", elapsed, gap))
    ticker.stop = True
    for name, elapsed, gap in rows:
        print("  %-42s %8.3f s   longest wait %6.1f ms" % (name, elapsed, gap * 1e3))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--nodes", type=int, default=200_000,
                        help="nodes per file of part 1 (0: leave part 1 out)")
    parser.add_argument("--big", type=int, default=1_100_000,
                        help="nodes of the tree of part 2 (0: leave part 2 out)")
    parser.add_argument("--repeat", type=int, default=5, help="runs of part 1, the best counts")
    parser.add_argument("--runs", type=int, default=3, help="runs of each call of part 2")
    arguments = parser.parse_args()
    print("genattr %s from %s" % (genattr.__version__, os.path.dirname(genattr.__file__)))
    with tempfile.TemporaryDirectory() as folder:
        if arguments.nodes > 0:
            threads_against_one(folder, arguments.nodes, arguments.repeat)
        if arguments.big > 0:
            stalls(folder, arguments.big, arguments.runs)


if __name__ == "__main__":
    main()
