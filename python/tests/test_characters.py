"""The same characters out as in: text read from a document, shown by the
command or written by it and by the module in any format, is the characters
of the source, under the "C" locale, C.UTF-8 and no locale at all."""
import html
import json
import os
import re
import subprocess
import xml.etree.ElementTree as ET

import pytest

import genattr

# Names, values and descriptions in several scripts, with one character beyond
# the Basic Multilingual Plane and XML's own specials.
NAME = "Größe_影像"
VALUE = "GIF 影像 — Ελληνικά, кириллица, 𝄞 & <x>"
DESC = "beschrieben: é ü ß 图像"
SOURCE = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    f'<root desc="{DESC}"><{NAME} desc="{DESC}">{html.escape(VALUE, quote=False)}</{NAME}>'
    '<plain>x</plain></root>\n'
)
LOCALES = ["C", "C.UTF-8", None]
COMMAND = os.environ.get("GENATTR_COMMAND")


def environment(locale):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANG"}
    if locale is not None:
        env["LC_ALL"] = locale
    return env


def run(locale, *args):
    done = subprocess.run([COMMAND, *args], env=environment(locale), capture_output=True,
                          check=False)
    assert done.returncode == 0, done.stderr.decode(errors="replace")
    return done.stdout.decode("utf-8")  # strict: the output is UTF-8


def check_listing(text):
    assert f"Name: {NAME}" in text
    assert f"Value: {VALUE}" in text
    assert f"(Description: {DESC})" in text


def check_plain_xml(data):
    root = ET.fromstring(data)
    assert root.get("desc") == DESC
    # Element names keep their rules: ASCII letters, digits, "_", "-", "." only.
    element = root[1]  # after the time stamp
    assert re.fullmatch(r"[A-Za-z_][A-Za-z0-9_.-]*", element.tag)
    assert element.get("desc") == DESC
    assert element.text == VALUE


def check_typed_xml(data):
    root = ET.fromstring(data)
    element = root[1]  # after the time stamp
    assert element.get("{urn:genattr:typed}name") == NAME
    assert element.get("desc") == DESC
    assert element.text == VALUE


def check_html(data):
    text = data.decode("utf-8")
    for expected in (NAME, DESC):
        assert json.dumps(expected, ensure_ascii=False)[1:-1] in text
    assert "GIF 影像 — Ελληνικά, кириллица, 𝄞" in text


CHECKS = {"text": lambda d: check_listing(d.decode("utf-8")), "xml": check_plain_xml,
          "typed": check_typed_xml, "html": check_html}


@pytest.fixture()
def source(tmp_path):
    path = tmp_path / "source.xml"
    path.write_bytes(SOURCE.encode("utf-8"))
    return path


@pytest.mark.skipif(COMMAND is None, reason="the genattr command is not built")
@pytest.mark.parametrize("locale", LOCALES)
def test_command_keeps_the_characters(source, tmp_path, locale):
    check_listing(run(locale, "show", str(source)))
    assert run(locale, "get", str(source), NAME) == VALUE + "\n"
    assert run(locale, "find", str(source), "--value", VALUE) == NAME + "\n"
    for fmt, check in CHECKS.items():
        out = tmp_path / f"out.{fmt}"
        run(locale, "convert", "--to", fmt, str(source), str(out))
        check(out.read_bytes())
    # The typed document reads back to the same texts.
    typed = tmp_path / "out.typed"
    check_listing(run(locale, "show", str(typed)))


@pytest.mark.parametrize("locale", LOCALES)
def test_module_keeps_the_characters(source, tmp_path, locale):
    script = (
        "import sys, genattr\n"
        "root = genattr.read(sys.argv[1])\n"
        "for fmt in ('text', 'xml', 'typed', 'html'):\n"
        "    root.write(sys.argv[2] + '.' + fmt, format=fmt)\n"
        "made = genattr.Cont('root', description=sys.argv[5])\n"
        "made.append(genattr.String(sys.argv[3], sys.argv[4], description=sys.argv[5]))\n"
        "made.write(sys.argv[2] + '.made.typed', format='typed')\n"
    )
    prefix = str(tmp_path / "out")
    env = environment(locale)
    subprocess.run(["python3", "-c", script, str(source), prefix, NAME, VALUE, DESC], env=env,
                   check=True)
    for fmt, check in CHECKS.items():
        with open(f"{prefix}.{fmt}", "rb") as written:
            check(written.read())
    with open(f"{prefix}.made.typed", "rb") as written:
        check_typed_xml(written.read())
    back = genattr.read(f"{prefix}.typed")
    assert back.description == DESC
    assert back[NAME].value == VALUE
