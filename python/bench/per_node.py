"""Per-node costs of the Python module beside xml.etree.ElementTree (and lxml).

Run with the module on the path, an optimised build for figures worth reading:
    cmake --preset release && cmake --build --preset release --target genattr_python
    PYTHONPATH=build/release/python python3 python/bench/per_node.py
Every row is measured for each library in the same run, best of a few
repeats, in nanoseconds per node (per call for len and index); the ratio is
genattr's time over ElementTree's.
"""

import argparse
import gc
import sys
import time
import timeit
import xml.etree.ElementTree as ET

import genattr

try:
    import lxml.etree as LX
except ImportError:  # lxml is optional
    LX = None


def best(run, repeats):
    """The shortest of `repeats` timed calls of `run`, in seconds."""
    times = []
    for _ in range(repeats):
        gc.collect()
        gc.disable()
        try:
            start = time.perf_counter()
            run()
            times.append(time.perf_counter() - start)
        finally:
            gc.enable()
    return min(times)


def per_call(statement, names, repeats):
    """Nanoseconds per run of `statement`, as many runs as fill 0.2 s at least."""
    timer = timeit.Timer(statement, globals=names)
    number, _ = timer.autorange()
    return min(timer.repeat(repeats, number)) / number * 1e9


class GenAttr:
    name = "genattr"

    @staticmethod
    def flat(count):
        root = genattr.Cont("root")
        for _ in range(count - 1):
            root.append(genattr.Cont("c"))
        root.append(genattr.Cont("last"))
        return root

    @staticmethod
    def build(count):
        def run():
            root = genattr.Cont("root")
            append, make = root.append, genattr.Cont
            for _ in range(count):
                append(make("c"))
        return run

    @staticmethod
    def tree(fanout, depth):
        root = genattr.Cont("root")
        level = [root]
        for _ in range(depth):
            below = []
            for node in level:
                for _ in range(fanout):
                    child = genattr.Cont("n")
                    node.append(child)
                    below.append(child)
            level = below
        return root

    @staticmethod
    def walk(root):
        for _ in root.walk():
            pass

    @staticmethod
    def find(root, name):
        return root.find(name, recursive=False)

    @staticmethod
    def find_all(root, name):
        return root.find_all(name, recursive=False)


class ElementTree:
    name = "ElementTree"
    module = ET

    @classmethod
    def flat(cls, count):
        root = cls.module.Element("root")
        for _ in range(count - 1):
            root.append(cls.module.Element("c"))
        root.append(cls.module.Element("last"))
        return root

    @classmethod
    def build(cls, count):
        def run():
            root = cls.module.Element("root")
            append, make = root.append, cls.module.Element
            for _ in range(count):
                append(make("c"))
        return run

    @classmethod
    def tree(cls, fanout, depth):
        root = cls.module.Element("root")
        level = [root]
        for _ in range(depth):
            below = []
            for node in level:
                for _ in range(fanout):
                    below.append(cls.module.SubElement(node, "n"))
            level = below
        return root

    @staticmethod
    def walk(root):
        # iter() yields the root too: one node more than walk(), left as is.
        for _ in root.iter():
            pass

    @staticmethod
    def find(root, name):
        return root.find(name)

    @staticmethod
    def find_all(root, name):
        return root.findall(name)


class Lxml(ElementTree):
    name = "lxml"
    module = LX


def measure(lib, count, fanout, depth, repeats):
    """{row: nanoseconds} for one library."""
    rows = {}
    per = 1e9 / count
    rows["build (make + append)"] = best(lib.build(count), repeats) * per
    root = lib.flat(count)

    def iterate():
        for _ in root:
            pass

    rows["for c in node"] = best(iterate, repeats) * per
    rows["list(node)"] = best(lambda: list(root), repeats) * per
    rows["find, last child"] = best(lambda: lib.find(root, "last"), repeats) * per
    rows["find_all, all but one child"] = best(lambda: lib.find_all(root, "c"), repeats) * per
    names = {"root": root, "middle": count // 2}
    rows["len(node), per call"] = per_call("len(root)", names, repeats)
    rows["node[i] (middle), per call"] = per_call("root[middle]", names, repeats)
    rows["node[-1], per call"] = per_call("root[-1]", names, repeats)
    del root
    tree = lib.tree(fanout, depth)
    nodes = sum(fanout ** level for level in range(1, depth + 1))
    rows["walk() / iter(), %d-ary tree" % fanout] = best(lambda: lib.walk(tree), repeats) * (
        1e9 / nodes)
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=1_000_000, help="children of the flat node")
    parser.add_argument("--depth", type=int, default=5,
                        help="levels of the 10-ary tree below its root (5: 111,110 nodes)")
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    libs = [GenAttr, ElementTree] + ([Lxml] if LX is not None else [])
    results = [measure(lib, args.count, 10, args.depth, args.repeats) for lib in libs]
    names = [lib.name for lib in libs]
    print("ns per node (per call where marked), best of %d; %s children, Python %s" % (
        args.repeats, format(args.count, ","), sys.version.split()[0]))
    header = "%-34s" % "" + "".join("%13s" % n for n in names) + "%14s" % "genattr/ET"
    print(header)
    for row in results[0]:
        cells = "".join("%13.1f" % r[row] for r in results)
        print("%-34s%s%13.1fx" % (row, cells, results[0][row] / results[1][row]))


if __name__ == "__main__":
    main()
