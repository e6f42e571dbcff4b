"""Per-node costs of the Python module beside xml.etree.ElementTree (and lxml).

Run with the module on the path, an optimised build for figures worth reading:
    cmake --preset release && cmake --build --preset release --target genattr_python
    PYTHONPATH=build/release/python python3 python/bench/per_node.py
Every row is measured for each library in the same run, in nanoseconds per node
(per call for len and index): the libraries take turns within each row, two
timings in a row each per round (the second with its data in the caches), and
each keeps its best of all its timings, so that a change of the machine's load
touches all of them alike. The ratios are genattr's time over ElementTree's and
over lxml's.

Rows: building a flat node (make + append per child); iterating its children
(for c in node, list(node)); find and find_all over them; len and index per
call; walk() (ElementTree: iter()) over a 10-ary tree; writing that tree as
XML (genattr.tostring(tree, "xml", timestamp=False), ElementTree and lxml
tostring) and reading one document of it back (genattr.parse, fromstring).
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


def timed(run):
    """Seconds of one call of `run`, the garbage collector off meanwhile."""
    gc.collect()
    gc.disable()
    try:
        start = time.perf_counter()
        run()
        return time.perf_counter() - start
    finally:
        gc.enable()


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

    @staticmethod
    def write(root):
        return genattr.tostring(root, "xml", timestamp=False)

    @staticmethod
    def read(data):
        return genattr.parse(data)


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

    @classmethod
    def write(cls, root):
        return cls.module.tostring(root)

    @classmethod
    def read(cls, data):
        return cls.module.fromstring(data)


class Lxml(ElementTree):
    name = "lxml"
    module = LX


def rows(libs, count, fanout, depth):
    """(row, nodes per timing, {lib: run}) for every row, with what each needs made."""
    flats = {lib: lib.flat(count) for lib in libs}
    trees = {lib: lib.tree(fanout, depth) for lib in libs}
    nodes = sum(fanout ** level for level in range(1, depth + 1))
    # One document for every reader: ElementTree's of the same tree, root included.
    document = ET.tostring(trees[ElementTree])

    def each(make):
        return {lib: make(lib) for lib in libs}

    def iterate(root):
        def run():
            for _ in root:
                pass
        return run

    yield "build (make + append)", count, each(lambda lib: lib.build(count))
    yield "for c in node", count, each(lambda lib: iterate(flats[lib]))
    yield "list(node)", count, each(lambda lib: lambda root=flats[lib]: list(root))
    yield "find, last child", count, each(
        lambda lib: lambda root=flats[lib], lib=lib: lib.find(root, "last"))
    yield "find_all, all but one child", count, each(
        lambda lib: lambda root=flats[lib], lib=lib: lib.find_all(root, "c"))
    for label, statement in (("len(node), per call", "len(root)"),
                             ("node[i] (middle), per call", "root[middle]"),
                             ("node[-1], per call", "root[-1]")):
        yield label, None, each(lambda lib, statement=statement: timeit.Timer(
            statement, globals={"root": flats[lib], "middle": count // 2}))
    flats.clear()
    gc.collect()
    yield "walk() / iter(), %d-ary tree" % fanout, nodes, each(
        lambda lib: lambda root=trees[lib], lib=lib: lib.walk(root))
    yield "write XML, %d-ary tree" % fanout, nodes, each(
        lambda lib: lambda root=trees[lib], lib=lib: lib.write(root))
    yield "read XML (parse), %d-ary tree" % fanout, nodes, each(
        lambda lib: lambda lib=lib: lib.read(document))


def measure(libs, count, fanout, depth, repeats):
    """{row: {lib: nanoseconds}}, the libraries taking turns within each round."""
    results = {}
    for row, nodes, runs in rows(libs, count, fanout, depth):
        best = {lib: float("inf") for lib in libs}
        numbers = {}
        for lib, run in runs.items():
            if isinstance(run, timeit.Timer):
                # as many calls per timing as fill 0.2 s at least, so that a
                # library whose len() walks a million children still ends
                numbers[lib], _ = run.autorange()
        for _ in range(repeats):
            for lib, run in runs.items():
                # twice in a row, the best kept: each library's figures are
                # those of its data in the caches, as in a loop that runs again
                for _ in range(2):
                    if isinstance(run, timeit.Timer):
                        seconds = run.timeit(numbers[lib]) / numbers[lib]
                    else:
                        seconds = timed(run) / nodes
                    best[lib] = min(best[lib], seconds * 1e9)
        results[row] = best
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", type=int, default=1_000_000, help="children of the flat node")
    parser.add_argument("--depth", type=int, default=5,
                        help="levels of the 10-ary tree below its root (5: 111,110 nodes)")
    parser.add_argument("--repeats", type=int, default=3,
                        help="rounds (of two timings per library); each library's best counts")
    args = parser.parse_args()
    libs = [GenAttr, ElementTree] + ([Lxml] if LX is not None else [])
    results = measure(libs, args.count, 10, args.depth, args.repeats)
    print("ns per node (per call where marked), best of %d rounds; %s children, Python %s" % (
        args.repeats, format(args.count, ","), sys.version.split()[0]))
    ratios = ["genattr/ET"] + (["genattr/lxml"] if LX is not None else [])
    print("%-34s" % "" + "".join("%13s" % lib.name for lib in libs) +
          "".join("%14s" % r for r in ratios))
    for row, times in results.items():
        cells = "".join("%13.1f" % times[lib] for lib in libs)
        over = "".join("%13.1fx" % (times[GenAttr] / times[lib]) for lib in libs[1:])
        print("%-34s%s%s" % (row, cells, over))


if __name__ == "__main__":
    main()
