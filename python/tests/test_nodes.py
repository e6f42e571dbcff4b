"""Node classes, values, editing, paths, iteration and lookups."""

import gc
import random

import pytest

import genattr
from trees import describe, random_tree

VALUED = [
    (genattr.String, genattr.Type.String, "", "h\u00e9llo \u65e5\u672c"),
    (genattr.UnicodeString, genattr.Type.UnicodeString, "", "wide \U0001F600"),
    (genattr.Int, genattr.Type.Int, 0, -2**31),
    (genattr.Float, genattr.Type.Float, 0.0, 0.25),
    (genattr.Double, genattr.Type.Double, 0.0, 1e300),
    (genattr.Ptr, genattr.Type.Ptr, 0, 2**63 + 5),
]


@pytest.mark.parametrize("cls, code, default, value", VALUED)
def test_valued_nodes_keep_name_description_and_value(cls, code, default, value):
    node = cls("n")
    assert (node.name, node.description, node.value, node.type) == ("n", None, default, code)
    node = cls("n", value, "about")
    assert (node.value, node.description) == (value, "about")
    node.value, node.name, node.description = default, "m", None
    assert (node.name, node.description, node.value) == ("m", None, default)
    assert type(node) is cls and isinstance(node, genattr.Base)


def test_nodes_without_value_refuse_one():
    for node in (genattr.Base("b", "d"), genattr.Cont("c")):
        assert node.value is None
        with pytest.raises(AttributeError):
            node.value = 1
    cont = genattr.Cont("c")
    cont.id = "x"
    assert cont.id == "x"
    cont.id = None
    assert cont.id is None
    assert genattr.WString is genattr.UnicodeString


@pytest.mark.parametrize("make, error", [
    (lambda: genattr.Int("i", 2**31), OverflowError),
    (lambda: genattr.Int("i", 1.5), TypeError),
    (lambda: genattr.Float("f", 1e39), OverflowError),
    (lambda: genattr.Double("d", "1"), TypeError),
    (lambda: genattr.Ptr("p", -1), OverflowError),
    (lambda: genattr.String("s", b"bytes"), TypeError),
    (lambda: genattr.String("s", "a\0b"), ValueError),
    (lambda: genattr.UnicodeString("w", "a\0b"), ValueError),
    (lambda: genattr.Cont("a\0b"), ValueError),
    (lambda: genattr.Cont(3), TypeError),
])
def test_bad_values_raise_and_make_no_node(make, error):
    with pytest.raises(error):
        make()


def test_bytes_that_are_not_utf8_come_back_unchanged():
    # surrogateescape: U+DCFF stands for the byte 0xFF in the node.
    node = genattr.String("\udcff name", "\udcc3\udca9 and \u00e9")
    assert node.name == "\udcff name"
    assert node.value == "\udcc3\udca9 and \u00e9".encode("utf-8", "surrogateescape").decode(
        "utf-8", "surrogateescape")
    # a lone surrogate is a wide character like any other
    assert genattr.UnicodeString("w", "a\ud800b").value == "a\ud800b"


def test_editing_matches_a_list_model():
    rng = random.Random(7)
    parent = genattr.Cont("parent")
    pool = [genattr.Int("c%d" % i, i) for i in range(8)]
    model = []
    for _ in range(2000):
        child = rng.choice(pool)
        operation = rng.randrange(4)
        if operation == 0:
            parent.append(child)
            model.append(child)
        elif operation == 1:
            before = rng.choice(pool)
            if before in model:
                parent.insert(before, child)
                model.insert(model.index(before), child)
            else:
                with pytest.raises(ValueError):
                    parent.insert(before, child)
        elif operation == 2:
            if child in model:
                parent.remove(child)
                model.remove(child)
            else:
                with pytest.raises(ValueError):
                    parent.remove(child)
        elif rng.randrange(50) == 0:
            parent.clear()
            model.clear()
        assert len(parent) == len(model)
        assert all(a is b for a, b in zip(parent, model))
        # one count per link plus the one of the Python object
        assert [c.refcount for c in pool] == [1 + model.count(c) for c in pool]
    if model:
        assert parent[-1] is model[-1] and parent[0] is model[0]


def test_paths_indices_and_membership():
    root = genattr.Cont("root")
    a = genattr.Cont("a")
    b = genattr.Int("b", 1)
    root.append(a)
    a.append(b)
    assert root["a/b"] is b and root["a"]["b"] is b and root[0] is a
    assert "a/b" in root and "a/c" not in root and a in root and b not in root and 3 not in root
    with pytest.raises(KeyError) as caught:
        root["a/c"]
    assert caught.value.args == ("a/c",)
    with pytest.raises(IndexError):
        root[1]
    assert bool(genattr.Cont("empty")) is True
    assert b.initial_parent is a and a.initial_parent is root


def test_references_share_children():
    target = genattr.Cont("target", "about")
    target.id = "T"
    target.append(genattr.Int("x", 1))
    ref = genattr.Cont.reference("ref", target)
    assert ref.is_reference and not target.is_reference
    assert (ref.description, ref.id) == ("about", "T")
    ref.append(genattr.Int("y", 2))
    assert [c.name for c in target] == ["x", "y"] == [c.name for c in ref]
    base_ref = genattr.Base.reference("b", target)
    assert type(base_ref) is genattr.Base and base_ref["y"].value == 2


