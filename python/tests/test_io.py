"""Documents in and out: tostring, file objects, time stamps, the types parse()
takes, errors as OSError, pickling, paths as the command reads them, typed output
that depends on the tree alone, and trees on several threads at once."""

import array
import errno
import io
import multiprocessing
import os
import pathlib
import pickle
import subprocess
import sys
import threading
import xml.etree.ElementTree as ET

import pytest

import genattr
from trees import describe, random_tree

FORMATS = ["text", "xml", "typed", "html"]


def model():
    """The README's model tree."""
    root = genattr.Cont("Model")
    root.id = "M1"
    root.append(genattr.String("Material", "Steel", "surface material"))
    part = genattr.Cont("Part")
    part.id = "P7"
    part.append(genattr.Double("Mass", 12.5))
    count = genattr.Int("Count", 3)
    part.append(count)
    root.append(part)
    root.append(count)
    root.append(genattr.Cont.reference("PartRef", part))
    color = genattr.String("Color", "red & blue")
    color.append(genattr.Int("Alpha", 255))
    root.append(color)
    return root


# --- tostring, write and time stamps


@pytest.mark.parametrize("format", FORMATS)
def test_tostring_is_what_write_writes(tmp_path, format):
    root = model()
    path = tmp_path / "model"
    root.write(path, format, timestamp=False)
    assert genattr.tostring(root, format, timestamp=False) == path.read_bytes()
    out = io.BytesIO()
    root.write(out, format=format, timestamp=False)
    assert out.getvalue() == path.read_bytes()


@pytest.mark.parametrize("format", FORMATS)
def test_without_timestamp_two_writes_are_the_same_bytes(tmp_path, format):
    first, second = tmp_path / "1", tmp_path / "2"
    model().write(first, format, timestamp=False)
    model().write(second, format, timestamp=False)
    assert first.read_bytes() == second.read_bytes()
    assert b"DateAndTime" not in first.read_bytes()
    assert b"data.written" not in first.read_bytes()


def test_timestamp_is_there_by_default_where_the_format_has_one():
    root = model()
    assert b"<Model><DateAndTime>" in genattr.tostring(root, "xml")
    assert b"<DateAndTime>" in genattr.tostring(root, "typed")
    assert b'"written":"' in genattr.tostring(root, "html")
    assert genattr.tostring(root) == genattr.tostring(root, "text", timestamp=False)
    # Only the stamp goes: its element and its line end.
    stamped = genattr.tostring(root, "xml").decode()
    start = stamped.index("<DateAndTime>")
    stop = stamped.index("</DateAndTime>\n") + len("</DateAndTime>\n")
    assert genattr.tostring(root, "xml", timestamp=False).decode() == stamped[:start] + stamped[stop:]


def test_xml_documents_read_by_elementtree_and_lxml_as_the_tree():
    root = model()
    for stamp in (True, False):
        element = ET.fromstring(genattr.tostring(root, "xml", timestamp=stamp))
        children = [e for e in element if e.tag != "DateAndTime"]
        assert [e.tag for e in children] == [n.name for n in root]
        assert element.find("Part/Mass").text == "12.5000"
        assert element.find("Color").get("value") == "red & blue"
        assert (element.find("DateAndTime") is not None) == stamp
    lxml = pytest.importorskip("lxml.etree")
    typed = lxml.fromstring(genattr.tostring(root, "typed", timestamp=False))
    ga = "{urn:genattr:typed}"
    assert typed.get(ga + "type") == "Cont" and typed.get(ga + "id") == "M1"
    assert [e.get(ga + "link") for e in typed.iter("Count")][:2] == [None, "2"]


def test_tostring_and_write_refuse_what_they_cannot_write(tmp_path):
    root = model()
    with pytest.raises(ValueError):
        genattr.tostring(root, "json")
    with pytest.raises(TypeError):
        genattr.tostring(None)
    with pytest.raises(TypeError):
        root.write(io.StringIO())  # a text file
    with pytest.raises(TypeError):
        root.write(3)
    with pytest.raises(TypeError):
        root.write(tmp_path / "x", "xml", False)  # timestamp is a keyword


# --- file objects


