"""Quenlo from Python: object strings and their files as plain Python values, and the Tavrix
container itself.

    loads(text) / dumps(value)     object string <-> Python values
    load(path) / dump(value, path) the same through a file (Windows-1252, or encoding="utf-8")
    Tavrix                         the container, with every member of the C++ class
    Error                          what every failure of the library raises
"""

import gc as _gc

from ._types import (Array, Byte, Currency, Empty, Error, Long, Nil, Nothing, Queue, Set, Single,
                     Stack)
from ._quenlo import (ErrDuplicateValue, ErrInvalidOperation, ErrSubscriptOutOfRange, KindBoundedArray,
                      KindMap, KindNil, KindQueue, KindSet, KindStack, KindUnboundedArray, KindVariant,
                      Tavrix, dump, dumps, load, loads)

__version__ = Tavrix.Version()


def _collect_container_cycles(phase, info):
    # Containers hold one another through counted references that Python's collector cannot see;
    # after each full collection, the cycles of containers that nothing reaches any more go too.
    if phase == "stop" and info["generation"] == 2:
        Tavrix.CollectCycles()


_gc.callbacks.append(_collect_container_cycles)
