"""Node objects: one per node while it lives, whatever gives it out, and what
iteration and walk() do with the objects they give out and get back."""

import gc
import random
import weakref

import genattr
from trees import heap_in_use, random_tree

KINDS = [
    lambda i: genattr.Int("i%d" % i, i),
    lambda i: genattr.String("s%d" % i, "text %d" % i),
    lambda i: genattr.Cont("c%d" % i),
    lambda i: genattr.Double("d%d" % i, i + 0.5),
    lambda i: genattr.UnicodeString("w%d" % i, "wide %d" % i),
    lambda i: genattr.Base("b%d" % i),
    lambda i: genattr.Float("f%d" % i, 0.25),
    lambda i: genattr.Ptr("p%d" % i, i),
]


def mixed(count, seed=1):
    """A container with `count` children of every class in random order."""
    rng = random.Random(seed)
    root = genattr.Cont("root")
    for index in range(count):
        root.append(rng.choice(KINDS)(index))
    return root


def wide(count):
    """A container with `count` Cont children that no object holds."""
    root = genattr.Cont("root")
    root.extend(genattr.Cont("c") for _ in range(count))
    gc.collect()
    return root


def fields(node):
    return (type(node), node.name, node.value)


def test_every_way_to_a_node_gives_its_one_object():
    root = random_tree(7, 200)
    kept = [node for _, node in root.walk()]
    for node in kept:
        assert root.find(node.name) is not None
    assert [node for _, node in root.walk()] == kept
    assert all(a is b for a, b in zip((node for _, node in root.walk()), kept))
    for node in kept:
        for index, child in enumerate(node):
            assert child is node[index] and child is node[index - len(node)]
            assert child in node and node.index(child) <= index
            assert child.initial_parent is node  # each node linked once, below it
    everything = root.find_all()
    assert all(a is b for a, b in zip(everything, kept))
    first = root.find(kept[-1].name)
    assert first is next(node for node in kept if node.name == kept[-1].name)


def test_iteration_gives_each_child_as_itself_across_classes():
    root = mixed(500)
    expected = [fields(child) for child in root]  # objects made and dropped on the way
    assert len({cls for cls, _, _ in expected}) == len(KINDS)
    again = []
    for child in root:
        again.append(fields(child))
    assert again == expected
    assert [fields(node) for _, node in root.walk()] == expected
    assert [fields(child) for child in list(root)] == expected
    # objects kept from a loop stand for their nodes for good
    kept = [child for child in root]
    assert [fields(child) for child in kept] == expected
    assert all(a is b for a, b in zip(root, kept))
    assert [child.refcount for child in kept] == [2] * len(kept)


def test_objects_held_across_steps_keep_their_nodes():
    root = mixed(40, seed=3)
    names = [child.name for child in root]
    iterator = iter(root)
    held = [next(iterator), next(iterator)]
    for step in range(2, len(names)):
        current = next(iterator)
        # the object of two steps back is held here: it must not move on
        assert [node.name for node in held] == names[step - 2:step]
        assert current.name == names[step]
        held = [held[1], current]
    pairs = root.walk()
    first = next(pairs)
    rest = [next(pairs) for _ in range(5)]
    assert first[1].name == names[0] and [pair[1].name for pair in rest] == names[1:6]
    assert [pair[0] for pair in [first] + rest] == [1] * 6


def test_dropped_loops_give_back_every_count():
    root = mixed(300, seed=5)
    kept = [child for child in root]
    del kept
    gc.collect()
    for child in root:
        pass
    del child
    for depth, node in root.walk():
        if depth > 0:
            break
    del depth, node
    for _ in root.walk():
        pass
    assert [child.refcount for child in root] == [2] * len(root)  # the link and this object
    iterator = iter(root)
    next(iterator)
    next(iterator)
    next(iterator)
    del iterator
    pair_iterator = root.walk()
    next(pair_iterator)
    next(pair_iterator)
    del pair_iterator
    probe = genattr.Cont("probe")
    counts = []
    for index in range(len(root)):
        child = root[index]
        probe.append(child)
        counts.append(child.refcount)
        probe.clear()
        del child
    assert counts == [3] * len(root)  # two links and the object made for the loop


