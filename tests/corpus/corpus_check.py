#!/usr/bin/env python3
"""The reader on every XML file of this machine, against two judges nobody here wrote.

Candidates are the regular files below the given folders (default: /usr/share and
/etc) whose name ends in .xml or .svg, and every other regular file of at most the
size cap whose first bytes are an XML declaration. Symbolic links are not followed,
a file reached twice through hard links is read once, files above the cap
(SIZE_CAP, 4 MiB) are counted and skipped, files that cannot be opened are counted
and skipped.

(a) Verdict: libxml2 (xmllint --noout --nonet) says whether each file is
    well-formed; genattr.read() must accept exactly those (status 0), and refuse
    the others as not well-formed (status 2) or for a resource limit (4).
(b) Tree: for every file both accept, the tree the reader built must equal the
    tree that the rules for foreign documents (README, "Reading documents back")
    make of the events of Python's pyexpat, built here on its own.
(c) A table of the outcome; the exit status is 1 when a disagreement is not in the
    allow-list (allowed.txt beside this file), 2 when the check itself cannot run.

Usage: corpus_check.py [--allow FILE] [--jobs N] [--xmllint PROGRAM] [--list] [FOLDER...]
       corpus_check.py --one FILE       (one file, its result as JSON; used after a crash)
"""

import argparse
import codecs
import collections
import concurrent.futures
import fnmatch
import json
import os
import re
import stat
import subprocess
import sys
import tempfile
import time
import xml.parsers.expat as expat

import genattr

DEFAULT_FOLDERS = ("/usr/share", "/etc")
SUFFIXES = (".xml", ".svg")
# Above this size a file is skipped (and counted): the largest XML file of a
# Debian machine with the CI's packages is some 2.4 MB, and a Python model of
# anything much bigger costs more time than it tells.
SIZE_CAP = 4 << 20
XML_WHITE = " \t\n\r"
STAMPS = ("DateAndTime", "CSS_StyleSheet")
TYPED_ATTRIBUTES = ("ga:type", "ga:link")
# Encodings expat reads without help; any other is decoded here with Python's
# codecs and handed to pyexpat as text. (pyexpat's own handler of unknown
# encodings takes Python's codecs for one-byte encodings only: Shift_JIS, EUC-JP,
# GB2312 or Big5 would be refused.)
EXPAT_ENCODINGS = ("utf-8", "utf-16", "utf-16le", "utf-16be", "iso-8859-1", "us-ascii")

# Node of a tree as compared: [name, type name, value, description, children].
NAME, TYPE, VALUE, DESC, KIDS = range(5)


# ---------------------------------------------------------------------------
# Candidates


def looks_like_declaration(head):
    """Whether the first bytes of a file are an XML declaration (UTF-8 with or
    without its byte order mark, or UTF-16 either way round)."""
    for prefix in (b"", b"\xef\xbb\xbf"):
        for space in b" \t\r\n":
            if head.startswith(prefix + b"<?xml" + bytes([space])):
                return True
    for encoding, mark in (("utf-16-le", b"\xff\xfe"), ("utf-16-be", b"\xfe\xff")):
        for prefix in (b"", mark):
            if head.startswith(prefix + "<?xml".encode(encoding)):
                return True
    return False


