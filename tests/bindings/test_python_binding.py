"""The Python binding over the real shared library (path in GESTAL_LIBRARY)."""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "bindings", "python"))
import gestal  # noqa: E402


def steady(duration_ms, primary):
    """Readings at 90 Hz with one primary vector, pointing forward."""
    readings, t = [], 0.0
    while t <= duration_ms:
        readings.append([t, *primary, 0, 0, 0, 1, 0, 0])
        t += 1000.0 / 90.0
    return readings


class PythonBinding(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="gestal-python-") + "/"
        self.g = gestal.Gestal(os.environ["GESTAL_LIBRARY"], self.directory)
        self.rich = steady(2000, (5, 5, 5))
        self.other = steady(2000, (-5, -5, -5))

    def tearDown(self):
        self.g.close()
        shutil.rmtree(self.directory)

    def test_signatures(self):
        self.assertEqual(self.g.version(), "1.00")
        progress = [self.g.add_signature(3, self.rich) for _ in range(3)]
        self.assertEqual([(r.action, r.error) for r in progress], [(3, 0)] * 3)
        self.assertAlmostEqual(progress[0].progress, 0.2, places=6)
        self.assertEqual(progress[2].progress, 1.0)
        self.assertEqual(self.g.identify_signature(self.rich).action, 3)
        rejected = self.g.identify_signature(self.other, [3])
        self.assertEqual((rejected.action, rejected.error), (-1, gestal.ERROR_NO_MATCH))
        self.assertTrue(self.g.delete_action(3))
        self.assertEqual(self.g.identify_signature(self.rich).error, gestal.ERROR_NO_MATCH)

    def test_custom_gestures(self):
        self.g.set_custom_gesture(4, [self.rich, self.rich])
        self.g.set_custom_gesture("wave", [self.other])
        self.assertEqual(self.g.identify_custom_gesture(self.rich).gesture, 4)
        self.assertIsNone(self.g.identify_custom_gesture(self.other).gesture)
        self.assertEqual(self.g.identify_custom_gesture(self.other, ["wave"]).gesture, "wave")
        self.assertTrue(self.g.is_custom_gesture_existed(self.rich))
        self.assertTrue(self.g.is_two_gesture_similar(self.rich, self.rich))
        self.assertFalse(self.g.is_two_gesture_similar(self.rich, self.other))

    def test_predefined_gestures_without_a_model(self):
        reply = self.g.verify_gesture(self.rich)
        self.assertEqual(reply.gesture, -1)
        self.assertEqual(self.g.verify_predefined_gesture("missing", self.rich).gesture, "")

    def test_trigger_keys_and_bad_recordings(self):
        self.assertTrue(self.g.set_triggering_mask(1, 0xFF, 0))
        self.assertFalse(self.g.set_triggering_mask(2, 0xFF, 0))
        with self.assertRaises(ValueError):
            self.g.is_two_gesture_similar([[1, 2, 3]], self.rich)


if __name__ == "__main__":
    unittest.main()