def test_a_weakly_referenced_object_never_stands_for_another_node():
    root = mixed(50, seed=9)
    names = [child.name for child in root]
    for loop in range(2):
        refs = []
        for child in root:
            refs.append((child.name, weakref.ref(child)))
            # while the loop goes on, as after it
            for name, ref in refs:
                node = ref()
                assert node is None or node.name == name
        del child
        for name, ref in refs:
            node = ref()
            assert node is None or node.name == name
        del node
        pairs = []
        for depth, node in root.walk():
            pairs.append((node.name, weakref.ref(node)))
            for name, ref in pairs:
                held = ref()
                assert held is None or held.name == name
            del held
    assert [child.name for child in root] == names


def test_an_object_of_a_python_subclass_comes_back_as_itself():
    class Tagged(genattr.Int):
        pass

    root = genattr.Cont("root")
    for index in range(10):
        root.append(genattr.Int("plain%d" % index, index))
    tagged = Tagged("tagged", 5)
    tagged.note = "mine"
    root.append(tagged)
    root.append(genattr.Int("after", 6))
    seen = [child for child in root if child.name == "tagged"]
    assert seen == [tagged] and seen[0] is tagged and seen[0].note == "mine"
    for depth, node in root.walk():
        if node.name == "tagged":
            assert node is tagged and type(node) is Tagged
    del seen, node
    for _ in root:
        pass
    # still itself after loops that repurpose the objects they made
    assert root["tagged"] is tagged and tagged.refcount == 2
    del tagged
    gc.collect()
    again = root["tagged"]
    assert type(again) is genattr.Int and again.value == 5


def test_walk_pairs_kept_or_unpacked():
    root = random_tree(11, 150)
    pairs = list(root.walk())
    assert len({id(pair) for pair in pairs}) == len(pairs)
    unpacked = [(depth, node) for depth, node in root.walk()]
    assert unpacked == pairs
    assert all(a[1] is b[1] for a, b in zip(unpacked, pairs))
    one_by_one = []
    for pair in root.walk():
        one_by_one.append(pair)
    assert one_by_one == pairs
    depths = []
    for pair in root.walk():
        depths.append(pair[0])  # the pair itself let go at the next step
    assert depths == [depth for depth, _ in pairs]
    deep = genattr.Cont("top")
    node = deep
    for _ in range(200):  # depths beyond those kept as objects
        child = genattr.Cont("level")
        node.append(child)
        node = child
    assert [depth for depth, _ in deep.walk()] == list(range(1, 201))


def test_a_cycle_through_an_iterator_is_collected():
    class Holder(genattr.Cont):
        pass

    root = genattr.Cont("root")
    for make in (iter, lambda node: node.walk()):
        holder = Holder("holder")
        root.append(holder)
        root.append(genattr.Cont("next"))
        iterator = make(root)
        first = next(iterator)
        assert (first[1] if isinstance(first, tuple) else first) is holder
        holder.iterator = iterator  # holder -> iterator -> what it keeps -> holder
        watched = weakref.ref(holder)
        del holder, iterator, first
        gc.collect()
        assert watched() is None
        assert type(root["holder"]) is genattr.Cont  # the node lives on in the tree
        root.clear()


def test_the_table_of_objects_shrinks_after_a_full_collection():
    root = wide(200_000)
    before = heap_in_use()
    objects = list(root)  # 200,000 objects at once: the table grows to match
    assert len(objects) == 200_000
    del objects
    gc.collect()
    grown = heap_in_use() - before
    assert grown < 1_000_000, "heap grew by %d bytes" % grown


def test_loops_that_edit_keep_and_drop_at_random():
    rng = random.Random(2024)
    pool = [kind(index) for index, kind in enumerate(KINDS * 6)]
    leaves = [node for node in pool if not isinstance(node, genattr.Cont)]
    root = genattr.Cont("root")
    for node in pool:
        root.append(node)
    del node
    for _ in range(80):
        walk = rng.randrange(2) == 0
        snapshot = [(pair[0], pair[1].name) for pair in root.walk()] if walk else [
            (1, node.name) for node in root]
        kept, refs, seen = [], [], []
        item = child = None
        for item in (root.walk() if walk else root):
            depth, child = item if walk else (1, item)
            seen.append((depth, child.name))
            choice = rng.randrange(10)
            if choice == 0:
                kept.append((child, child.name))
            elif choice == 1:
                refs.append((child.name, weakref.ref(child)))
            elif choice == 2 and len(root):
                del root[rng.randrange(len(root))]  # the loop shows the tree as it began
            elif choice == 3:
                root.append(rng.choice(pool))
            elif choice == 4 and isinstance(child, genattr.Cont):
                child.append(rng.choice(leaves))
            elif choice == 5 and isinstance(child, genattr.Cont):
                child.clear()
            for name, ref in refs:
                held = ref()
                assert held is None or held.name == name
                del held
            if rng.randrange(8) == 0:
                break
        assert seen == snapshot[:len(seen)]
        assert all(node.name == name for node, name in kept)
        item = child = kept = refs = None
    gc.collect()
    # every count given back: one per object (the pool's) and one per link
    root.clear()
    links = {id(node): 0 for node in pool}
    for node in pool:
        for child in node:
            links[id(child)] += 1
    assert [node.refcount for node in pool] == [1 + links[id(node)] for node in pool]


