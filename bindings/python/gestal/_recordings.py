"""Host recordings from Python values: ten floats per reading, row-major."""

from __future__ import annotations

import array
import ctypes
from typing import Any, Iterable, List, Sequence, Tuple, Union

FIELDS = 10

Recording = Union[Sequence[Sequence[float]], Sequence[float], "array.array[float]", Any]


class Floats:
    """A recording ready for the library: a pointer to its floats and its number of readings. It
    keeps the memory it points to alive."""

    def __init__(self, keep: Any, pointer: Any, readings: int) -> None:
        self._keep = keep
        self.pointer = pointer
        self.readings = readings


def _is_numpy(value: Any) -> bool:
    return type(value).__module__.split(".")[0] == "numpy"


def _from_numpy(value: Any) -> Floats:
    import numpy

    floats = numpy.ascontiguousarray(value, dtype=numpy.float32)
    if not (floats.ndim == 2 and floats.shape[1] == FIELDS) and not (
        floats.ndim == 1 and floats.size % FIELDS == 0
    ):
        raise ValueError(
            "a recording array must have shape (n, %d) or (%d n,), not %s"
            % (FIELDS, FIELDS, floats.shape)
        )
    pointer = floats.ctypes.data_as(ctypes.POINTER(ctypes.c_float))
    return Floats(floats, pointer, floats.size // FIELDS)


def _from_array(values: "array.array[float]") -> Floats:
    if len(values) % FIELDS:
        raise ValueError("a recording must have a multiple of %d values, not %d" % (FIELDS, len(values)))
    if values.typecode != "f":
        values = array.array("f", values)
    pointer = (ctypes.c_float * len(values)).from_buffer(values) if len(values) else None
    return Floats(values, pointer, len(values) // FIELDS)


def floats(recording: Recording) -> Floats:
    """The recording's floats: numpy arrays and array.array without a Python loop, lists and tuples
    of readings or flat lists of numbers by value."""
    if _is_numpy(recording):
        return _from_numpy(recording)
    if isinstance(recording, array.array):
        return _from_array(recording)
    values = array.array("f")
    for item in recording:
        if isinstance(item, (int, float)):
            values.append(item)
            continue
        reading = list(item)
        if len(reading) != FIELDS:
            raise ValueError("a reading must have %d values, not %d" % (FIELDS, len(reading)))
        values.extend(reading)
    return _from_array(values)


def concatenated(recordings: Iterable[Recording]) -> Tuple[Floats, List[int]]:
    """Several recordings one after another, and their numbers of readings."""
    parts = [floats(r) for r in recordings]
    total = sum(p.readings for p in parts) * FIELDS
    data = (ctypes.c_float * max(total, 1))()
    position = 0
    for part in parts:
        size = part.readings * FIELDS * ctypes.sizeof(ctypes.c_float)
        if size:
            ctypes.memmove(ctypes.byref(data, position), part.pointer, size)
        position += size
    return Floats(data, data, sum(p.readings for p in parts)), [p.readings for p in parts]
