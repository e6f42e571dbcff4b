"""Counts between Python and the library: releases, leaks, very deep trees."""

import gc
import sys

import genattr
from trees import heap_in_use


def listing(root, tmp_path):
    path = tmp_path / "counts.txt"
    root.write(path)
    return path.read_text("utf-8").splitlines()[1:]


def test_counts_seen_by_the_library_after_python_lets_go(tmp_path):
    root = genattr.Cont("root")
    child = genattr.Int("child", 1)
    root.append(child)
    # The text listing, written by the library, shows counts above 1.
    assert listing(root, tmp_path)[1].endswith("(RefCount: 2)")
    del child
    gc.collect()
    assert listing(root, tmp_path)[1].endswith("(Type: Int)")
    kept = root["child"]
    assert kept.refcount == 2 and root["child"] is kept


def test_a_node_taken_out_and_kept_lives_on():
    root = genattr.Cont("root")
    sub = genattr.Cont("sub")
    sub.append(genattr.String("leaf", "still here"))
    root.append(sub)
    leaf = root["sub/leaf"]
    root.remove(sub)
    assert (sub.refcount, leaf.refcount, len(root)) == (1, 2, 0)
    other = genattr.Cont("other")
    other.append(sub)
    del root, sub
    assert other["sub/leaf"] is leaf
    other.clear()  # the last count of sub: it ends, leaf lives on
    assert (leaf.refcount, leaf.value, leaf.initial_parent) == (1, "still here", None)


def test_a_dropped_tree_gives_back_the_counts_of_its_links():
    kept = genattr.Int("kept", 0)
    root = genattr.Cont("root")
    for _ in range(3):
        sub = genattr.Cont("sub")
        sub.append(kept)
        root.append(sub)
    assert kept.refcount == 4
    del root, sub
    assert kept.refcount == 1


def _build_and_drop(count):
    for index in range(count):
        root = genattr.Cont("root", "a tree that lives for one step")
        root.append(genattr.String("name", "value %d" % index))
        root.append(genattr.UnicodeString("wide", "\u65e5\u672c"))
        sub = genattr.Cont("sub")
        sub.append(genattr.Double("x", index * 0.5))
        root.append(sub)
        root.append(genattr.Cont.reference("ref", sub))
        assert len(list(root.walk())) == 6


def test_a_hundred_thousand_trees_built_and_dropped_leave_no_memory_behind():
    # Heap bytes in use by malloc (where the library's nodes live), not RSS:
    # exact to the byte. One tree left behind per step would add 100,000
    # trees of six nodes with their texts, tens of megabytes.
    _build_and_drop(10_000)  # settle Python's own caches first
    gc.collect()
    before = heap_in_use()
    _build_and_drop(100_000)
    gc.collect()
    grown = heap_in_use() - before
    assert grown < 1_000_000, "heap grew by %d bytes" % grown


def test_a_million_level_chain_is_built_walked_searched_and_dropped():
    depth = 1_000_000
    root = genattr.Cont("level")
    node = root
    for _ in range(depth - 1):
        child = genattr.Cont("level")
        node.append(child)
        node = child
    node.append(genattr.Int("bottom", 42))
    deepest = 0
    for level, _ in root.walk():
        deepest = max(deepest, level)
    assert deepest == depth
    assert root.find("bottom").value == 42
    assert sys.getrecursionlimit() < depth
    bottom = root.find("bottom")
    del root, node, child
    assert bottom.refcount == 1  # the chain above it is gone, without recursion
