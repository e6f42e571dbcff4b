"""Attribute trees: typed, named values arranged as a tree.

Nodes are made per type (``Cont("Model")``, ``Int("Count", 3)``, ...), linked with
``append``/``insert``/``remove``, read through properties, paths (``node["a/b"]``),
iteration, ``walk()``, ``find()`` and ``find_all()``, and written with ``write()``;
``read()`` and ``parse()`` bring XML tree documents back. Every Python object of a
node holds one count of it, so a node lives as long as anything refers to it.
"""

from genattr._genattr import (
    Base,
    Cont,
    Double,
    Float,
    Int,
    Ptr,
    ReadError,
    String,
    Type,
    UnicodeString,
    WString,
    parse,
    read,
)

__all__ = [
    "Base",
    "Cont",
    "Double",
    "Float",
    "Int",
    "Ptr",
    "ReadError",
    "String",
    "Type",
    "UnicodeString",
    "WString",
    "parse",
    "read",
]
