"""The Python conditioning against hand-computed cases and, when GESTAL_COMMAND names the gestal
command, against its `condition` value for value."""

import importlib.util
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest

_HERE = os.path.dirname(os.path.abspath(__file__))
_MODULE = os.path.join(_HERE, "..", "..", "bindings", "python", "gestal", "conditioning.py")
_spec = importlib.util.spec_from_file_location("gestal_conditioning", _MODULE)
conditioning = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(conditioning)


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def reading(time, primary=(0, 0, 0), secondary=(0, 0, 0), direction=(0, 0, 0)):
    return [time, *primary, *secondary, *direction]


class ConditioningTest(unittest.TestCase):
    def test_axis_map_and_units(self):
        self.assertEqual(conditioning.parse_axis_map(" x, -z ,+y"), ((0, 2, 1), (1, -1, 1)))
        for bad in ("x,y", "x,x,z", "x,y,z,x", "x,y,w"):
            with self.assertRaises(ValueError):
                conditioning.parse_axis_map(bad)
        out = conditioning.remap_axes([reading(5, (1, 2, 3), (4, 5, 6), (7, 8, 9))], "x,-z,y")
        self.assertEqual(out, [reading(5, (1, -3, 2), (4, -6, 5), (7, -9, 8))])
        out = conditioning.rebase_time(conditioning.scale_primary(
            [reading(100, (1, -0.5, 2)), reading(112.5)], conditioning.STANDARD_GRAVITY))
        self.assertEqual(out, [reading(0, (f32(9.80665), f32(-4.903325), f32(19.6133))),
                               reading(12.5)])

    def test_resample_and_gravity(self):
        out = conditioning.resample([reading(0), reading(10, (1, 2, 0), direction=(0, 0, 1)),
                                     reading(10, (9, 9, 9)), reading(32, (f32(5.4), 2, 0))],
                                    200.0)
        self.assertEqual(len(out), 7)
        self.assertEqual(out[1], reading(5, (0.5, 1, 0), direction=(0, 0, 0.5)))
        self.assertEqual(out[6][1], f32(9 + (f32(5.4) - 9) * 20 / 22))

        w = 1.0 - math.exp(-math.pi / 100.0)
        last = 2 * w - w * w
        middle = last + w * (w - last)
        low = conditioning.zero_phase_low_pass([0, 1, 1], [0, 10, 20], 0.5)
        self.assertAlmostEqual(low[2], last, places=15)
        self.assertAlmostEqual(low[1], middle, places=15)
        self.assertAlmostEqual(low[0], middle * (1 - w), places=15)

        still = [reading(t, (0, 9.80665, 0.5), (1, 2, 3)) for t in (0, 10, 10)]
        self.assertEqual(conditioning.remove_gravity_low_pass(still),
                         [reading(t, (0, 0, 0), (1, 2, 3)) for t in (0, 10, 10)])
        out = conditioning.condition([reading(1000, (1, 0, 0)), reading(1010, (2, 0, 0)),
                                      reading(1020, (6, 0, 1))], gravity="mean", axes="z,x,y")
        self.assertEqual(out, [reading(0, (f32(-1 / 3), -2, 0)), reading(10, (f32(-1 / 3), -1, 0)),
                               reading(20, (f32(1 - 1 / 3), 3, 0))])

    @unittest.skipUnless(os.environ.get("GESTAL_COMMAND"), "GESTAL_COMMAND not set")
    def test_equals_the_command_bit_for_bit(self):
        command = os.environ["GESTAL_COMMAND"]
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([command, "synth", folder, "--users", "1", "--repetitions", "1",
                            "--shapes", "heart"], check=True, capture_output=True)
            source = os.path.join(folder, "heart", "user1-1.csv")
            target = os.path.join(folder, "out.csv")
            options = ["--units", "g", "--axes", "y,-z,x", "--rate", "120", "--cutoff", "0.7"]
            subprocess.run([command, "condition", source, "-o", target, *options],
                           check=True, capture_output=True)
            ours = conditioning.condition(read_csv(source), units="g", axes="y,-z,x",
                                          rate_hz=120, cutoff_hz=0.7)
            theirs = read_csv(target)
            self.assertEqual(len(ours), len(theirs))
            self.assertEqual(ours, theirs)
            try:
                import numpy
            except ImportError:
                return
            array = conditioning.condition(numpy.asarray(read_csv(source)), units="g",
                                           axes="y,-z,x", rate_hz=120, cutoff_hz=0.7)
            self.assertEqual(array.dtype, numpy.float32)
            self.assertEqual(array.tolist(), theirs)


def read_csv(path):
    with open(path) as f:
        return [[f32(float(v)) for v in line.split(",")] for line in f
                if line.strip() and not line.startswith("#")]


if __name__ == "__main__":
    sys.exit(unittest.main())
