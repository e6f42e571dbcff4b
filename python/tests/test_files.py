"""Files: the C++ writers and reader seen from Python, and their errors."""

import pathlib

import pytest

import genattr
from trees import describe, random_tree


@pytest.mark.parametrize("seed", range(20))
def test_typed_documents_come_back_exactly(tmp_path, seed):
    root = random_tree(seed)
    target = root.find(name="same") or root
    shared = genattr.Cont.reference("ref", target) if target.type == genattr.Type.Cont else None
    if shared is not None:
        root.append(shared)
    path = tmp_path / "tree.xml"
    root.write(path, format="typed")
    back = genattr.read(path)
    assert describe(back) == describe(root)
    if shared is not None:
        assert back["ref"].is_reference
    assert back.refcount == 1


def test_text_listing_is_the_library_format(tmp_path):
    root = genattr.Cont("Model", "a model")
    root.append(genattr.Int("Count", 3))
    root.append(genattr.String("Name", "h\u00e9llo"))
    path = tmp_path / "model.txt"
    root.write(str(path))
    assert path.read_bytes().decode("utf-8").splitlines() == [
        "-" * 49,
        "Name: Model                (Description: a model)  (Type: Cont)",
        "  Name: Count               Value: 3  (Type: Int)",
        "  Name: Name                Value: h\u00e9llo  (Type: String)",
    ]


def test_xml_document_reads_back_by_the_untyped_rules(tmp_path):
    root = genattr.Cont("Model")
    root.append(genattr.String("Name", "<&> \u65e5\u672c"))
    path = tmp_path / "model.xml"
    root.write(path, "xml")
    text = path.read_text("utf-8")
    assert "<Name>&lt;&amp;&gt; \u65e5\u672c</Name>" in text
    back = genattr.read(path)
    assert back.name == "Model" and back["Name"].value == "<&> \u65e5\u672c"


def test_parse_reports_status_line_and_column():
    with pytest.raises(genattr.ReadError) as caught:
        genattr.parse(b"<a>\n  <b></a>")
    error = caught.value
    assert (error.status, error.line, error.column) == (2, 2, 8)
    assert error.message == str(error) and error.message
    assert isinstance(error, Exception)
    with pytest.raises(genattr.ReadError) as caught:
        genattr.parse('<a ga:type="Int">x</a>')
    assert caught.value.status == 3
    assert genattr.parse("<a><b>1</b></a>")["b"].value == "1"
    with pytest.raises(TypeError):
        genattr.parse(3)


def test_files_that_cannot_be_read_or_written(tmp_path):
    with pytest.raises(genattr.ReadError) as caught:
        genattr.read(tmp_path / "missing.xml")
    assert caught.value.status == 1
    with pytest.raises(genattr.ReadError):
        genattr.read(str(tmp_path).encode())  # a directory, named by bytes
    node = genattr.Cont("c")
    with pytest.raises(OSError):
        node.write(tmp_path / "no" / "such" / "dir.txt")
    with pytest.raises(ValueError):
        node.write(tmp_path / "x", format="json")
    with pytest.raises(ValueError):
        node.write("bad\0name")
    assert not any(tmp_path.iterdir())


def test_non_ascii_names_survive_typed_documents(tmp_path):
    root = genattr.Cont("W\u00fcrfel \u65e5", "Beschreibung \u00e4")
    root.append(genattr.UnicodeString("wide", "\U0001F600 \u00e9"))
    path = pathlib.Path(tmp_path, "names.xml")
    root.write(path, "typed")
    assert describe(genattr.read(path)) == describe(root)


def test_html_page_carries_the_tree_as_escaped_data(tmp_path):
    root = genattr.Cont("Model")
    root.append(genattr.String("Note", "</script><b>x</b>"))
    path = pathlib.Path(tmp_path, "model.html")
    root.write(path, format="html")
    page = path.read_text(encoding="utf-8")
    assert page.startswith("<!DOCTYPE html>")
    assert "</script><b>" not in page


SVG = (
    '<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">'
    '<path d="M 0 0 L 9 9" xlink:href="#p"/><text>A <tspan>b</tspan> &amp; c</text></svg>'
)


def test_attributes_and_text_of_untyped_elements_are_children(tmp_path):
    root = genattr.parse(SVG)
    assert [c.name for c in root] == ["@xmlns", "@xmlns:xlink", "path", "text"]
    assert root["path/@d"].value == "M 0 0 L 9 9"
    assert root["path"].type == genattr.Type.String and root["path"].value == ""
    text = root["text"]
    assert [(c.name, c.value) for c in text] == [("#text", "A "), ("tspan", "b"), ("#text", " & c")]
    path = tmp_path / "drawing.svg"
    path.write_text(SVG, encoding="utf-8")
    assert describe(genattr.read(path)) == describe(root)
    assert describe(genattr.read(path, attributes=True)) == describe(root)


def test_attributes_false_reads_elements_alone(tmp_path):
    root = genattr.parse(SVG, attributes=False)
    assert [c.name for c in root] == ["path", "text"]
    assert [c.name for c in root["text"]] == ["tspan"]
    with pytest.raises(KeyError):
        root["path/@d"]
    path = tmp_path / "drawing.svg"
    path.write_bytes(SVG.encode())
    assert describe(genattr.read(path, attributes=False)) == describe(root)
    # A keyword only, so that no later argument can take its place by mistake.
    with pytest.raises(TypeError):
        genattr.parse(SVG, False)


def test_trees_with_attribute_children_come_back_typed(tmp_path):
    root = genattr.parse(SVG)
    path = tmp_path / "drawing.typed.xml"
    root.write(path, format="typed")
    for attributes in (True, False):
        assert describe(genattr.read(path, attributes=attributes)) == describe(root)