class Pieces:
    """A raw file that takes at most `most` bytes per write(), and counts calls."""

    def __init__(self, most):
        self.most, self.data, self.calls = most, bytearray(), 0

    def write(self, data):
        self.calls += 1
        taken = bytes(data[: self.most])
        self.data += taken
        return len(taken)


def test_write_to_file_objects_of_every_kind(tmp_path):
    root = random_tree(1, size=15000)
    expected = genattr.tostring(root, "typed", timestamp=False)
    assert len(expected) > 1 << 20  # more than one piece
    with open(tmp_path / "buffered", "wb") as file:
        root.write(file, "typed", timestamp=False)
    with open(tmp_path / "raw", "wb", buffering=0) as file:
        root.write(file, "typed", timestamp=False)
    for name in ("buffered", "raw"):
        assert (tmp_path / name).read_bytes() == expected
    short = Pieces(1000)
    root.write(short, "typed", timestamp=False)
    assert bytes(short.data) == expected and short.calls >= len(expected) // 1000

    class Collect:
        def __init__(self):
            self.parts = []

        def write(self, data):
            assert isinstance(data, bytes) and len(data) <= 1 << 20
            self.parts.append(data)  # returns None: taken as all written

    collected = Collect()
    root.write(collected, "typed", timestamp=False)
    assert b"".join(collected.parts) == expected


def test_a_failing_file_object_raises_its_own_error():
    class Full:
        calls = 0

        def write(self, data):
            Full.calls += 1
            raise OSError(errno.ENOSPC, "no space")

    with pytest.raises(OSError) as caught:
        random_tree(2, size=15000).write(Full(), "xml")
    assert caught.value.errno == errno.ENOSPC and Full.calls == 1

    class Nothing:
        def write(self, data):
            return 0

    with pytest.raises(ValueError):
        model().write(Nothing())


def test_read_from_file_objects(tmp_path):
    root = model()
    data = genattr.tostring(root, "typed")
    assert describe(genattr.read(io.BytesIO(data))) == describe(root)
    path = tmp_path / "model.xml"
    path.write_bytes(data)
    with open(path, "rb") as file:
        assert describe(genattr.read(file)) == describe(root)
    with open(path, "r", encoding="utf-8") as file:  # a str comes back as characters
        assert describe(genattr.read(file)) == describe(root)
    with open(path, "rb") as file:
        assert describe(genattr.read(file, attributes=False)) == describe(root)
    with pytest.raises(TypeError):
        genattr.read(3)

    class Broken:
        def read(self):
            raise OSError(errno.EIO, "broken")

    with pytest.raises(OSError) as caught:
        genattr.read(Broken())
    assert caught.value.errno == errno.EIO


# --- parse() and its types


DOCUMENT = "<a><b>\u00e9\u65e5</b><c x='1'>2</c></a>"


@pytest.mark.parametrize("make", [
    lambda d: d,
    lambda d: d.encode(),
    lambda d: bytearray(d.encode()),
    lambda d: memoryview(d.encode()),
    lambda d: memoryview(b"--" + d.encode() + b"--")[2:-2],
    lambda d: memoryview(bytes(c for b in d.encode() for c in (b, 0)))[::2],  # strided
    lambda d: array.array("B", d.encode()),
])
def test_parse_takes_every_kind_of_bytes_and_str(make):
    root = genattr.parse(make(DOCUMENT))
    assert root["b"].value == "\u00e9\u65e5" and root["c/@x"].value == "1"


def test_parse_copies_what_may_change():
    data = bytearray(b"<a>1</a>")
    root = genattr.parse(data)
    data[3:4] = b"2"
    assert root.value == "1"


@pytest.mark.parametrize("declared", ["latin-1", "UTF-16", "windows-1252", "utf-8", "UTF8"])
def test_a_str_is_its_characters_whatever_its_declaration_says(declared):
    text = "<?xml version='1.0' encoding='%s'?><a>caf\u00e9 \u20ac</a>" % declared
    assert genattr.parse(text).value == ET.fromstring(text).text == "caf\u00e9 \u20ac"
    # Bytes are read in the encoding declared.
    if declared == "windows-1252":
        assert genattr.parse(text.encode("cp1252")).value == "caf\u00e9 \u20ac"


