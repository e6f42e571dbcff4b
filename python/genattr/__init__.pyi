"""Type stubs of the package genattr (the extension genattr._genattr)."""

import os
from typing import IO, Any, Callable, Iterable, Iterator, Literal, Optional, Tuple, TypeVar, Union, overload

_Node = TypeVar("_Node", bound="Base")

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
_Value = Union[int, float, str]
_Format = Literal["text", "xml", "typed", "html"]
_Document = Union[bytes, bytearray, memoryview, str]
_BinaryReader = IO[Any]
_BinaryWriter = IO[bytes]

__version__: str
"""The library's version, as CMake's project(VERSION) has it."""

class Type:
    """The type code of a node; it names the node's class. int(code) is its number."""
    Base: Type
    String: Type
    Float: Type
    Double: Type
    Int: Type
    Cont: Type
    UnicodeString: Type
    Ptr: Type
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...
    def __int__(self) -> int: ...

class ReadError(Exception):
    """A document could not be read (see read())."""
    status: int
    """1 the file cannot be opened or read, 2 not well-formed XML, 3 not a tree
    document, 4 a resource limit was hit."""
    line: int
    """Line where the parser stopped, 1-based; 0 when not known."""
    column: int
    """Column where the parser stopped, 1-based; 0 when not known."""
    message: str
    """What went wrong, in English."""

class FileReadError(ReadError, OSError):
    """A file could not be opened or read (status 1): an OSError as well, with errno,
    strerror and filename as open() gives them."""

class FileNotFoundReadError(FileReadError, FileNotFoundError): ...
class PermissionReadError(FileReadError, PermissionError): ...
class IsADirectoryReadError(FileReadError, IsADirectoryError): ...
class NotADirectoryReadError(FileReadError, NotADirectoryError): ...

class Base:
    """A node of an attribute tree, without a value; the base of every node class.

    The Python object holds one count of its node, so the node lives at least as
    long as the object, in a tree or not."""
    def __init__(self, name: str, description: Optional[str] = None) -> None:
        """A node of type Base named `name`, with an optional description."""
    @staticmethod
    def reference(name: str, target: Base) -> Base:
        """A Base node that shares the children of `target`."""
    name: str
    """The node's name; UTF-8 in the library, undecodable bytes as lone surrogates."""
    description: Optional[str]
    """The description, or None."""
    @property
    def type(self) -> Type:
        """The node's type code."""
    value: Optional[_Value]
    """The value: int (Int, Ptr), float (Float, Double), str (String,
    UnicodeString); None for Base and Cont, which refuse a value."""
    @property
    def refcount(self) -> int:
        """One count per link from a parent, one for the Python object."""
    @property
    def is_reference(self) -> bool:
        """True for a node made by a reference constructor."""
    @property
    def initial_parent(self) -> Optional[Base]:
        """The first node this one was appended to while it had none, or None."""
    def append(self, child: Base) -> None:
        """Appends `child` after the last child."""
    def insert(self, before: Optional[Base], child: Base) -> None:
        """Links `child` in front of `before` (at the end for None); ValueError when
        `before` is not a child."""
    def remove(self, child: Base) -> None:
        """Unlinks the first link to `child`; ValueError when it is not a child."""
    def clear(self) -> None:
        """Unlinks every child."""
    def extend(self, children: Iterable[Base]) -> None:
        """Appends every node of `children` in order; TypeError, and nothing appended,
        when one of them is not a node."""
    def pop(self, index: int = -1) -> Base:
        """Unlinks the child at `index` (the last by default) and returns it; IndexError."""
    def index(self, child: Base, start: int = 0, stop: int = ...) -> int:
        """The position of the first link to `child` from `start` up to `stop`, as
        list.index(); ValueError when there is none."""
    def __len__(self) -> int:
        """The number of children (links); constant time once counted."""
    def __bool__(self) -> bool:
        """Always True."""
    def __iter__(self) -> Iterator[Base]:
        """The children as they are when the iteration starts."""
    @overload
    def __getitem__(self, key: Union[str, int]) -> Base:
        """The node at a '/'-separated path (KeyError) or the i-th child, negative from
        the end (IndexError)."""
    @overload
    def __getitem__(self, key: slice) -> list[Base]:
        """The children of the slice, as a list."""
    def __delitem__(self, key: Union[int, slice]) -> None:
        """Unlinks the i-th child (IndexError) or every child of the slice."""
    def __contains__(self, key: Union[str, Base]) -> bool:
        """True when the path leads to a node, or the node is a child."""
    def walk(self) -> Iterator[Tuple[int, Base]]:
        """(depth, node) for every node below this one in pre-order, depth 1 for
        the children, as they are when walk() is called."""
    def find(self, name: Optional[str] = None, value: Optional[_Value] = None, *,
             tolerance: float = 0.0, recursive: bool = True) -> Optional[Base]:
        """The first matching node below this one in pre-order, or None."""
    def find_all(self, name: Optional[str] = None, value: Optional[_Value] = None, *,
                 tolerance: float = 0.0, recursive: bool = True) -> list[Base]:
        """Every matching node below this one in pre-order."""
    def __copy__(self: _Node) -> _Node:
        """A new node of the same class, name, description and value (no id) whose
        children are the very children of this one."""
    def __deepcopy__(self: _Node, memo: Any = None) -> _Node:
        """The library's deep copy: a new node for every link below, references as
        ordinary nodes, no id."""
    def write(self, target: Union[_Path, _BinaryWriter], format: _Format = "text", *,
              timestamp: bool = True) -> None:
        """Writes this subtree as "text", "xml", "typed" or "html" to a path or a binary
        file object; timestamp=False leaves the time of writing out. OSError on failure.
        Releases the GIL while it writes."""
    def __reduce__(self) -> Tuple[Callable[[bytes], Base], Tuple[bytes]]:
        """Pickles the subtree as its typed document, without a time stamp."""