def test_the_object_a_loop_fills_anew_is_the_one_every_other_way_finds():
    root = mixed(300, seed=13)
    names = [child.name for child in root]
    for index, child in enumerate(root):
        assert root[index] is child and root[child.name] is child
        assert root.find(child.name, recursive=False) is child
        if index % 50 == 0:
            assert list(root)[index] is child
            assert root.find_all(child.name, recursive=False) == [child]
            assert [inner for inner in root if inner.name == child.name] == [child]
            assert [node for _, node in root.walk() if node.name == child.name] == [child]
    assert root[-1] is child and child.name == names[-1]
    for depth, node in root.walk():
        assert root[node.name] is node and depth == 1
    assert root[-1] is node
    del child, node
    assert [child.refcount for child in root] == [2] * len(root)


def test_objects_kept_from_a_loop_stay_found_once_it_moves_on():
    root = mixed(200, seed=17)
    kept = {}
    for index, child in enumerate(root):
        if index % 3 == 0:
            kept[index] = child
    assert all(root[index] is node for index, node in kept.items())
    nodes = {}
    for index, pair in enumerate(root.walk()):
        if index % 3 == 1:
            nodes[index] = pair[1]  # the pair is filled anew, its node object kept here
    assert all(root[index] is node for index, node in nodes.items())
    ended = []
    for index, child in enumerate(root):
        if index % 3 == 0:
            ended.append(child)
        if index == 30:
            break
    del child
    assert [root[index] for index in range(0, 31, 3)] == ended
    assert all(root[index * 3] is node for index, node in enumerate(ended))


def test_nested_loops_give_one_object_per_node():
    root = mixed(40, seed=19)
    for outer in root:
        same = [inner for inner in root if inner.name == outer.name]
        assert same == [outer] and same[0] is outer
        for depth, node in root.walk():
            assert (node is outer) == (node.name == outer.name)
    del outer, same, node
    assert [child.refcount for child in root] == [2] * len(root)


def test_many_loops_at_once_keep_one_object_per_node():
    # more loops than may each fill their objects anew without the table
    root = mixed(60, seed=23)
    iterators = [iter(root) for _ in range(24)] + [root.walk() for _ in range(24)]
    current = []
    for step, iterator in enumerate(iterators):
        for _ in range(3 + step % 5):
            next(iterator)  # dropped: the next step fills it anew
        item = next(iterator)
        current.append(item[1] if isinstance(item, tuple) else item)
    assert all(root[node.name] is node for node in current)
    assert all(root.find(node.name, recursive=False) is node for node in current)
    for iterator in iterators[::2]:
        for _ in iterator:
            pass
    assert all(list(root)[root.index(node)] is node for node in current)
    del iterators, iterator, item
    gc.collect()
    assert all(root[node.name] is node for node in current)
    del current
    assert [child.refcount for child in root] == [2] * len(root)


def test_objects_of_list_and_find_all_outlive_their_parent():
    root = genattr.Cont("root")
    for index in range(5000):
        root.append(genattr.Int("n%d" % index, index))
    listed = list(root)
    found = root.find_all(recursive=False)
    walked = [node for _, node in root.walk()]
    assert all(a is b and b is c for a, b, c in zip(listed, found, walked))
    del root, found, walked
    gc.collect()
    assert [node.value for node in listed] == list(range(5000))
    assert all(node.refcount == 1 and node.initial_parent is None for node in listed)


def test_a_loop_that_keeps_a_few_objects_does_not_grow_the_table_for_all():
    root = wide(200_000)
    before = heap_in_use()
    older = newer = None
    for child in root:  # the last three objects held at each step
        older, newer = newer, child
    grown = heap_in_use() - before
    assert older is root[-2] and newer is root[-1]
    assert grown < 1_000_000, "heap grew by %d bytes" % grown


