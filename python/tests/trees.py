"""Helpers shared by the tests: random trees and their plain description."""

import ctypes
import ctypes.util
import random

import pytest

import genattr

TEXTS = ["", "a", "plain text", "h\u00e9llo", "\u65e5\u672c", "emoji \U0001F600", "<&'\">"]


def describe(node):
    """(depth, type, name, description, value, id) of `node` and every node below it."""
    rows = [(0,) + _fields(node)]
    rows += [(depth,) + _fields(below) for depth, below in node.walk()]
    return rows


def _fields(node):
    value = node.value
    if node.type == genattr.Type.Ptr:
        value = None  # the reader gives every Ptr back as a null pointer
    return (node.type, node.name, node.description, value, getattr(node, "id", None))


def random_node(rng, name):
    kind = rng.choice(["Base", "Cont", "String", "WString", "Int", "Float", "Double", "Ptr"])
    description = rng.choice([None] + TEXTS)
    if kind == "Base":
        return genattr.Base(name, description)
    if kind == "Cont":
        node = genattr.Cont(name, description)
        node.id = rng.choice([None, "id-%d" % rng.randrange(100)])
        return node
    value = {
        "String": lambda: rng.choice(TEXTS),
        "WString": lambda: rng.choice(TEXTS),
        "Int": lambda: rng.randrange(-2**31, 2**31),
        "Float": lambda: rng.choice([0.0, -1.5, 3.25, 1e30]),
        "Double": lambda: rng.uniform(-1e9, 1e9),
        "Ptr": lambda: rng.randrange(2**32),
    }[kind]()
    return getattr(genattr, kind)(name, value, description)


def random_tree(seed, size=60):
    """A tree of `size` random nodes, each a child of a random earlier one."""
    rng = random.Random(seed)
    nodes = [genattr.Cont("root")]
    for index in range(1, size):
        node = random_node(rng, rng.choice(["n%d" % index, rng.choice(TEXTS), "same"]))
        rng.choice(nodes).append(node)
        nodes.append(node)
    return nodes[0]


def heap_in_use():
    """Bytes the C library's heap has handed out (glibc's mallinfo2); skips elsewhere."""
    libc = ctypes.CDLL(ctypes.util.find_library("c"))
    if not hasattr(libc, "mallinfo2"):
        pytest.skip("needs glibc's mallinfo2")

    class MallInfo2(ctypes.Structure):
        _fields_ = [(name, ctypes.c_size_t) for name in (
            "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks",
            "uordblks", "fordblks", "keepcost")]

    libc.mallinfo2.restype = MallInfo2
    info = libc.mallinfo2()
    return info.uordblks + info.hblkhd