def test_parse_refuses_what_is_no_document():
    with pytest.raises(genattr.ReadError) as caught:
        genattr.parse(b"")
    assert caught.value.status == 2 and not isinstance(caught.value, OSError)
    with pytest.raises(TypeError):
        genattr.parse(3)
    with pytest.raises(TypeError):
        genattr.parse(None)
    with pytest.raises(UnicodeEncodeError):
        genattr.parse("<a>\udcff</a>")


# --- errors as OSError


def test_files_that_cannot_be_read_are_oserrors(tmp_path):
    missing = tmp_path / "missing.xml"
    with pytest.raises(FileNotFoundError) as caught:
        genattr.read(missing)
    error = caught.value
    assert isinstance(error, genattr.ReadError) and isinstance(error, genattr.FileReadError)
    assert (error.errno, error.filename, error.status) == (errno.ENOENT, missing, 1)
    assert error.strerror == os.strerror(errno.ENOENT) and str(missing) in str(error)
    with pytest.raises(IsADirectoryError) as caught:
        genattr.read(str(tmp_path))
    assert caught.value.errno == errno.EISDIR and caught.value.filename == str(tmp_path)
    with pytest.raises(NotADirectoryError):
        genattr.read(__file__ + "/inside.xml")
    if os.geteuid() != 0:  # root reads anything
        locked = tmp_path / "locked.xml"
        locked.write_bytes(b"<a/>")
        locked.chmod(0)
        with pytest.raises(PermissionError):
            genattr.read(locked)
    # The classes pickle, as a pool's worker sends its errors.
    back = pickle.loads(pickle.dumps(error))
    assert type(back) is type(error) and (back.errno, back.status) == (errno.ENOENT, 1)


# Reads the file argv[1] and prints the class of the error and its errno.
READ_AND_SAY = """
import sys, genattr
try:
    genattr.read(sys.argv[1])
except OSError as error:
    print(isinstance(error, PermissionError), isinstance(error, genattr.ReadError), error.errno)
"""


@pytest.mark.skipif(os.geteuid() != 0, reason="the test above reads a locked file itself")
def test_a_file_the_reader_may_not_open_is_a_permission_error(tmp_path):
    # Root reads anything: a user without rights reads in its place.
    locked = tmp_path / "locked.xml"
    locked.write_bytes(b"<a/>")
    locked.chmod(0)
    try:
        done = subprocess.run([sys.executable, "-c", READ_AND_SAY, str(locked)], user="nobody",
                              capture_output=True, text=True, env=os.environ, check=False)
    except (KeyError, OSError) as error:
        pytest.skip("no user nobody to read as: %s" % error)
    if "ModuleNotFoundError" in done.stderr or "ImportError" in done.stderr:
        pytest.skip("the user nobody cannot load the module: " + done.stderr)
    assert done.stdout.split() == ["True", "True", str(errno.EACCES)], done.stderr


def test_files_that_cannot_be_written_are_oserrors(tmp_path):
    target = tmp_path / "no" / "such" / "dir.txt"
    with pytest.raises(FileNotFoundError) as caught:
        model().write(target)
    assert (caught.value.errno, caught.value.filename) == (errno.ENOENT, target)
    if os.path.exists("/dev/full"):
        with pytest.raises(OSError) as caught:
            random_tree(3, size=15000).write("/dev/full", "xml")
        assert caught.value.errno == errno.ENOSPC


# --- pickle


def test_pickle_keeps_values_shared_nodes_and_references():
    root = model()
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        back = pickle.loads(pickle.dumps(root, protocol))
        assert describe(back) == describe(root)
        assert back["Part/Count"] is back["Count"] and back["Count"].refcount == 3
        assert back["PartRef"].is_reference
        back["Part"].append(genattr.Int("added", 1))
        assert back["PartRef/added"].value == 1
    leaf = pickle.loads(pickle.dumps(genattr.UnicodeString("w", "\U0001F600")))
    assert type(leaf) is genattr.UnicodeString and leaf.value == "\U0001F600"
    assert genattr.tostring(pickle.loads(pickle.dumps(root)), "typed", timestamp=False) == \
        genattr.tostring(root, "typed", timestamp=False)