class Cont(Base):
    """A container node: no value, an optional id."""
    def __init__(self, name: str, description: Optional[str] = None) -> None:
        """A container named `name`, with an optional description."""
    @staticmethod
    def reference(name: str, target: Cont) -> Cont:  # type: ignore[override]
        """A container that shares the children of the container `target`."""
    id: Optional[str]
    """The container's id, or None."""
    value: None  # type: ignore[assignment]

class String(Base):
    """A node holding an 8-bit text, UTF-8 from Python."""
    def __init__(self, name: str, value: str = "", description: Optional[str] = None) -> None:
        """A new node named `name` holding `value`."""
    value: str  # type: ignore[assignment]

class UnicodeString(Base):
    """A node holding a wide text."""
    def __init__(self, name: str, value: str = "", description: Optional[str] = None) -> None:
        """A new node named `name` holding `value`."""
    value: str  # type: ignore[assignment]

WString = UnicodeString

class Int(Base):
    """A node holding a 32-bit signed integer."""
    def __init__(self, name: str, value: int = 0, description: Optional[str] = None) -> None:
        """A new node named `name` holding `value`; OverflowError beyond 32 bits."""
    value: int  # type: ignore[assignment]

class Float(Base):
    """A node holding a 32-bit float."""
    def __init__(self, name: str, value: float = 0.0,
                 description: Optional[str] = None) -> None:
        """A new node named `name` holding `value`; OverflowError beyond float range."""
    value: float  # type: ignore[assignment]

class Double(Base):
    """A node holding a 64-bit float."""
    def __init__(self, name: str, value: float = 0.0,
                 description: Optional[str] = None) -> None:
        """A new node named `name` holding `value`."""
    value: float  # type: ignore[assignment]

class Ptr(Base):
    """A node holding an opaque address that the library never reads."""
    def __init__(self, name: str, value: Optional[int] = 0,
                 description: Optional[str] = None) -> None:
        """A new node named `name` holding the address `value`."""
    value: int  # type: ignore[assignment]

def read(source: Union[_Path, _BinaryReader], *, attributes: bool = True) -> Base:
    """Reads the XML tree document at a path or from a binary file object; ReadError
    on failure, FileReadError (an OSError too) when the file cannot be read.

    Untyped elements keep their attributes (but desc and value) as String
    children "@name" and text beside child elements as "#text" children;
    attributes=False leaves them out. Releases the GIL while it reads."""

def parse(data: _Document, *, attributes: bool = True) -> Base:
    """Reads the XML tree document held in `data`; ReadError on failure.

    A str is taken as its characters, whatever encoding its XML declaration
    names; any other buffer is copied first. attributes as for read()."""

def tostring(node: Base, format: _Format = "text", *, timestamp: bool = True) -> bytes:
    """The bytes node.write() would write; timestamp=False leaves the time of
    writing out. Releases the GIL while it writes."""
