"""The children of a node as a sequence, checked against a Python list."""

import gc
import random

import pytest

import genattr


def slices(rng, size):
    """A random slice over a sequence of `size`, bounds and steps of every sign."""
    def bound():
        return rng.choice([None, rng.randrange(-size - 3, size + 4)])
    return slice(bound(), bound(), rng.choice([None, 1, 1, 2, 3, -1, -2, 5]))


def check(node, model, pool):
    assert len(node) == len(model)
    assert all(a is b for a, b in zip(node, model))
    # one count per link plus the one of the Python object
    assert [c.refcount for c in pool] == [1 + model.count(c) for c in pool]


def step(rng, node, model, pool, extra_edit):
    """One random operation on `node` and on the list `model` alike."""
    size = len(model)
    operation = rng.randrange(13)
    if operation == 0:
        items = [rng.choice(pool) for _ in range(rng.choice([0, 1, 3, 150]))]
        node.extend(iter(items) if rng.randrange(2) else items)
        model.extend(items)
    elif operation == 1:
        child = rng.choice(pool)
        node.append(child)
        model.append(child)
    elif operation == 2:
        index = rng.randrange(-size - 2, size + 2)
        if -size <= index < size:
            assert node.pop(index) is model.pop(index)
        else:
            with pytest.raises(IndexError):
                node.pop(index)
    elif operation == 3:
        if model:
            assert node.pop() is model.pop()
        else:
            with pytest.raises(IndexError):
                node.pop()
    elif operation == 4:
        index = rng.randrange(-size - 2, size + 2)
        if -size <= index < size:
            del node[index]
            del model[index]
        else:
            with pytest.raises(IndexError):
                del node[index]
    elif operation == 5:
        chosen = slices(rng, size)
        del node[chosen]
        del model[chosen]
    elif operation in (6, 7):
        chosen = slices(rng, size)
        got = node[chosen]
        assert type(got) is list and len(got) == len(model[chosen])
        assert all(a is b for a, b in zip(got, model[chosen]))
    elif operation == 8:
        for index in [rng.randrange(-size - 2, size + 2) for _ in range(5)]:
            if -size <= index < size:
                assert node[index] is model[index]
            else:
                with pytest.raises(IndexError):
                    node[index]
    elif operation == 9:
        child = rng.choice(pool)
        start, stop = rng.randrange(-size - 2, size + 3), rng.randrange(-size - 2, size + 3)
        try:
            expected = model.index(child, start, stop)
        except ValueError:
            with pytest.raises(ValueError):
                node.index(child, start, stop)
        else:
            assert node.index(child, start, stop) == expected
        if child in model:
            assert node.index(child) == model.index(child)
    elif operation == 10:
        # A bad item anywhere: TypeError, and nothing appended.
        with pytest.raises(TypeError):
            node.extend([rng.choice(pool), 3, rng.choice(pool)])
    elif operation == 11:
        extra_edit(rng)
    elif rng.randrange(30) == 0:
        node.clear()
        model.clear()


def test_sequence_methods_match_a_list():
    rng = random.Random(11)
    grand = genattr.Cont("grand")
    node = genattr.Cont("parent")
    grand.append(node)
    pool = [genattr.Int("c%d" % i, i) for i in range(6)]
    model = []

    def through_other_calls(rng):
        # Edits that do not go through the sequence methods, and a fresh
        # object for the node (made again from its parent).
        nonlocal node
        kind = rng.randrange(4)
        if kind == 0 and model:
            child = rng.choice(model)
            node.remove(child)
            model.remove(child)
        elif kind == 1 and model:
            before, child = rng.choice(model), rng.choice(pool)
            node.insert(before, child)
            model.insert(model.index(before), child)
        elif kind == 2:
            node = None
            gc.collect()
            node = grand[0]
        else:
            child = rng.choice(pool)
            node.insert(None, child)
            model.append(child)

    for _ in range(3000):
        step(rng, node, model, pool, through_other_calls)
        check(node, model, pool)
        if len(model) > 600:
            node.clear()
            model.clear()


def test_through_a_reference_both_see_the_same_children():
    rng = random.Random(5)
    owner = genattr.Cont("owner")
    pool = [genattr.Int("c%d" % i, i) for i in range(5)]
    model = list(pool)
    owner.extend(pool)
    ref = genattr.Cont.reference("ref", owner)

    for _ in range(1500):
        # Appends, removals and reads alike through either node (no link in
        # front of the first one, which the reference alone would see).
        node = rng.choice([owner, ref])
        step(rng, node, model, pool, lambda rng: None)
        for each in (owner, ref):
            assert len(each) == len(model) and list(each) == model
        if not model:
            owner.extend(pool)
            model.extend(pool)


def test_errors_are_those_of_a_list():
    node = genattr.Cont("n")
    child = genattr.Int("c", 1)
    with pytest.raises(IndexError):
        genattr.Cont("empty").pop()
    node.append(child)
    for bad in ("0", 1.5, None, b"0"):
        with pytest.raises(TypeError):
            node.pop(bad)
    for bad in (1.5, None, b"0", object()):
        with pytest.raises(TypeError):
            node[bad]
        with pytest.raises(TypeError):
            del node[bad]
    for huge in (2**100, -2**100):
        with pytest.raises(IndexError):
            node[huge]
        with pytest.raises(IndexError):
            node.pop(huge)
    with pytest.raises(TypeError):
        del node["c"]  # paths name nodes to read, not links to remove
    with pytest.raises(ValueError):
        node.index(genattr.Int("other", 1))
    with pytest.raises(ValueError):
        node.index(3)
    with pytest.raises(TypeError):
        node.extend(5)
    with pytest.raises(TypeError):
        node.extend("ab")
    assert node[False] is child and node[-1] is child and node[0:5] == [child]
    assert node.index(child, -100, 100) == 0 and list(node) == [child]


def test_a_popped_child_lives_on_and_dropped_ones_end():
    node = genattr.Cont("n")
    node.extend([genattr.Int("c%d" % i, i) for i in range(300)])
    kept = node[150]  # far from both ends: the index of every child is made
    last = node.pop()
    assert (last.value, last.refcount, len(node)) == (299, 1, 299)
    del node[200:]
    assert (len(node), kept.refcount) == (200, 2)
    # Children that end behind the index's back: it must not be read again.
    doomed = node[100:]
    for child in doomed:
        node.remove(child)
    del child, doomed
    gc.collect()
    assert (len(node), kept.refcount) == (100, 1)
    assert [c.value for c in node[90:]] == list(range(90, 100)) and node[99].value == 99
    node.extend(node)
    assert [c.value for c in node] == list(range(100)) * 2
    assert node.index(node[150]) == 50
    del node[::2]
    assert [c.value for c in node] == list(range(1, 100, 2)) * 2


def test_the_iterator_cannot_be_made_by_hand():
    iterator_type = type(iter(genattr.Cont("n")))
    try:
        made = iterator_type()
    except TypeError:
        return
    assert list(made) == []  # an interpreter that cannot refuse: an empty iterator


def test_a_subclass_keeps_the_sequence_or_its_own():
    class Plain(genattr.Cont):
        pass

    class Own(genattr.Cont):
        def __len__(self):
            return 42

        def __getitem__(self, key):
            return ("own", key)

    child = genattr.Int("c", 1)
    plain, own = Plain("p"), Own("o")
    plain.append(child)
    own.append(child)
    assert len(plain) == 1 and plain[0] is child and plain[-1].initial_parent is plain
    assert plain["c"] is child and plain[0:1] == [child]
    assert len(own) == 42 and own[0] == ("own", 0)
