"""Conditioning of recorded motion before it reaches the library: units, axes, time base, rate and
gravity, the same steps as the gestal command's `condition`, value for value.

A recording is a sequence of readings of ten numbers (time in ms, primary x y z, secondary x y z,
direction x y z). Plain Python; a numpy array is accepted too and a float32 array comes back for
it. Every step computes in double precision and rounds each stored value to a 32-bit float, as
the library stores it, so the results equal the C++ conditioning bit for bit.

    from gestal import conditioning
    ready = conditioning.condition(recording, units="g", axes="x,-z,y")
"""

import math
import struct

STANDARD_GRAVITY = 9.80665
DEFAULT_GRAVITY_CUTOFF_HZ = 0.5

_F32 = struct.Struct("f")


def _f32(value):
    return _F32.unpack(_F32.pack(value))[0]


def _rows(recording):
    rows = []
    for reading in recording:
        row = [_f32(float(v)) for v in reading]
        if len(row) != 10:
            raise ValueError("a reading has %d numbers, expected 10" % len(row))
        rows.append(row)
    return rows


def _like(recording, rows):
    """Hands back numpy input as a float32 array, everything else as lists."""
    if type(recording).__module__ == "numpy":
        import numpy
        return numpy.asarray(rows, dtype=numpy.float32).reshape(len(rows), 10)
    return rows


def parse_axis_map(text):
    """'x,-z,y' -> ((0, 2, 1), (1, -1, 1)): new axis k is sign[k] times old axis source[k]."""
    hint = " (expected three of x, y, z, each once, e.g. x,-z,y)"
    tokens = text.split(",")
    if len(tokens) < 3:
        raise ValueError("axis map '%s': fewer than three axes%s" % (text, hint))
    source, sign, used = [], [], set()
    for token in tokens[:2] + [",".join(tokens[2:])]:
        token = token.strip(" ")
        s = 1
        if token[:1] in ("-", "+"):
            s = -1 if token[0] == "-" else 1
            token = token[1:]
        if len(token) != 1 or token not in "xyz":
            raise ValueError("axis map '%s': '%s' is not an axis%s" % (text, token, hint))
        if token in used:
            raise ValueError("axis map '%s': axis %s appears twice%s" % (text, token, hint))
        used.add(token)
        source.append("xyz".index(token))
        sign.append(s)
    return tuple(source), tuple(sign)


def remap_axes(recording, axes):
    """Applies an axis map (its text or a parsed map) to the primary, secondary and direction
    vectors alike."""
    source, sign = parse_axis_map(axes) if isinstance(axes, str) else axes
    rows = _rows(recording)
    for row in rows:
        for first in (1, 4, 7):
            old = row[first:first + 3]
            for k in range(3):
                row[first + k] = -old[source[k]] if sign[k] < 0 else old[source[k]]
    return _like(recording, rows)


def scale_primary(recording, factor):
    """Multiplies the primary vector (STANDARD_GRAVITY turns g into m/s^2)."""
    rows = _rows(recording)
    for row in rows:
        for k in (1, 2, 3):
            row[k] = _f32(row[k] * factor)
    return _like(recording, rows)


def rebase_time(recording):
    """Shifts every time so that the first reading is at 0 ms."""
    rows = _rows(recording)
    if rows:
        start = rows[0][0]
        for row in rows:
            row[0] = _f32(row[0] - start)
    return _like(recording, rows)


def resample(recording, rate_hz):
    """Readings at rate_hz from the first time to the last, every field linearly interpolated.
    Fewer than two readings, or times that go backwards or never advance, come back unchanged."""
    rows = _rows(recording)
    if len(rows) < 2 or not rate_hz > 0:
        return _like(recording, rows)
    if any(rows[i][0] < rows[i - 1][0] for i in range(1, len(rows))):
        return _like(recording, rows)
    first, last = rows[0][0], rows[-1][0]
    if not last > first:
        return _like(recording, rows)
    step = 1000.0 / rate_hz
    count = int(math.floor((last - first) / step + 1e-9)) + 1
    out = []
    segment = 0
    for k in range(count):
        time = first + float(k) * step
        while segment + 2 < len(rows) and rows[segment + 1][0] <= time:
            segment += 1
        before, after = rows[segment], rows[segment + 1]
        t0, t1 = before[0], after[0]
        weight = (time - t0) / (t1 - t0) if t1 > t0 else 0.0
        reading = [_f32(time)]
        for field in range(1, 10):
            a, b = before[field], after[field]
            reading.append(_f32(a + (b - a) * weight))
        out.append(reading)
    return _like(recording, out)


def _weight(cutoff_hz, dt_ms):
    return 1.0 - math.exp(-2.0 * math.pi * cutoff_hz * dt_ms / 1000.0) if dt_ms > 0.0 else 0.0


def zero_phase_low_pass(values, times_ms, cutoff_hz):
    """A first-order smoother run forward from the first value, then backward from the last; each
    step weighs the new value by 1 - exp(-2 pi cutoff dt)."""
    out = [float(v) for v in values]
    for i in range(1, len(out)):
        w = _weight(cutoff_hz, times_ms[i] - times_ms[i - 1])
        out[i] = out[i - 1] + w * (out[i] - out[i - 1])
    for i in range(len(out) - 2, -1, -1):
        w = _weight(cutoff_hz, times_ms[i + 1] - times_ms[i])
        out[i] = out[i + 1] + w * (out[i] - out[i + 1])
    return out


def remove_gravity_low_pass(recording, cutoff_hz=DEFAULT_GRAVITY_CUTOFF_HZ):
    """Subtracts the zero-phase low-pass of each primary axis."""
    rows = _rows(recording)
    times = [row[0] for row in rows]
    for axis in (1, 2, 3):
        low = zero_phase_low_pass([row[axis] for row in rows], times, cutoff_hz)
        for row, gravity in zip(rows, low):
            row[axis] = _f32(row[axis] - gravity)
    return _like(recording, rows)


def remove_gravity_mean(recording):
    """Subtracts the mean of each primary axis."""
    rows = _rows(recording)
    if rows:
        for axis in (1, 2, 3):
            total = 0.0
            for row in rows:  # in order, as the C++ sums: no compensated summation
                total += row[axis]
            mean = total / len(rows)
            for row in rows:
                row[axis] = _f32(row[axis] - mean)
    return _like(recording, rows)


def condition(recording, units="ms2", gravity="lowpass", cutoff_hz=DEFAULT_GRAVITY_CUTOFF_HZ,
              axes="x,y,z", rate_hz=0.0, keep_time=False):
    """The steps of `gestal condition`, in its order: time rebased, axes remapped, primary
    scaled from g when units is "g", resampled when rate_hz > 0, gravity removed ("lowpass",
    "mean" or "keep")."""
    if units not in ("ms2", "g"):
        raise ValueError("units '%s': expected g or ms2" % units)
    if gravity not in ("lowpass", "mean", "keep"):
        raise ValueError("gravity '%s': expected lowpass, mean or keep" % gravity)
    rows = _rows(recording)
    if not keep_time:
        rows = rebase_time(rows)
    rows = remap_axes(rows, axes)
    if units == "g":
        rows = scale_primary(rows, STANDARD_GRAVITY)
    if rate_hz > 0:
        rows = resample(rows, rate_hz)
    if gravity == "lowpass":
        rows = remove_gravity_low_pass(rows, cutoff_hz)
    elif gravity == "mean":
        rows = remove_gravity_mean(rows)
    return _like(recording, rows)