def _grown(node):
    node.append(genattr.String("pid", str(os.getpid())))
    return node


def test_nodes_travel_to_pool_workers_and_back():
    trees = [random_tree(seed, size=50) for seed in range(8)]
    with multiprocessing.get_context("fork").Pool(2) as pool:
        back = pool.map(_grown, trees)
    for tree, grown in zip(trees, back):
        assert describe(grown)[: len(describe(tree))] == describe(tree)
        assert grown["pid"].value != str(os.getpid())


# --- paths


def test_paths_name_the_kth_child_of_a_name():
    root = genattr.Cont("root")
    parts = [genattr.Cont("Part") for _ in range(3)]
    for index, part in enumerate(parts):
        part.append(genattr.Int("Mass", index))
        root.append(part)
    odd = genattr.Int("Part[2]", 99)  # a name that looks like an index
    root.append(odd)
    assert root["Part/Mass"].value == 0
    assert root["Part[1]/Mass"].value == 0
    assert root["Part[3]/Mass"].value == 2
    assert root["Part[2]"] is parts[1]
    assert root["Part[2][1]"] is odd
    for missing in ("Part[4]", "Part[0]", "Part[3]/Mass[2]", "Nope", "Part[x]/Mass"):
        assert missing not in root
        with pytest.raises(KeyError):
            root[missing]
    assert "Part[3]/Mass" in root


COMMAND = os.environ.get("GENATTR_COMMAND")


@pytest.mark.skipif(COMMAND is None, reason="the genattr command is not built")
def test_every_path_the_command_prints_leads_to_its_node(tmp_path):
    root = random_tree(7, size=200)
    path = tmp_path / "tree.xml"
    root.write(path, "typed")
    found = subprocess.run([COMMAND, "find", str(path)], capture_output=True, check=True)
    paths = found.stdout.decode("utf-8", "surrogateescape").splitlines()
    nodes = [node for _, node in genattr.read(path).walk()]
    assert len(paths) == len(nodes)
    back = genattr.read(path)
    for text, node in zip(paths, nodes):
        assert back[text].name == node.name and describe(back[text]) == describe(node)


# --- typed output depends on the tree alone


def test_held_objects_change_no_byte_of_the_typed_document():
    root = random_tree(11, size=300)
    before = genattr.tostring(root, "typed", timestamp=False)
    held = [node for _, node in root.walk()]  # a count per object
    assert genattr.tostring(root, "typed", timestamp=False) == before
    assert before.count(b"ga:node") == before.count(b"ga:link") == 0  # no node linked twice
    # A tree read back (Ptr values null) writes its own document again.
    again = genattr.tostring(genattr.parse(before), "typed", timestamp=False)
    copy = genattr.parse(again)
    held += [node for _, node in copy.walk()]
    assert genattr.tostring(copy, "typed", timestamp=False) == again
    del held
    child = genattr.Int("child", 1)
    root.append(child)
    assert b"ga:node" not in genattr.tostring(root, "typed", timestamp=False)
    root.append(child)
    document = genattr.tostring(root, "typed", timestamp=False)
    assert document.count(b"ga:node") == document.count(b"ga:link") == 1


# --- threads


def _work(seed, results):
    root = random_tree(seed, size=400)
    data = genattr.tostring(root, "typed", timestamp=False)
    for _ in range(20):
        back = genattr.parse(data)
        found = back.find_all(name="same")
        first = back.find(value=3)
        results[seed] = (genattr.tostring(back, "typed", timestamp=False), len(found),
                         first is None)


def test_trees_on_several_threads_at_once_come_out_as_on_one():
    alone, together = {}, {}
    for seed in range(4):
        _work(seed, alone)
    threads = [threading.Thread(target=_work, args=(seed, together)) for seed in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert together == alone


def test_version_is_the_projects():
    assert genattr.__version__.count(".") == 2
    cmake = pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt"
    if cmake.exists():
        assert "VERSION %s " % genattr.__version__ in cmake.read_text()
