"""The Python conditioning against the gestal command's `condition` (GESTAL_COMMAND), value for
value; the command's own steps are checked against hand-computed cases in C++."""

import importlib.util
import os
import struct
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy
except ImportError:
    numpy = None

_HERE = os.path.dirname(os.path.abspath(__file__))
_MODULE = os.path.join(_HERE, "..", "..", "bindings", "python", "gestal", "conditioning.py")
_spec = importlib.util.spec_from_file_location("gestal_conditioning", _MODULE)
conditioning = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(conditioning)

FLAGS = {"units": "--units", "axes": "--axes", "rate_hz": "--rate", "cutoff_hz": "--cutoff",
         "gravity": "--gravity"}


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def read_csv(path):
    with open(path) as f:
        return [[f32(float(v)) for v in line.split(",")] for line in f
                if line.strip() and not line.startswith("#")]


class ConditioningTest(unittest.TestCase):
    def test_axis_map(self):
        self.assertEqual(conditioning.parse_axis_map(" x, -z ,+y"), ((0, 2, 1), (1, -1, 1)))
        for bad in ("x,y", "x,x,z", "x,y,z,x", "x,y,w"):
            with self.assertRaises(ValueError):
                conditioning.parse_axis_map(bad)

    @unittest.skipUnless(os.environ.get("GESTAL_COMMAND"), "GESTAL_COMMAND not set")
    def test_equals_the_command_bit_for_bit(self):
        command = os.environ["GESTAL_COMMAND"]
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([command, "synth", folder, "--users", "1", "--repetitions", "1",
                            "--shapes", "heart"], check=True, capture_output=True)
            readings = read_csv(os.path.join(folder, "heart", "user1-1.csv"))
            # A repeated time, on the 100 Hz grid: resampling takes the later reading there, and
            # the low-pass holds still.
            readings.insert(40, list(readings[40]))
            readings[39][0] = readings[40][0] = 430.0
            source = os.path.join(folder, "in.csv")
            target = os.path.join(folder, "out.csv")
            with open(source, "w") as f:
                f.writelines(",".join(map(repr, reading)) + "\n" for reading in readings)
            for options in ({"units": "g", "axes": "y,-z,x", "cutoff_hz": 0.7},
                            {"rate_hz": 100, "gravity": "mean", "axes": "z,x,y"}):
                flags = [text for name, value in options.items() for text in (FLAGS[name], value)]
                subprocess.run([command, "condition", source, "-o", target, *map(str, flags)],
                               check=True, capture_output=True)
                theirs = read_csv(target)
                self.assertEqual(conditioning.condition(readings, **options), theirs, options)
                if numpy is not None:
                    array = conditioning.condition(numpy.asarray(readings), **options)
                    self.assertEqual(array.dtype, numpy.float32)
                    self.assertEqual(array.tolist(), theirs)


if __name__ == "__main__":
    sys.exit(unittest.main())