def candidates(folders):
    """(files as (path, size), counts of what was left out)."""
    files = []
    left = collections.Counter()
    seen = set()

    def unlisted(_error):
        left["folders that cannot be listed"] += 1

    for folder in folders:
        for directory, subdirectories, names in os.walk(folder, onerror=unlisted):
            subdirectories.sort()
            for name in sorted(names):
                path = os.path.join(directory, name)
                try:
                    info = os.lstat(path)
                except OSError:
                    continue
                named = name.lower().endswith(SUFFIXES)
                if stat.S_ISLNK(info.st_mode):
                    left["symbolic links (named .xml or .svg)"] += named
                    continue
                if not stat.S_ISREG(info.st_mode):
                    continue
                if not named and not 6 <= info.st_size <= SIZE_CAP:
                    continue
                try:
                    with open(path, "rb") as file:
                        head = file.read(64)
                except OSError:
                    left["cannot be opened"] += named
                    continue
                if not named and not looks_like_declaration(head):
                    continue
                key = (info.st_dev, info.st_ino)
                if key in seen:
                    left["hard links to a file already read"] += 1
                    continue
                seen.add(key)
                if info.st_size > SIZE_CAP:
                    left["above the size cap (%d MiB)" % (SIZE_CAP >> 20)] += 1
                    continue
                files.append((path, info.st_size))
    return files, left


# ---------------------------------------------------------------------------
# libxml2's verdict


def xmllint_message(stderr):
    """The first error xmllint reported, without its file and line."""
    lines = stderr.decode("utf-8", "replace").splitlines()
    for line in lines:
        found = re.search(r":\d+: (?:\w+ )?error : (.*)$", line)
        if found:
            return found.group(1).strip()
    return next((line.strip() for line in lines if line.strip()), "(no message)")


