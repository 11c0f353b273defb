"""The installed Python package over the real shared library (GESTAL_LIBRARY), with synthesized
performances (GESTAL_RECORDINGS) and the default model (GESTAL_MODEL)."""

import array
import ctypes
import os
import shutil
import tempfile
import unittest

import gestal
from gestal import ErrorType, GestureCode
from gestal._recordings import floats

try:
    import numpy
except ImportError:
    numpy = None


def steady(primary):
    """Two seconds of readings at 90 Hz with one primary vector, pointing forward."""
    readings, t = [], 0.0
    while t <= 2000:
        readings.append([t, primary, primary, primary, 0, 0, 0, 1, 0, 0])
        t += 1000.0 / 90.0
    return readings


def performance(name):
    with open(os.path.join(os.environ["GESTAL_RECORDINGS"], name + ".csv")) as f:
        return [[float(v) for v in line.split(",")] for line in f if line.strip()]


RICH, OTHER = steady(5), steady(-5)


class Package(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="gestal-python-")
        self.addCleanup(shutil.rmtree, self.directory)

    def open(self, *parts, **options):
        g = gestal.Gestal(os.path.join(self.directory, *parts), **options)
        self.addCleanup(g.close)
        return g

    def test_versions_and_types(self):
        self.assertEqual((gestal.version(), gestal.interface_version()), ("1.1.0", "1.00"))
        package = os.path.dirname(gestal.__file__)
        self.assertTrue(os.path.isfile(os.path.join(package, "py.typed")))

    def test_signatures_and_the_lock_policy(self):
        g = self.open("db")
        steps = [g.add_signature(3, RICH) for _ in range(3)]
        f32 = lambda x: ctypes.c_float(x).value  # noqa: E731
        self.assertEqual([(s.action, s.error, s.progress) for s in steps],
                         [(3, ErrorType.NONE, f32(0.2)), (3, ErrorType.NONE, f32(0.4)),
                          (3, ErrorType.NONE, 1.0)])
        self.assertTrue(steps[2].complete)
        self.assertEqual(g.identify_signature(RICH), gestal.Identification(3, ErrorType.NONE, -1, -1))
        self.assertEqual(g.identify_signature(OTHER, [3]),
                         gestal.Identification(None, ErrorType.NO_MATCH, 2147483646, 0))
        # The failure above counts: two more lock the action.
        g.set_lock_policy(3, 30)
        g.identify_signature(OTHER)
        self.assertEqual(g.identify_signature(OTHER),
                         gestal.Identification(None, ErrorType.NO_MATCH, 0, 30))
        self.assertEqual(g.identify_signature(RICH).error, ErrorType.LOCKED)
        g.delete_action(3)
        self.assertEqual(g.identify_signature(RICH).error, ErrorType.NO_MATCH)

    def test_every_recording_form_gives_the_same_floats(self):
        expected = floats(RICH)
        flat = [v for reading in RICH for v in reading]
        forms = {"flat list": flat, "tuples": [tuple(r) for r in RICH],
                 "array f": array.array("f", flat), "array d": array.array("d", flat)}
        if numpy is not None:
            wide = numpy.zeros((len(RICH), 20))
            wide[:, :10] = RICH
            forms.update({"numpy 2-D float64": numpy.array(RICH),
                          "numpy flat float32": numpy.array(flat, dtype=numpy.float32),
                          "numpy strided": wide[:, :10]})
        size = expected.readings * 10 * 4
        for name, form in forms.items():
            got = floats(form)
            self.assertEqual((got.readings, ctypes.string_at(got.pointer, size)),
                             (expected.readings, ctypes.string_at(expected.pointer, size)), name)
        for bad in ([[1, 2, 3]], flat[:15]) + ((numpy.zeros((4, 9)),) if numpy is not None else ()):
            with self.assertRaises(ValueError):
                floats(bad)
        self.assertEqual(floats([]).readings, 0)

    def test_predefined_gestures_with_the_default_model(self):
        g = self.open("db")
        shutil.copy(os.environ["GESTAL_MODEL"], os.path.join(self.directory, "db"))
        self.assertEqual(g.verify_gesture(performance("heart-1")).gesture, GestureCode.HEART)
        self.assertEqual(g.verify_gesture(performance("down-1"), [GestureCode.C, GestureCode.DOWN])
                         .gesture, GestureCode.DOWN)
        self.assertEqual(g.verify_predefined_gesture("gestal_gesture_adaboost",
                                                     performance("heart-2"), ["HEART", "DOWN"])
                         .gesture, "HEART")
        heart = performance("heart-2")
        self.assertGreater(g.verify_single_gesture(GestureCode.HEART, heart),
                           g.verify_single_gesture(GestureCode.DOWN, heart))

    def test_custom_gestures_by_number_and_by_name(self):
        g = self.open("db")
        heart1, heart2, down = performance("heart-1"), performance("heart-2"), performance("down-1")
        g.set_custom_gesture(4, [heart1])
        g.set_custom_gesture("Größe ✓", [down])
        g.set_custom_gesture("wave", [heart1, heart2])
        self.assertEqual(g.identify_custom_gesture(heart2).gesture, 4)
        self.assertIsNone(g.identify_custom_gesture(down).gesture)
        self.assertEqual(g.identify_custom_gesture(down, named=True).gesture, "Größe ✓")
        self.assertEqual(g.identify_custom_gesture(heart2, ["wave", "Größe ✓"]).gesture, "wave")
        self.assertIsNone(g.identify_custom_gesture(heart2, ["Größe ✓"]).gesture)
        self.assertTrue(g.is_custom_gesture_existed(heart2))
        self.assertEqual((g.is_two_gesture_similar(heart1, heart2),
                          g.is_two_gesture_similar(heart1, down)), (True, False))

    def test_the_elastic_matcher_and_its_minimum_confidence(self):
        g = self.open("db")
        heart1, heart2, down = performance("heart-1"), performance("heart-2"), performance("down-1")
        g.set_custom_gesture(4, [heart1])
        g.set_matcher(gestal.Matcher.ELASTIC)
        heart = g.identify_custom_gesture(heart2)
        self.assertEqual(heart.gesture, 4)
        self.assertGreaterEqual(heart.confidence, 1.0)
        self.assertEqual(g.identify_custom_gesture(down), gestal.CustomGestureMatch(None, 0.0))
        # At 0 the nearest gesture answers, beyond its limit of acceptance.
        g.set_min_confidence(0)
        nearest = g.identify_custom_gesture(down)
        self.assertEqual(nearest.gesture, 4)
        self.assertLess(nearest.confidence, 1.0)
        g.set_custom_gesture("down", [down])
        self.assertEqual(g.identify_custom_gesture(down, named=True),
                         gestal.CustomGestureMatch("down", 100.0))
        g.set_matcher(gestal.Matcher.LCS)
        self.assertIsNone(g.identify_custom_gesture(down).gesture)
        for refused in (lambda: g.set_matcher(2), lambda: g.set_min_confidence(-1.0),
                        lambda: g.set_min_confidence(float("nan"))):
            with self.assertRaises(gestal.EngineError):
                refused()

    def test_one_helper_per_process_and_the_failures(self):
        first = self.open("db")
        second = gestal.Gestal(os.path.join(self.directory, "db/"))  # the same helper
        second.close()
        self.assertEqual(first.identify_signature(RICH).error, ErrorType.NO_MATCH)
        with self.assertRaises(gestal.HelperInUseError):
            gestal.Gestal(os.path.join(self.directory, "other"))
        with self.assertRaises(gestal.HelperClosedError):
            second.identify_signature(RICH)
        with self.assertRaises(gestal.LibraryNotFoundError):
            gestal.Gestal(self.directory, library=os.path.join(self.directory, "missing.so"))
        first.close()

        # The library cannot open its database where a folder takes the file's name.
        os.makedirs(os.path.join(self.directory, "blocked", "gestal.db"))
        lines = []
        gestal.set_log_handler(lambda level, text: lines.append((level, text)))
        try:
            with self.assertRaises(gestal.EngineError) as raised:
                gestal.Gestal(os.path.join(self.directory, "blocked"))
        finally:
            gestal.set_log_handler(None)
        self.assertEqual(raised.exception.error_type, ErrorType.ENGINE_FAILURE)
        self.assertEqual(lines[-1][0], gestal.LogLevel.ERROR)
        self.assertTrue(lines[-1][1].startswith(
            "gestal: GetControllerHelperObjectWithConfig failed: "), lines[-1][1])
        self.assertEqual(self.open("db").identify_signature(RICH).error, ErrorType.NO_MATCH)


if __name__ == "__main__":
    unittest.main()
