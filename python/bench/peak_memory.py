"""Peak memory per node of the Python module beside xml.etree.ElementTree (and lxml).

Run with the module on the path, an optimised build for figures worth reading:
    PYTHONPATH=build/release/python python3 python/bench/peak_memory.py
Each library makes the 10-ary tree of per_node.py (111,110 nodes below the
root) in a fresh process of its own, once by building it node by node and
once by parsing its document, and reports how far the process's peak resident
set rose above what it held just before, in bytes per node. The document is
made before the baseline is taken: only what the parse itself needs counts.
"""

import argparse
import subprocess
import sys

import per_node

LIBS = {lib.name: lib for lib in [per_node.GenAttr, per_node.ElementTree] +
        ([per_node.Lxml] if per_node.LX is not None else [])}
ROWS = ("build", "parse")


def status_kib(field):
    """A field of /proc/self/status in KiB (VmRSS now, VmHWM its peak so far)."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError("no %s in /proc/self/status" % field)


def reset_peak():
    """Lowers VmHWM to the current resident set where the kernel allows it."""
    try:
        with open("/proc/self/clear_refs", "w") as clear:
            clear.write("5")
    except OSError:
        pass


def one(lib, row, depth):
    """Bytes per node that `row` adds to the peak, in this process."""
    nodes = sum(10 ** level for level in range(1, depth + 1))
    document = None
    if row == "parse":
        document = per_node.ET.tostring(per_node.ElementTree.tree(10, depth))
    reset_peak()
    before = status_kib("VmRSS")
    made = lib.tree(10, depth) if row == "build" else lib.read(document)
    peak = status_kib("VmHWM")
    del made
    return (peak - before) * 1024 / nodes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--depth", type=int, default=5,
                        help="levels of the 10-ary tree below its root (5: 111,110 nodes)")
    parser.add_argument("--one", nargs=2, metavar=("LIB", "ROW"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.one:
        print("%.1f" % one(LIBS[args.one[0]], args.one[1], args.depth))
        return
    results = {}
    for row in ROWS:
        for name in LIBS:
            out = subprocess.run([sys.executable, __file__, "--depth", str(args.depth),
                                  "--one", name, row], check=True, capture_output=True,
                                 text=True).stdout
            results[row, name] = float(out)
    names = list(LIBS)
    print("peak resident bytes per node, 10-ary tree of %s nodes, a fresh process each" %
          format(sum(10 ** level for level in range(1, args.depth + 1)), ","))
    print("%-34s" % "" + "".join("%13s" % name for name in names) +
          "".join("%14s" % ("genattr/" + ("ET" if n == "ElementTree" else n)) for n in names[1:]))
    for row in ROWS:
        label = "build (make + append)" if row == "build" else "parse its document"
        cells = "".join("%13.1f" % results[row, name] for name in names)
        over = "".join("%13.2fx" % (results[row, "genattr"] / results[row, name])
                       for name in names[1:])
        print("%-34s%s%s" % (label, cells, over))


if __name__ == "__main__":
    main()
