"""Attribute trees: typed, named values arranged as a tree.

Nodes are made per type (``Cont("Model")``, ``Int("Count", 3)``, ...), linked with
``append``/``insert``/``remove``, read through properties, paths (``node["a/b[2]"]``),
iteration, ``walk()``, ``find()`` and ``find_all()``, and written with ``write()`` or
``tostring()``; ``read()`` and ``parse()`` bring XML tree documents back, and nodes
pickle as their typed documents. Every Python object of a node holds one count of it,
so a node lives as long as anything refers to it.

Threads: ``read``, ``parse``, ``write``, ``tostring``, ``find`` and ``find_all``
release the GIL while the library works, so threads working on distinct trees run
at once. One tree is used by one thread at a time, as in C++: the module does not
lock trees, and two threads writing, searching or editing the same tree (or trees
sharing nodes) at once must take turns, with a lock of their own.
"""

from genattr._genattr import (
    Base,
    Cont,
    Double,
    FileNotFoundReadError,
    FileReadError,
    Float,
    Int,
    IsADirectoryReadError,
    NotADirectoryReadError,
    PermissionReadError,
    Ptr,
    ReadError,
    String,
    Type,
    UnicodeString,
    WString,
    __version__,
    parse,
    read,
    tostring,
)



def _from_typed(document):
    """The node pickled as its typed document `document` (see Base.__reduce__)."""
    return parse(document)


__all__ = [
    "Base",
    "Cont",
    "Double",
    "FileNotFoundReadError",
    "FileReadError",
    "Float",
    "Int",
    "IsADirectoryReadError",
    "NotADirectoryReadError",
    "PermissionReadError",
    "Ptr",
    "ReadError",
    "String",
    "Type",
    "UnicodeString",
    "WString",
    "parse",
    "read",
    "tostring",
]
