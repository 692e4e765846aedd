"""The error class and the small types for what plain Python values cannot say."""

import decimal


class Error(Exception):
    """An error of the library: its number, source ("Tavrix" or "Quenlo"), classic description
    and, where it helps, a context (the byte offset where reading failed, the key that is not
    there, ...)."""

    def __init__(self, number, source, description, context=""):
        super().__init__(number, source, description, context)
        self.number = number
        self.source = source
        self.description = description
        self.context = context

    def __str__(self):
        text = f"{self.description} (error {self.number}, {self.source})"
        return f"{text}: {self.context}" if self.context else text


class _Singleton:
    """A value of its own kind, shown by its name; there is one of each."""

    __slots__ = ()
    _instance = None

    def __new__(cls):
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self):
        return f"quenlo.{type(self).__name__.lstrip('_')}"

    def __reduce__(self):
        return (type(self), ())


class _Empty(_Singleton):
    """An uninitialised value (not Null, which is None)."""

    __slots__ = ()

    def __bool__(self):
        return False


class _Nothing(_Singleton):
    """An object reference that refers to nothing."""

    __slots__ = ()

    def __bool__(self):
        return False


class _Nil(_Singleton):
    """A container of kind Nil."""

    __slots__ = ()


Empty = _Empty()
Nothing = _Nothing()
Nil = _Nil()


class Long(int):
    """A 32-bit Long whose value would otherwise be taken for a 16-bit Integer."""

    __slots__ = ()

    def __repr__(self):
        return f"quenlo.Long({int(self)})"


class Byte(int):
    """An unsigned 8-bit Byte."""

    __slots__ = ()

    def __repr__(self):
        return f"quenlo.Byte({int(self)})"


class Single(float):
    """A 32-bit Single (a plain float is a Double)."""

    __slots__ = ()

    def __repr__(self):
        return f"quenlo.Single({float(self)!r})"


class Currency(decimal.Decimal):
    """A Currency amount with four decimals (a plain decimal.Decimal is a Decimal)."""

    __slots__ = ()

    def __repr__(self):
        return f"quenlo.Currency('{self}')"


class _Sequence(list):
    """A list that stands for a container of another kind than the unbounded Array."""

    __slots__ = ()

    def __repr__(self):
        return f"quenlo.{type(self).__name__}({list.__repr__(self)})"


class Set(_Sequence):
    """A Set: its members in order, equal members allowed."""

    __slots__ = ()


class Stack(_Sequence):
    """A Stack, listed from the top: the first element is the one Pop takes next."""

    __slots__ = ()


class Queue(_Sequence):
    """A Queue, listed from the front: the first element is the one Pop takes next."""

    __slots__ = ()


class Array(list):
    """An Array made with SetArray(bound): bounded for a bound of 0 or more."""

    __slots__ = ("bound",)

    def __init__(self, elements=(), bound=-1):
        super().__init__(elements)
        self.bound = bound

    def __repr__(self):
        return f"quenlo.Array({list.__repr__(self)}, bound={self.bound})"