def xmllint_verdicts(xmllint, paths, jobs):
    """{path: None when well-formed, else libxml2's message}. Files are checked in
    batches; a batch whose exit status is not 0 is halved until the files that fail
    stand alone, so each verdict is an exit status, never a guess from the text."""
    verdicts = {}

    def judge(batch):
        done = subprocess.run([xmllint, "--noout", "--nonet"] + batch,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
        if done.returncode == 0:
            return [(path, None) for path in batch]
        if len(batch) == 1:
            return [(batch[0], xmllint_message(done.stderr))]
        middle = len(batch) // 2
        return judge(batch[:middle]) + judge(batch[middle:])

    size = 64
    batches = [paths[at:at + size] for at in range(0, len(paths), size)]
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for outcome in pool.map(judge, batches):
            verdicts.update(outcome)
    return verdicts


# ---------------------------------------------------------------------------
# The model: the rules for foreign documents over pyexpat's events


class Frame:
    __slots__ = ("name", "attributes", "children", "run", "elements", "closed", "stamps")

    def __init__(self, name, attributes, root):
        self.name = name
        self.attributes = attributes
        self.children = []
        self.run = []  # pieces of the text since the last element boundary
        self.elements = False  # a child element has begun
        self.closed = False  # text no longer counts (the root after a time stamp)
        self.stamps = root  # leading time stamps are still skipped here


class Model:
    """Builds the tree from pyexpat's events, and notes what the document holds."""

    def __init__(self):
        self.stack = []
        self.root = None
        self.skip = 0  # depth inside a skipped time stamp
        self.typed = False
        self.doctype = False
        self.encoding = None
        self.kept_entities = 0
        self.defaulted = False
        self.external = set()

    def parser(self):
        parser = expat.ParserCreate()
        parser.ordered_attributes = True
        parser.buffer_text = True
        parser.buffer_size = 1 << 16
        parser.SetParamEntityParsing(expat.XML_PARAM_ENTITY_PARSING_NEVER)
        parser.StartElementHandler = self.start
        parser.EndElementHandler = self.end
        parser.CharacterDataHandler = self.text
        parser.SkippedEntityHandler = self.skipped
        parser.ExternalEntityRefHandler = self.external_reference
        parser.EntityDeclHandler = self.entity
        parser.AttlistDeclHandler = self.attlist
        parser.StartDoctypeDeclHandler = self.start_doctype
        parser.XmlDeclHandler = self.declaration
        return parser

    def start(self, name, attributes):
        if self.skip:
            self.skip += 1
            return
        pairs = list(zip(attributes[0::2], attributes[1::2]))
        typed = any(attribute in TYPED_ATTRIBUTES for attribute, _ in pairs)
        self.typed = self.typed or typed
        if self.stack:
            parent = self.stack[-1]
            if parent.stamps:
                if name in STAMPS and not typed:
                    # The root's text ends where its time stamp begins: what
                    # comes before it is the root's value, or its first #text
                    # run; what comes after, up to the root's first other
                    # child element, is dropped, as the reader always did.
                    self.skip = 1
                    parent.closed = True
                    return
                parent.stamps = False
            self.end_run(parent)
            parent.elements = True
            parent.closed = False
        self.stack.append(Frame(name, pairs, not self.stack))

    def end(self, _name):
        if self.skip:
            self.skip -= 1
            return
        frame = self.stack.pop()
        desc = None
        value = None
        children = []
        for attribute, text in frame.attributes:
            if attribute == "desc":
                desc = text
                continue
            if attribute == "value":
                value = text
                continue
            children.append(["@" + attribute, "String", text, None, []])
        if frame.elements:
            self.end_run(frame)
            node = [frame.name, "Cont" if value is None else "String", value, desc,
                    children + frame.children]
        else:
            node = [frame.name, "String", "".join(frame.run) if value is None else value, desc,
                    children]
        if self.stack:
            self.stack[-1].children.append(node)
        else:
            self.root = node

    def end_run(self, frame):
        """Closes the run of text before an element boundary in an element with
        child elements: a `#text` child unless it is white space alone."""
        text = "".join(frame.run)
        frame.run = []
        if text.strip(XML_WHITE):
            frame.children.append(["#text", "String", text, None, []])

    def text(self, data):
        if self.skip or not self.stack:
            return
        frame = self.stack[-1]
        if not frame.closed:
            frame.run.append(data)

    def skipped(self, name, parameter):
        if not parameter:
            self.kept_entities += 1
            self.text("&%s;" % name)

    def external_reference(self, context, _base, _system, _public):
        # The context names every entity open at the reference, this one among
        # them; at most one of them is external, as no external one is ever read.
        names = context.split("\f") if context else []
        name = next((n for n in names if n in self.external), names[0] if names else "?")
        self.kept_entities += 1
        self.text("&%s;" % name)
        return 1

    def entity(self, name, parameter, value, _base, _system, _public, _notation):
        if not parameter and value is None:
            self.external.add(name)

    def attlist(self, _element, _attribute, _type, default, _required):
        self.defaulted = self.defaulted or default is not None

    def start_doctype(self, *_):
        self.doctype = True

    def declaration(self, _version, encoding, _standalone):
        self.encoding = encoding


DECLARED = re.compile(rb"<\?xml[ \t\r\n][^>]*?encoding[ \t\r\n]*=[ \t\r\n]*"
                      rb"([\"'])([A-Za-z][A-Za-z0-9._-]*)\1")


def model_of(data):
    """(Model, None) or (Model, why the model could not be made)."""
    model = Model()
    parser = model.parser()
    declared = None
    if not data.startswith((b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff", b"<\0", b"\0<")):
        found = DECLARED.match(data)
        declared = found.group(2).decode("ascii") if found else None
    try:
        if declared is None or declared.lower() in EXPAT_ENCODINGS:
            parser.Parse(data, True)
        else:
            try:
                text = codecs.decode(data, declared)
            except LookupError:
                return model, "Python has no codec for encoding %s" % declared
            except UnicodeDecodeError as error:
                return model, "bytes not in encoding %s: %s" % (declared, error.reason)
            # pyexpat hands text on as UTF-8, whatever the declaration says.
            parser.Parse(text, True)
    except expat.ExpatError as error:
        return model, "pyexpat: %s" % expat.ErrorString(error.code)
    return model, None


# ---------------------------------------------------------------------------
# The reader's tree and the comparison


def reader_tree(root):
    def row(node):
        value = node.value if node.type == genattr.Type.String else None
        return [node.name, node.type.name, value, node.description, []]

    top = row(root)
    path = [top]
    for depth, node in root.walk():
        entry = row(node)
        del path[depth:]
        path[-1][KIDS].append(entry)
        path.append(entry)
    return top


def kind_of(name):
    if name.startswith("@"):
        return "@attribute"
    return "#text" if name == "#text" else "element"


def short(text, limit=60):
    text = repr(text)
    return text if len(text) <= limit else text[:limit - 3] + "..."


def compare(model, reader):
    """{category: (node path, detail)}: the first difference of each kind."""
    found = {}

    def note(category, where, detail):
        found.setdefault(category, ("/".join(where), detail))

    work = [(model, reader, [model[NAME]])]
    while work:
        mine, theirs, where = work.pop()
        if mine[NAME] != theirs[NAME]:
            note("name", where, "model %s, reader %s" % (short(mine[NAME]), short(theirs[NAME])))
        if mine[TYPE] != theirs[TYPE]:
            note("type %s read as %s" % (mine[TYPE], theirs[TYPE]), where,
                 "model value %s" % short(mine[VALUE]))
        elif mine[VALUE] != theirs[VALUE]:
            category = "value"
            if re.search(r"&[^;&\s]+;", mine[VALUE]):
                category = "value (with an entity reference kept as text)"
            if mine[VALUE].strip(XML_WHITE) == (theirs[VALUE] or "").strip(XML_WHITE):
                category = "value (white space)"
            note(category, where,
                 "model %s, reader %s" % (short(mine[VALUE]), short(theirs[VALUE])))
        if mine[DESC] != theirs[DESC]:
            note("description", where,
                 "model %s, reader %s" % (short(mine[DESC]), short(theirs[DESC])))
        ours, others = mine[KIDS], theirs[KIDS]
        if [c[NAME] for c in ours] != [c[NAME] for c in others]:
            missing = collections.Counter(c[NAME] for c in ours)
            missing.subtract(c[NAME] for c in others)
            labels = set()
            for name, count in missing.items():
                if count > 0:
                    labels.add("%s children missing" % kind_of(name))
                elif count < 0:
                    labels.add("%s children extra" % kind_of(name))
            sample = sorted(n for n, c in missing.items() if c != 0)[:4]
            note(", ".join(sorted(labels)) or "children in another order", where,
                 "differ in %s" % ", ".join(sample))
            # Element children still compared when they alone agree.
            ours = [c for c in ours if kind_of(c[NAME]) == "element"]
            others = [c for c in others if kind_of(c[NAME]) == "element"]
            if [c[NAME] for c in ours] != [c[NAME] for c in others]:
                continue
        for a, b in zip(reversed(ours), reversed(others)):
            work.append((a, b, where + [a[NAME]]))
    return found


def examine(path):
    """What the reader and the model make of one file."""
    result = {"path": path, "status": 0, "message": "", "model_error": None, "differences": {}}
    tree = None
    try:
        root = genattr.read(path)
        tree = reader_tree(root)
        del root
    except genattr.ReadError as error:
        result["status"] = error.status
        result["message"] = error.message
    except Exception as error:  # pylint: disable=broad-except
        # Anything but ReadError is a fault of the reader or the module.
        result["status"] = None
        result["message"] = "%s: %s" % (type(error).__name__, error)
    with open(path, "rb") as file:
        data = file.read()
    model, why = model_of(data)
    result["model_error"] = why
    result.update(typed=model.typed, doctype=model.doctype, encoding=model.encoding,
                  kept_entities=model.kept_entities, defaulted=model.defaulted)
    if tree is not None and why is None and not model.typed:
        result["differences"] = compare(model.root, tree)
    return result


# ---------------------------------------------------------------------------
# The model checked on documents whose trees are known


def self_check():
    def node(name, value=None, kids=(), desc=None, kind=None):
        kind = kind or ("Cont" if value is None else "String")
        return [name, kind, value, desc, list(kids)]

    cases = [
        (b"<a/>", node("a", "")),
        (b"<a desc='d' value='v' x:y='1'>t</a>",
         node("a", "v", [node("@x:y", "1")], desc="d")),
        (b"<a xmlns='u'> <b>x</b>  y <!--c--> z<?p q?><![CDATA[<]]>\n<c/>\r\n</a>",
         node("a", None, [node("@xmlns", "u"), node("b", "x"), node("#text", "  y  z<\n"),
                          node("c", "")])),
        (b"<a value='v'><b/>&#32;</a>", node("a", "v", [node("b", "")])),
        (b"<a>&#160;<b/></a>", node("a", None, [node("#text", "\xa0"), node("b", "")])),
        (b"<r>x<DateAndTime>t</DateAndTime>y<CSS_StyleSheet/>z</r>", node("r", "x")),
        (b"<r>x<DateAndTime/>y<b>u</b>v<DateAndTime/></r>",
         node("r", None, [node("#text", "x"), node("b", "u"), node("#text", "v"),
                          node("DateAndTime", "")])),
        (b"<r><b><DateAndTime/></b></r>", node("r", None, [node("b", None, [node("DateAndTime", "")])])),
        (b"<!DOCTYPE r [<!ENTITY i 'a&#38;amp;<b>c</b>'><!ENTITY e SYSTEM 'e.xml'>]><r>&i;&e;</r>",
         node("r", None, [node("#text", "a&"), node("b", "c"), node("#text", "&e;")])),
        (b"<!DOCTYPE r SYSTEM 'r.dtd'><r>&u;</r>", node("r", "&u;")),
        ("<?xml version='1.0' encoding='Shift_JIS'?><r>\u65e5</r>".encode("shift_jis"),
         node("r", "\u65e5")),
        ("<?xml version='1.0' encoding='KOI8-R'?><r a='\u0436'/>".encode("koi8_r"),
         node("r", "", [node("@a", "\u0436")])),
    ]
    for data, expected in cases:
        model, why = model_of(data)
        if why is not None or model.root != expected:
            raise AssertionError("the model of %r is %r (%s), not %r" %
                                 (data, model.root, why, expected))


def check_verdicts(xmllint, jobs):
    """The batches of xmllint give each file its own verdict: a file that fails is
    found among others, and an error libxml2 reports without failing the file (an
    undeclared entity where a DTD that is not read may declare it) is no failure."""
    with tempfile.TemporaryDirectory() as folder:
        texts = [b"<a/>", b"<a><b></a>", b"<!DOCTYPE a SYSTEM 'a.dtd'><a>&u;</a>", b"<a>&u;</a>",
                 b"<a/>"]
        paths = []
        for number, text in enumerate(texts):
            paths.append(os.path.join(folder, "%d.xml" % number))
            with open(paths[-1], "wb") as file:
                file.write(text)
        verdicts = xmllint_verdicts(xmllint, paths, jobs)
        got = [verdicts[path] is None for path in paths]
        if got != [True, False, True, False, True]:
            raise AssertionError("xmllint's verdicts on %r: %r" % (texts, verdicts))


# ---------------------------------------------------------------------------
# The run


def load_allowed(path):
    """[(pattern, what)]: `what` is "verdict" or "tree"."""
    entries = []
    if path is None or not os.path.exists(path):
        return entries
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = line.split()
            if len(fields) != 2 or fields[1] not in ("verdict", "tree"):
                raise SystemExit("%s:%d: want `<path pattern> verdict|tree`" % (path, number))
            entries.append((fields[0], fields[1]))
    return entries


def normalised(message):
    message = re.sub(r"'[^']*'|\"[^\"]*\"", "'…'", message)
    return re.sub(r"\d+", "N", message)


def run_all(files, jobs):
    """{path: result}; a worker that dies takes only its own file down: what is left
    afterwards is read one file per interpreter, and a file that kills its
    interpreter is reported as such."""
    results = {}
    order = sorted(files, key=lambda item: -item[1])
    try:
        with concurrent.futures.ProcessPoolExecutor(jobs) as pool:
            futures = {pool.submit(examine, path): path for path, _ in order}
            for future in concurrent.futures.as_completed(futures):
                results[futures[future]] = future.result()
    except concurrent.futures.process.BrokenProcessPool:
        pass
    for path, _ in order:
        if path in results:
            continue
        done = subprocess.run([sys.executable, os.path.abspath(__file__), "--one", path],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
        if done.returncode == 0:
            results[path] = json.loads(done.stdout)
        else:
            results[path] = {"path": path, "status": None,
                             "message": "the interpreter ended with %d" % done.returncode,
                             "model_error": None, "differences": {}, "typed": False,
                             "doctype": False, "encoding": None, "kept_entities": 0,
                             "defaulted": False}
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folders", nargs="*", default=list(DEFAULT_FOLDERS))
    parser.add_argument("--allow", default=os.path.join(os.path.dirname(__file__), "allowed.txt"))
    parser.add_argument("--jobs", type=int, default=min(2, os.cpu_count() or 1))
    parser.add_argument("--xmllint", default="xmllint")
    parser.add_argument("--list", action="store_true", help="print every disagreement")
    parser.add_argument("--one", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.one:
        json.dump(examine(arguments.one), sys.stdout)
        return 0

    began = time.monotonic()
    self_check()
    try:
        check_verdicts(arguments.xmllint, arguments.jobs)
    except OSError as error:
        print("xmllint cannot be run: %s" % error)
        return 2
    allowed = load_allowed(arguments.allow)
    files, left = candidates(arguments.folders)
    if not files:
        print("no XML files found below %s" % ", ".join(arguments.folders))
        return 2
    listed = time.monotonic()
    paths = [path for path, _ in files]
    verdicts = xmllint_verdicts(arguments.xmllint, paths, arguments.jobs)
    judged = time.monotonic()
    results = run_all(files, arguments.jobs)
    read = time.monotonic()

    outcome = judge(paths, verdicts, results, allowed)
    report(arguments, left, outcome, allowed)
    print("\nTime: %.1f s (listing %.1f s, xmllint %.1f s, reader and model %.1f s), %d jobs" %
          (time.monotonic() - began, listed - began, judged - listed, read - judged,
           arguments.jobs))
    failures = outcome[2]
    print("FAILED: disagreements outside the allow-list" if failures else "PASSED")
    return 1 if failures else 0


def judge(paths, verdicts, results, allowed):
    """(counts, {(section, group): paths}, {category: [(path, detail)]}, allow-list
    entries used) of the run."""
    table = collections.Counter()
    groups = collections.defaultdict(list)
    failures = collections.defaultdict(list)
    used = set()
    failed = set()
    excused = set()

    def disagree(path, what, category, detail):
        for pattern, kind in allowed:
            if kind == what and fnmatch.fnmatchcase(path, pattern):
                used.add((pattern, kind))
                excused.add(path)
                groups[("allowed", category)].append(path)
                return
        failed.add(path)
        failures[category].append((path, detail))

    for path in paths:
        result = results[path]
        lint = verdicts[path]
        status = result["status"]
        table["files read"] += 1
        if lint is not None:
            table["refused by libxml2"] += 1
            groups[("refused by libxml2", normalised(lint))].append(path)
        if status != 0:
            table["refused by the reader"] += 1
            why = "failed" if status is None else "status %d" % status
            groups[("refused by the reader", "%s: %s" % (why, result["message"]))].append(path)
        if result["model_error"] is not None:
            groups[("not modelled", normalised(result["model_error"]))].append(path)
        for flag in ("doctype", "kept_entities", "defaulted"):
            table[flag] += bool(result[flag])
        if status is None:
            disagree(path, "verdict", "the reader failed", result["message"])
            continue
        if (lint is None) != (status == 0):
            if lint is None:
                disagree(path, "verdict", "libxml2 accepts, the reader refuses: status %d: %s" %
                         (status, result["message"]), "")
            else:
                disagree(path, "verdict", "libxml2 refuses, the reader accepts: " +
                         normalised(lint), lint)
            continue
        if status == 3 and not result["typed"]:
            disagree(path, "verdict", "both refuse, the reader as no tree document (status 3): " +
                     result["message"], lint)
            continue
        table["verdicts agree"] += 1
        if lint is not None:
            continue
        table["accepted by both"] += 1
        if result["typed"]:
            table["typed"] += 1
        elif result["model_error"] is not None:
            disagree(path, "tree", "the model cannot be made: " +
                     normalised(result["model_error"]), result["model_error"])
        elif not result["differences"]:
            table["equal"] += 1
        else:
            table["not equal"] += 1
            for category, (where, detail) in sorted(result["differences"].items()):
                disagree(path, "tree", "tree: " + category, "at %s: %s" % (where, detail))
    table["failed"] = len(failed)
    table["excused"] = len(excused - failed)
    return table, groups, failures, used


def report(arguments, left, outcome, allowed):
    table, groups, failures, used = outcome
    print()
    print("Corpus: %s: files named *.xml or *.svg, and files up to %d MiB that begin with an "
          "XML declaration" % (", ".join(arguments.folders), SIZE_CAP >> 20))
    rows = [("skipped: " + reason, left[reason])
            for reason in ("above the size cap (%d MiB)" % (SIZE_CAP >> 20), "cannot be opened",
                           "folders that cannot be listed", "hard links to a file already read",
                           "symbolic links (named .xml or .svg)")]
    rows += [
        ("files read", table["files read"]),
        ("  refused by libxml2", table["refused by libxml2"]),
        ("  refused by the reader", table["refused by the reader"]),
        ("  verdicts agree", table["verdicts agree"]),
        ("    accepted by both", table["accepted by both"]),
        ("      typed documents (tree not compared)", table["typed"]),
        ("      trees equal to the model", table["equal"]),
        ("      trees not equal to the model", table["not equal"]),
        ("  files with disagreements", table["failed"]),
        ("  files with allowed disagreements only", table["excused"]),
        ("files with a DOCTYPE", table["doctype"]),
        ("files with entity references kept as text", table["kept_entities"]),
        ("files with attribute defaults declared in the DOCTYPE", table["defaulted"]),
    ]
    width = max(len(label) for label, _ in rows)
    for label, count in rows:
        print("  %-*s %6d" % (width, label, count))
    for section in ("refused by libxml2", "refused by the reader", "not modelled", "allowed"):
        entries = sorted(((g, p) for (s, g), p in groups.items() if s == section),
                         key=lambda item: (-len(item[1]), item[0]))
        if not entries:
            continue
        title = {"not modelled": "Not modelled by pyexpat",
                 "allowed": "Allowed disagreements (allowed.txt)"}.get(section, section.capitalize())
        print("\n%s:" % title)
        for group, members in entries:
            print("  %5d  %s" % (len(members), group))
            print("         e.g. %s" % ", ".join(members[:2]))
    unused = [entry for entry in allowed if entry not in used]
    if unused:
        print("\nAllow-list entries that matched nothing here (other packages?):")
        for pattern, kind in unused:
            print("  %s %s" % (pattern, kind))
    if failures:
        print("\nDisagreements (a file may fall under several):")
        for category, members in sorted(failures.items(), key=lambda item: (-len(item[1]),
                                                                             item[0])):
            print("  %5d  %s" % (len(members), category))
            shown = members if arguments.list else members[:3]
            for path, detail in shown:
                print("           %s%s" % (path, "  " + detail if detail else ""))

if __name__ == "__main__":
    sys.exit(main())