def test_find_and_find_all_against_a_filter_over_walk():
    root = random_tree(3, 300)
    everything = [node for _, node in root.walk()]
    children = list(root)
    queries = [dict(name="same"), dict(value=""), dict(value=0.25), dict(value=3.25),
               dict(name="same", value="a"), dict(value=-1.5, tolerance=0.0),
               dict(value=3.0, tolerance=0.5), dict(value=2**40), dict()]
    queries += [dict(value=n.value) for n in everything if n.type == genattr.Type.Int][:3]

    def matches(node, name=None, value=None, tolerance=0.0):
        if name is not None and node.name != name:
            return False
        if value is None:
            return True
        kinds = {int: (genattr.Type.Int,), float: (genattr.Type.Float, genattr.Type.Double),
                 str: (genattr.Type.String, genattr.Type.UnicodeString)}[type(value)]
        if node.type not in kinds:
            return False
        return abs(node.value - value) <= tolerance if isinstance(value, float) else (
            node.value == value)

    for query in queries:
        expected = [n for n in everything if matches(n, **query)]
        assert root.find_all(**query) == expected, query
        assert root.find(**query) is (expected[0] if expected else None)
        flat = [n for n in children if matches(n, **query)]
        assert root.find_all(**query, recursive=False) == flat
    with pytest.raises(TypeError):
        root.find(value=b"x")


def test_iteration_shows_the_tree_as_it_began_and_allows_edits():
    root = genattr.Cont("root")
    kids = [genattr.Int("i", i) for i in range(3)]
    for kid in kids:
        root.append(kid)
    for child in root:
        root.remove(child)
        root.append(genattr.Int("new", 9))
    assert [c.value for c in root] == [9, 9, 9]
    walked = []
    for depth, node in root.walk():
        root.clear()  # what the walk took stays alive until it ends
        walked.append((depth, node.value))
    assert walked == [(1, 9)] * 3 and len(root) == 0
    assert [k.refcount for k in kids] == [1, 1, 1]
    walk = root.walk()
    root.append(kids[0])
    assert list(walk) == [] and list(root.walk()) == [(1, kids[0])]


def test_stubs_name_what_the_module_has():
    import ast
    import pathlib

    stub = pathlib.Path(genattr.__file__).with_suffix(".pyi")
    tree = ast.parse(stub.read_text("utf-8"))
    classes = {n.name: n for n in tree.body if isinstance(n, ast.ClassDef)}
    functions = {n.name for n in tree.body if isinstance(n, ast.FunctionDef)}
    assert set(classes) | functions | {"WString"} == set(genattr.__all__)
    for name, node in classes.items():
        declared = {m.name for m in node.body if isinstance(m, ast.FunctionDef)}
        declared |= {m.target.id for m in node.body if isinstance(m, ast.AnnAssign)}
        runtime = getattr(genattr, name)
        if name != "ReadError":  # its attributes belong to each instance
            assert all(hasattr(runtime, member) for member in declared), name
        if name == "Base":
            public = {m for m in dir(runtime) if not m.startswith("_")}
            assert public <= declared
        assert runtime.__doc__
        if name not in ("ReadError", "Type"):  # pybind11 makes Type's members
            for member in declared - {"value", "id", "name", "description"}:
                assert getattr(runtime, member).__doc__, (name, member)
            for member in ("value", "name", "description", "id"):
                if member in vars(runtime):
                    assert vars(runtime)[member].__doc__, (name, member)
    for name in functions:
        assert getattr(genattr, name).__doc__


NODE_CLASSES = [genattr.Base, genattr.Cont, genattr.String, genattr.WString, genattr.Int,
                genattr.Float, genattr.Double, genattr.Ptr]


@pytest.mark.parametrize("cls", NODE_CLASSES)
def test_a_node_whose_init_has_not_run_raises_and_never_crashes(cls):
    unmade = cls.__new__(cls)
    container = genattr.Cont("c")
    # Every public member, read or called without arguments, and the node given
    # to another node: TypeError (or another Python error), never a crash.
    for member in [m for m in dir(cls) if not m.startswith("_")]:
        try:
            attribute = getattr(unmade, member)
            if callable(attribute):
                attribute()
        except (TypeError, ValueError, AttributeError, KeyError, IndexError):
            pass
    for call in (lambda: container.append(unmade), lambda: container.insert(unmade, None),
                 lambda: len(unmade), lambda: list(unmade), lambda: repr(unmade)):
        with pytest.raises(TypeError):
            call()
    assert len(container) == 0
    del unmade
    gc.collect()


def test_a_subclass_that_touches_self_before_init_raises():
    container = genattr.Cont("c")

    class Early(genattr.Int):
        def __init__(self, *args):
            with pytest.raises(TypeError):
                self.name
            with pytest.raises(TypeError):
                container.append(self)
            super().__init__(*args)

    node = Early("x", 1)
    container.append(node)
    del node
    gc.collect()
    assert [(c.name, c.value) for c in container] == [("x", 1)]
