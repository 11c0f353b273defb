"""The gestal command, driven as a user drives it, on synthesized recordings. GESTAL_COMMAND
names the binary and GESTAL_MODEL the default model file."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

COMMAND = os.environ.get("GESTAL_COMMAND", "build/gestal")
MODEL = os.environ.get("GESTAL_MODEL", "models/gestal_gesture_adaboost")
SVG = "{http://www.w3.org/2000/svg}"


def gestal(*arguments):
    return subprocess.run([COMMAND, *map(str, arguments)], capture_output=True, text=True,
                          timeout=120)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


class GestalCommandTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="gestal-command-test-")
        cls.recordings = os.path.join(cls.work, "recordings")
        made = gestal("synth", cls.recordings, "--users", "2", "--repetitions", "5",
                      "--shapes", "heart,circle,zigzag,signature")
        assert made.returncode == 0, made.stderr
        assert made.stdout == cls.recordings + ": 40 recordings of 4 gestures by 2 synthesized users\n"

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def recording(self, shape, user=1, repetition=1):
        return os.path.join(self.recordings, shape, "user%d-%d.csv" % (user, repetition))

    def assertFails(self, result, status, *words):
        self.assertEqual(result.returncode, status, result.stdout + result.stderr)
        for word in words:
            self.assertIn(word, result.stderr)

    def test_usage_and_errors(self):
        self.assertEqual(gestal("--help").returncode, 0)
        for command in ("condition", "show", "compare", "plot", "inspect", "enrol", "identify",
                        "define", "recognise", "verify", "eval", "import", "synth"):
            shown = gestal(command, "--help")
            self.assertEqual(shown.returncode, 0, command)
            self.assertIn("Usage", shown.stdout)
        self.assertFails(gestal("bogus"), 2)
        self.assertFails(gestal("show"), 2, "recording")
        self.assertFails(gestal("recognise", self.work, self.recording("heart"), "--matcher",
                                "dtw"), 2, "dtw not in {lcs,elastic}")
        missing = os.path.join(self.work, "missing.csv")
        self.assertFails(gestal("show", missing), 1, "gestal show: " + missing + ": cannot be read")
        self.assertFails(gestal("inspect", missing), 1, missing + ": not a folder")
        self.assertFails(gestal("eval", missing), 1, missing + ": not a folder")
        bad = os.path.join(self.work, "bad.csv")
        write(bad, "0,1,2,3,4,5,6,7,8,9\n10,1,2,x,4,5,6,7,8,9\n")
        self.assertFails(gestal("compare", bad, bad), 1, bad + ":2: field 4 is not a number")

    def test_condition(self):
        source = os.path.join(self.work, "in.csv")
        target = os.path.join(self.work, "out.csv")
        write(source, "1000,1,0,0,0,0,0,0,0,-1\n1010,2,0,0,0,0,0,0,0,-1\n1020,6,0,0.5,0,0,0,0,0,-1\n")
        done = gestal("condition", source, "-o", target, "--units", "g", "--gravity", "mean",
                      "--axes", "z,x,y")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout, target + ": 3 readings over 0.020 s\n")
        with open(target) as f:
            self.assertEqual(f.read().splitlines()[1:], [
                "0,-1.6344417,-19.6133,0,0,0,0,-1,0,0",
                "10,-1.6344417,-9.80665,0,0,0,0,-1,0,0",
                "20,3.2688835,29.41995,0,0,0,0,-1,0,0"])
        self.assertFails(gestal("condition", source, "-o", target, "--axes", "x,y"), 1,
                         "axis map 'x,y': fewer than three axes")
        self.assertFails(gestal("condition", source, "-o", target, "--gravity", "off"), 1,
                         "gravity 'off'")

    def test_show(self):
        shown = gestal("show", self.recording("signature"))
        self.assertEqual(shown.returncode, 0, shown.stderr)
        lines = shown.stdout.splitlines()
        self.assertIn("complexity level: 4 (0 simplest to 5)", lines)
        self.assertIn("verdict: accepted as the first performance of an enrolment", lines)
        self.assertEqual([line.split()[0] for line in lines if re.match(r"  \w+ +ok ", line)],
                         ["length", "posture", "limits", "motion", "complexity"])
        short = os.path.join(self.work, "short.csv")
        write(short, "0,5,0,0,0,0,0,0,0,1\n100,-5,0,0,0,0,0,0,0,1\n")
        lines = gestal("show", short).stdout.splitlines()
        self.assertIn("verdict: refused with -201 (too short)", lines)
        self.assertIn("  length      refused -201  0.10 s over 2 readings; needs two readings at "
                      "least 0.25 s apart", lines)
        self.assertIn("  posture     refused -203  2 of 2 pointing directions within 60 degrees "
                      "of +z (toward the user); more than half is refused", lines)
        self.assertIn("    x (2): ab", lines)

    def test_compare_and_plot(self):
        same = gestal("compare", self.recording("heart", 1, 1), self.recording("heart", 1, 2))
        self.assertEqual(same.returncode, 0, same.stderr)
        self.assertIn("  pair level: 0", same.stdout)
        self.assertIn("  identification and similarity, level 4: score 1.761  match", same.stdout)
        elastic = same.stdout.splitlines()[12:16]
        self.assertEqual(elastic, [
            "elastic matcher:", "  gesture distance: 1.069",
            "  similarity at the one-sample threshold 2.89: confidence 2.707  similar (minimum 1.0)",
            "  signature distance (duration and force counted): 1.189"])
        common, first, second = map(int, re.search(
            r"m/s\^2\): (\d+) common symbols of (\d+) and (\d+)", same.stdout).groups())
        rows = [line[4:] for line in same.stdout.splitlines() if line.startswith("  A ")]
        marks = [line[4:] for line in same.stdout.splitlines() if line.startswith("    ")]
        self.assertEqual("".join(marks).count("|"), common)
        self.assertEqual(len("".join(rows).replace("-", "")), first)
        other = gestal("compare", self.recording("heart"), self.recording("zigzag"))
        self.assertIn("  pair level: none (no match even at level 4)", other.stdout)
        self.assertIn("  similarity at the one-sample threshold 2.89: confidence 0.726  not similar "
                      "(minimum 1.0)", other.stdout)

        svg = os.path.join(self.work, "plot.svg")
        plotted = gestal("plot", self.recording("heart", 1, 1), self.recording("heart", 1, 2),
                         "-o", svg, "--title", "two <hearts>")
        self.assertEqual(plotted.stdout, svg + ": 2 recordings plotted\n")
        root = ElementTree.parse(svg).getroot()
        self.assertEqual(root.find(SVG + "title").text, "two <hearts>")
        panels = root.findall(SVG + "g")
        self.assertEqual([p.get("id") for p in panels], ["axis-x", "axis-y", "axis-z"])
        self.assertEqual([len(p.findall(SVG + "polyline")) for p in panels], [2, 2, 2])
        # The symbols under the panels are the ones compare aligns: first's, then second's.
        placed = [sum(len(g[i].findall(SVG + "text")) for g in
                      (p.findall(SVG + "g") for p in panels)) for i in (0, 1)]
        self.assertEqual(placed, [first, second])

    def test_signatures_custom_gestures_and_models_through_the_library(self):
        db = os.path.join(self.work, "db")
        takes = [self.recording("signature", 1, r) for r in range(1, 5)]
        enrolled = gestal("enrol", db, 1, *takes)
        self.assertEqual(enrolled.returncode, 0, enrolled.stderr)
        self.assertEqual(enrolled.stdout.splitlines()[-1], "action 1 enrolled")
        self.assertNotIn(">>>", enrolled.stdout)
        traced = gestal("--trace", "enrol", db, 2, self.recording("zigzag"),
                        self.recording("signature", 2, 1))
        self.assertIn(">>> AddSignature", traced.stdout)
        self.assertEqual(traced.returncode, 3)
        self.assertIn("zigzag/user1-1.csv: refused -205 (too little motion)\n", traced.stdout)
        self.assertIn("signature/user2-1.csv: progress 0.2, complexity level 3\n", traced.stdout)
        found = gestal("identify", db, self.recording("signature", 1, 5))
        self.assertEqual((found.returncode, found.stdout),
                         (0, self.recording("signature", 1, 5) + ": action 1\n"))
        self.assertEqual(gestal("identify", db, self.recording("heart")).returncode, 3)

        self.assertEqual(gestal("define", db, 7, *[self.recording("heart", 1, r)
                                                   for r in (1, 2, 3)]).stdout,
                         "gesture 7: 3 samples stored\n")
        gestal("define", db, "round", *[self.recording("circle", 1, r) for r in (1, 2, 3)])
        heart = gestal("recognise", db, self.recording("heart", 1, 4))
        self.assertEqual(heart.returncode, 0, heart.stderr)
        self.assertRegex(heart.stdout, r": gesture 7, confidence \d\.\d{3}\n$")
        circle = gestal("recognise", db, self.recording("circle", 1, 4), "-t", "round")
        self.assertRegex(circle.stdout, r': "round", confidence \d\.\d{3}\n$')
        strict = gestal("recognise", db, self.recording("heart", 1, 4), "--min-confidence", 9)
        self.assertEqual(strict.returncode, 3)
        self.assertIn("below the minimum 9.00: no gesture", strict.stdout)
        # The elastic matcher takes the minimum itself: the library answers nothing.
        elastic = gestal("recognise", db, self.recording("heart", 1, 4), "--matcher", "elastic")
        self.assertRegex(elastic.stdout, r": gesture 7, confidence \d\.\d{3}\n$")
        strict = gestal("recognise", db, self.recording("heart", 1, 4), "--matcher", "elastic",
                        "--min-confidence", 9)
        self.assertEqual((strict.returncode, strict.stdout),
                         (3, self.recording("heart", 1, 4) + ": no gesture\n"))

        self.assertFails(gestal("verify", db, self.recording("heart")), 1,
                         "gestal_gesture_adaboost: no such model file")
        shutil.copy(MODEL, os.path.join(db, "gestal_gesture_adaboost"))
        heart = os.path.join(self.work, "predefined", "heart", "user1-1.csv")
        gestal("synth", os.path.join(self.work, "predefined"), "--users", "1", "--repetitions",
               "1", "--shapes", "heart")
        verified = gestal("verify", db, heart)
        self.assertEqual(verified.returncode, 0, verified.stderr)
        self.assertRegex(verified.stdout, r": HEART, score [\d.]+, confidence [\d.]+\n$")

        lines = gestal("inspect", db).stdout.splitlines()
        self.assertEqual(lines[1:3], ["gestal.db (user_version 1)",
                                      "  action 1: enrolled, strength level 0, signature type 0"])
        self.assertIn("  action 2: not enrolled (an enrolment was opened and never completed)",
                      lines)
        self.assertIn("gestal_custom.db (user_version 2)", lines)
        self.assertIn("    7: 3 samples", lines)
        self.assertIn('    "round": 3 samples', lines)
        self.assertEqual(lines[-1], "model gestal_gesture_adaboost: 30 weak classifiers, 90 "
                                    "templates, gestures C DOWN HEART")

    def test_eval_and_report(self):
        report = os.path.join(self.work, "report.html")
        run = gestal("eval", self.recordings, "--report", report)
        self.assertEqual(run.returncode, 0, run.stderr)
        lines = run.stdout.splitlines()
        self.assertEqual(lines[0], self.recordings + ": 40 recordings of 4 gestures by 2 users")
        cells = {line[:47].rstrip(): line[47:].replace("%", "").split()
                 for line in lines if line.endswith(" %")}
        self.assertEqual([line.split() for line in lines if line.strip().startswith("symbols ")],
                         [["symbols", "symbols", "elastic", "elastic"]])
        self.assertEqual(cells["custom gestures: user-dependent accuracy"], ["100.0"] * 4)
        self.assertEqual(cells["open set: defined gestures identified correctly"], ["100.0"] * 4)
        self.assertEqual(cells["signatures: actions enrolled"], ["25.0"] * 4)
        # Every gesture is defined in half the runs: the elastic matcher's nearest gesture, always
        # accepted at 0, is right for every defined performance and wrong for every other.
        self.assertIn("            0.00    50.0 / 100.0    50.0 / 100.0", lines)
        root = ElementTree.parse(report).getroot()
        tables = root.iter("table")
        summary = next(tables)
        self.assertEqual([th.text for th in summary.find("tr")][1:],
                         ["symbols, raw", "symbols, conditioned", "elastic, raw",
                          "elastic, conditioned"])
        self.assertEqual([td.text for td in summary.findall("tr")[1]],
                         ["custom gestures: user-dependent accuracy"] + ["100.0 %"] * 4)
        self.assertEqual([t.get("class") for t in tables],
                         ["rejection", "rejection", "signatures"] + ["confusion"] * 4)
        signatures = root.find(".//table[@class='signatures']")
        # With no minimum every try is accepted, the other users' included.
        self.assertEqual([td.text for td in signatures.findall("tr")[1]],
                         ["0.00"] + ["100.0 %"] * 4)
        confusion = root.findall(".//table[@class='confusion']")[0]
        self.assertEqual([th.text for th in confusion.find("tr")],
                         [None, "circle", "heart", "signature", "zigzag", "none"])
        self.assertEqual([td.text for td in confusion.findall("tr")[2]][1:], ["0", "4", "0", "0", "0"])
        svgs = list(root.iter(SVG + "svg"))
        self.assertEqual(len(svgs), 6)  # the figures, the rejection curve, one plot per gesture
        curve = svgs[1]
        self.assertEqual(len(curve.findall(SVG + "polyline[@class='curve']")), 4)
        self.assertEqual(len(curve.findall(SVG + "circle[@class='mark']")), 4)

    def test_import(self):
        uwave = os.path.join(self.work, "uwave")
        write(os.path.join(uwave, "U1.csv"), "day,gesture,rep,t_ms,ax_g,ay_g,az_g\n"
              "1,2,1,0,0.5,-1,0\n1,2,1,10,1,0,0\n2,2,1,0,0,0,1\n1,3,10,0,0,0,0\n")
        out = os.path.join(self.work, "uwave-out")
        done = gestal("import", "uwave", uwave, out)
        self.assertEqual(done.stdout, out + ": 3 recordings of 2 gestures from 1 files\n")
        with open(os.path.join(out, "2", "U1-1-01.csv")) as f:
            self.assertEqual(f.read().splitlines()[1:], ["0,4.903325,-9.80665,0,0,0,0,0,0,-1",
                                                         "10,9.80665,0,0,0,0,0,0,0,-1"])
        self.assertTrue(os.path.exists(os.path.join(out, "3", "U1-1-10.csv")))
        letters = os.path.join(self.work, "letters")
        write(os.path.join(letters, "user01.csv"),
              "letter,rep,t_ms,ax,ay,az,gx,gy,gz,pitch,yaw,roll\n"
              "O,1,0,0.1,0.2,-1,1.5,2,3,0,0,0\nO,1,10.64,0,0,0,0,0,0,0,0,0\n")
        done = gestal("import", "coremotion", letters, out)
        with open(os.path.join(out, "O", "user01-01.csv")) as f:
            self.assertEqual(f.read().splitlines()[1],
                             "0,0.980665,1.96133,-9.80665,1.5,2,3,0,0,-1")
        write(os.path.join(letters, "user02.csv"), "letter,rep,t_ms,ax\nO,1,0,1\n")
        self.assertFails(gestal("import", "coremotion", letters, out), 1,
                         os.path.join(letters, "user02.csv") + ": no column ay")
        self.assertFails(gestal("import", "wii", letters, out), 1, "layout 'wii'")


if __name__ == "__main__":
    sys.exit(unittest.main())
