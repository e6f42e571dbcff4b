"""copy.copy() and copy.deepcopy() of nodes, as the library copies them."""

import copy

import pytest

import genattr
from trees import describe, random_tree


def nodes(root):
    return [root] + [node for _, node in root.walk()]


@pytest.mark.parametrize("seed", range(5))
def test_a_deep_copy_has_the_same_fields_and_no_node_in_common(seed):
    root = random_tree(seed, 80)
    back = copy.deepcopy(root)
    # The same rows but for the Cont ids, which a copy never takes.
    assert [row[:5] for row in describe(back)] == [row[:5] for row in describe(root)]
    assert {row[5] for row in describe(back)} == {None}
    copies, originals = nodes(back), nodes(root)  # each object kept while ids are compared
    assert not {id(n) for n in copies} & {id(n) for n in originals}
    del copies, originals
    # every copied node is held by its one link (and by its object while it lives)
    assert all(node.refcount == 2 for _, node in back.walk())


def test_a_deep_copy_copies_each_link_and_makes_references_ordinary():
    shared = genattr.Cont("shared")
    shared.id = "S"
    shared.append(genattr.Int("x", 1))
    root = genattr.Cont("root")
    root.extend([shared, shared, genattr.Cont.reference("ref", shared)])
    assert shared.refcount == 3
    back = copy.deepcopy(root)
    first, second, ref = back
    assert first is not second and first.id is None and [c.value for c in first] == [1]
    assert not ref.is_reference and ref.name == "ref" and [c.value for c in ref] == [1]
    first.append(genattr.Int("y", 2))
    assert len(second) == len(ref) == len(shared) == 1
    assert shared.refcount == 3  # the original untouched


def test_a_deep_copy_cuts_a_loop_where_it_closes():
    root = genattr.Cont("root")
    sub = genattr.Cont("sub")
    root.append(sub)
    sub.append(root)  # a loop
    back = copy.deepcopy(root)
    assert [(depth, node.name) for depth, node in back.walk()] == [(1, "sub"), (2, "root")]
    sub.remove(root)


def test_copy_module_memo_gives_one_copy_per_node():
    node = genattr.String("s", "h\u00e9")
    pair = copy.deepcopy([node, node])
    assert pair[0] is pair[1] and pair[0] is not node and pair[0].value == "h\u00e9"


def test_a_shallow_copy_links_the_same_children():
    root = genattr.Cont("root", "about")
    root.id = "R"
    children = [genattr.Int("a", 1), genattr.Double("b", 2.5)]
    root.extend(children[:1] + children)
    shallow = copy.copy(root)
    assert type(shallow) is genattr.Cont and (shallow.name, shallow.description) == (
        "root", "about")
    assert shallow.id is None and not shallow.is_reference
    assert list(shallow) == list(root) and all(a is b for a, b in zip(shallow, root))
    assert [c.refcount for c in children] == [5, 3]
    shallow.pop(0)
    root.append(genattr.Int("later", 3))
    assert [c.name for c in root] == ["a", "a", "b", "later"]
    assert [c.name for c in shallow] == ["a", "b"]
    del root
    assert [c.refcount for c in children] == [2, 2]


@pytest.mark.parametrize("cls, value", [
    (genattr.Base, None), (genattr.String, "t\u00e9xt"), (genattr.UnicodeString, "\U0001F600"),
    (genattr.Int, -7), (genattr.Float, 0.5), (genattr.Double, 1e300), (genattr.Ptr, 2**40),
])
def test_both_copies_keep_class_and_value(cls, value):
    node = cls("n", "d") if value is None else cls("n", value, "d")
    for made in (copy.copy(node), copy.deepcopy(node)):
        assert type(made) is cls and made is not node
        assert (made.name, made.description, made.value) == ("n", "d", value)
        assert made.refcount == 1
        # The typed document shows what the fields do not, the UTF flag of a text.
        assert genattr.tostring(made, "typed", timestamp=False) == genattr.tostring(
            node, "typed", timestamp=False)