def _preorder(node, depth=0, out=None):
    """(depth, name) of every node below `node` in pre-order, found by index."""
    out = [] if out is None else out
    for index in range(len(node)):
        child = node[index]
        out.append((depth + 1, child.name))
        _preorder(child, depth + 1, out)
    return out


def test_loops_over_trees_no_object_holds_survive_every_unlinking_edit():
    # Every node the loop has still to give out outlives what the loop body
    # unlinks or drops, the root included, in trees whose nodes only their
    # one link holds.
    rng = random.Random(4711)
    for round_ in range(120):
        root = random_tree(round_, 70)
        walk = rng.randrange(2) == 0
        expected = _preorder(root) if walk else [(1, root[i].name) for i in range(len(root))]
        gc.collect()
        path = [root]  # objects from the root down to the node given out last
        seen = []
        for item in (root.walk() if walk else root):
            depth, node = item if walk else (1, item)
            seen.append((depth, node.name))
            del path[depth:]
            path.append(node)
            holders = [held for held in path[:depth] if held is not None]
            choice = rng.randrange(9)
            if choice == 0 and path[depth - 1] is not None:
                try:
                    path[depth - 1].remove(node)
                except ValueError:
                    pass  # unlinked already, by an edit of an earlier step
            elif choice == 1 and holders:
                rng.choice(holders).clear()
            elif choice == 2 and holders:
                held = rng.choice(holders)
                if len(held):
                    held.pop(rng.randrange(len(held)))
            elif choice == 3 and holders:
                held = rng.choice(holders)
                del held[: rng.randrange(len(held) + 1)]
            elif choice == 4:
                root = path[0] = None  # the loop alone holds the tree now
                gc.collect()
            del node, item
            if rng.randrange(40) == 0:
                break
        assert seen == expected[: len(seen)]
        root = path = None
        gc.collect()


def _walk_model(node, depth=0, path=()):
    """walk() by index: every link in pre-order, never below a node on the path."""
    out = []
    path = path + (node,)
    for index in range(len(node)):
        child = node[index]
        out.append((depth + 1, child.name))
        if not any(child is on_path for on_path in path):
            out.extend(_walk_model(child, depth + 1, path))
    return out


def test_walk_over_shared_nodes_and_loops_whatever_objects_are_kept():
    # A node linked twice (or into its own subtree) comes out as the
    # library's walk gives it, whether or not the program keeps objects of
    # some nodes (which counts them as a second link would).
    rng = random.Random(99)
    for round_ in range(150):
        root = random_tree(round_, 40)
        nodes = [node for _, node in root.walk()]
        for _ in range(rng.randrange(3)):
            parent = rng.choice([node for node in nodes if isinstance(node, genattr.Cont)] + [root])
            parent.append(rng.choice(nodes))  # shared, or a loop when it is above
        kept = rng.sample(nodes, rng.randrange(len(nodes) // 4 + 1))
        parent = None
        del nodes
        gc.collect()
        expected = _walk_model(root)
        assert [(depth, node.name) for depth, node in root.walk()] == expected
        del kept
        gc.collect()
        assert [(depth, node.name) for depth, node in root.walk()] == expected


class _Finalizer:
    """Garbage in a cycle whose end runs `edit`: the collector ends it at an
    allocation of its choosing, a loop's making of an object included."""

    def __init__(self, edit):
        self.edit = edit
        self.cycle = self

    def __del__(self):
        self.edit()


def _random_edit(rng, nodes, containers):
    """A closure making one random edit of the links among `nodes`."""
    parent = rng.choice(containers)
    other = rng.choice(nodes)
    choice = rng.randrange(7)
    if choice == 0:
        return lambda: parent.append(other)  # may link a node below itself
    if choice == 1:
        return lambda: parent.insert(parent[0] if len(parent) else None, other)
    if choice == 2:
        return lambda: parent.extend([other, rng.choice(nodes)])
    if choice == 3:
        return lambda: len(parent) and parent.pop(rng.randrange(len(parent)))
    if choice == 4:
        return lambda: parent.clear() if rng.randrange(4) == 0 else parent.remove(
            parent[-1]) if len(parent) else None
    if choice == 5:
        return lambda: parent.__delitem__(slice(0, rng.randrange(len(parent) + 1), 2))
    return lambda: nodes.append(genattr.Cont.reference("r", parent))


def test_loops_give_the_tree_as_it_began_whatever_edits_it_meanwhile():
    # Loops run side by side over a tree and references into it, a step at a
    # time, while edits come from the program and from finalizers the
    # collector runs in the middle of a loop's step.
    rng = random.Random(5150)
    threshold = gc.get_threshold()
    gc.set_threshold(3)
    try:
        for round_ in range(40):
            root = random_tree(round_, 30)
            nodes = [root] + [node for _, node in root.walk()]
            containers = [node for node in nodes if isinstance(node, genattr.Cont)]
            for _ in range(rng.randrange(3)):
                target = rng.choice(containers)
                rng.choice(containers).append(genattr.Cont.reference("r", target))
            nodes = [root] + [node for _, node in root.walk()]
            containers = [node for node in nodes if isinstance(node, genattr.Cont)]
            loops = []
            for _ in range(300):
                choice = rng.randrange(10)
                if choice == 0 and len(loops) < 6:
                    node = rng.choice(nodes)
                    walk = rng.randrange(2) == 0
                    gc.disable()  # no finalizer edits the tree the model reads
                    expected = _walk_model(node) if walk else [
                        (1, node[index].name) for index in range(len(node))]
                    loops.append((iter(node.walk() if walk else node), expected, [], walk))
                    gc.enable()
                elif choice <= 5 and loops:
                    loop = rng.choice(loops)
                    item = next(loop[0], None)
                    if item is None:
                        assert loop[2] == loop[1]
                        loops.remove(loop)
                    else:
                        depth, node = item if loop[3] else (1, item)
                        loop[2].append((depth, node.name))
                elif choice == 6 and loops:
                    loop = loops.pop(rng.randrange(len(loops)))  # dropped half way
                    assert loop[2] == loop[1][: len(loop[2])]
                elif choice == 7:
                    _random_edit(rng, nodes, containers)()
                elif choice == 8:
                    _Finalizer(_random_edit(rng, nodes, containers))
                node = item = loop = None
            for iterator, expected, seen, walk in loops:
                rest = [item if walk else (1, item) for item in iterator]
                assert seen + [(depth, node.name) for depth, node in rest] == expected
            loops = None
            gc.collect()
    finally:
        gc.set_threshold(*threshold)


def test_a_loop_gives_what_references_saw_when_it_began_whatever_ends_meanwhile():
    # A reference made from a reference sees the links put in through the
    # first; when that one ends (its last object let go during the loop), the
    # chain of the second is rerouted without any edit made from Python.
    rng = random.Random(8)
    for round_ in range(60):
        root = genattr.Cont("root")
        owners = [genattr.Cont("o%d" % index) for index in range(3)]
        for owner in owners:
            root.append(owner)
            owner.extend(genattr.Int("v", value) for value in range(3))
        firsts = []
        for index in range(4):
            first = genattr.Cont.reference("first", rng.choice(owners))
            first.insert(first[0], genattr.Int("own", index))  # a link of its own
            root.append(genattr.Cont.reference("second", first))
            firsts.append(first)
        walk = rng.randrange(2) == 0
        start = rng.choice([root] + firsts)
        expected = _walk_model(start) if walk else [(1, node.name) for node in list(start)]
        loop = start.walk() if walk else iter(start)
        start = None
        gc.collect()
        seen = []
        for step, item in enumerate(loop):
            depth, node = item if walk else (1, item)
            seen.append((depth, node.name))
            if firsts and rng.randrange(3) == 0:
                del firsts[rng.randrange(len(firsts))]
            if step == 5:
                del owners[:]
            node = item = None
        assert seen == expected
        firsts = owners = loop = None
        gc.collect()


def test_a_deep_walk_cuts_a_loop_whatever_objects_are_kept():
    # Past the first levels, whether a node is on the path is looked up in a
    # set; kept objects make the walk look for every node.
    levels = [genattr.Cont("l0")]
    for index in range(1, 3000):
        levels.append(genattr.Cont("l%d" % index))
        levels[-2].append(levels[-1])
    levels[-1].append(levels[1500])  # back up the chain
    expected = [(depth, "l%d" % depth) for depth in range(1, 3000)] + [(3000, "l1500")]
    assert [(depth, node.name) for depth, node in levels[0].walk()] == expected
    root = levels[0]
    del levels
    gc.collect()
    assert [(depth, node.name) for depth, node in root.walk()] == expected
