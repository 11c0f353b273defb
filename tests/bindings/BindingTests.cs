// The C# binding over the real shared library, run under Mono.
//   BindingTests.exe <folder of heart-1.csv, heart-2.csv, down-1.csv> <default model file>
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using Gestal;

static class BindingTests
{
    static int passed, failed;
    static string recordingsFolder, modelFile;

    static void Equal<T>(T expected, T actual, string what)
    {
        if (EqualityComparer<T>.Default.Equals(expected, actual)) return;
        throw new Exception(what + ": expected " + expected + ", got " + actual);
    }

    static void Run(string name, Action<string> test)
    {
        string directory = Path.Combine(Path.GetTempPath(), "gestal-csharp-" + Guid.NewGuid()) + "/";
        try
        {
            test(directory);
            ++passed;
            Console.WriteLine("PASS " + name);
        }
        catch (Exception e)
        {
            ++failed;
            Console.WriteLine("FAIL " + name + ": " + e);
        }
        finally
        {
            if (Directory.Exists(directory)) Directory.Delete(directory, true);
        }
    }

    // Readings at 90 Hz for two seconds with one primary vector, pointing forward.
    static float[] Steady(float primary)
    {
        var readings = new List<float>();
        for (float t = 0; t <= 2000; t += 1000f / 90f)
        {
            readings.AddRange(new[] { t, primary, primary, primary, 0, 0, 0, 1, 0, 0 });
        }
        return readings.ToArray();
    }

    static float[] Recording(string name)
    {
        return File.ReadAllLines(Path.Combine(recordingsFolder, name + ".csv"))
            .SelectMany(line => line.Split(','))
            .Select(number => float.Parse(number, CultureInfo.InvariantCulture))
            .ToArray();
    }

    static int Main(string[] args)
    {
        recordingsFolder = args[0];
        modelFile = args[1];
        float[] rich = Steady(5), other = Steady(-5);

        Run("versions, signatures and the lock policy", directory =>
        {
            Equal("1.1.0 1.00", ControllerHelper.LibraryVersion + " " + ControllerHelper.InterfaceVersion,
                  "versions");
            using (var helper = new ControllerHelper(directory))
            {
                float[] progress = Enumerable.Range(0, 3).Select(i => helper.AddSignature(3, rich))
                    .Select(step => step.Error == ErrorType.None ? step.Progress : -1).ToArray();
                Equal("0.2 0.4 1", string.Join(" ", progress.Select(p => p.ToString("R", CultureInfo.InvariantCulture))),
                      "progress");
                // A span over the middle of a larger buffer.
                var padded = new float[rich.Length + 20];
                Array.Copy(rich, 0, padded, 10, rich.Length);
                Identification found = helper.IdentifySignature(new ReadOnlySpan<float>(padded, 10, rich.Length));
                Equal(3, found.Action, "identified action");
                Equal(true, found.Identified, "identified");
                Identification missed = helper.IdentifySignature(other, 3);
                Equal("-1 NoMatch 2147483646 0",
                      string.Join(" ", missed.Action, missed.Error, missed.RemainingTrials, missed.LockSeconds),
                      "no match");

                // The failure above counts: two more lock the action.
                helper.SetLockPolicy(3, 30);
                helper.IdentifySignature(other);
                Identification third = helper.IdentifySignature(other);
                Equal("NoMatch 0 30", string.Join(" ", third.Error, third.RemainingTrials, third.LockSeconds),
                      "the failure that locks");
                Equal(ErrorType.Locked, helper.IdentifySignature(rich).Error, "locked");
                helper.DeleteAction(3);
                Equal(ErrorType.NoMatch, helper.IdentifySignature(rich).Error, "after deletion");
            }
        });

        Run("predefined gestures with the default model", directory =>
        {
            Directory.CreateDirectory(directory);
            File.Copy(modelFile, directory + "gestal_gesture_adaboost");
            using (var helper = new ControllerHelper(directory))
            {
                Equal(GestureCode.Heart, helper.VerifyGesture(Recording("heart-1")).Gesture, "heart");
                Equal(GestureCode.Down, helper.VerifyGesture(Recording("down-1")).Gesture, "down");
                Equal(GestureCode.Down,
                      helper.VerifyGesture(Recording("down-1"), GestureCode.C, GestureCode.Down).Gesture,
                      "down among targets");
                Equal("HEART", helper.VerifyPredefinedGesture("gestal_gesture_adaboost", Recording("heart-2"),
                                                              "HEART", "DOWN").Name, "heart by name");
                Equal("", helper.VerifyPredefinedGesture("missing", Recording("heart-2")).Name, "no model");
                Equal(true, helper.VerifySingleGesture(GestureCode.Heart, Recording("heart-2")) >
                            helper.VerifySingleGesture(GestureCode.Down, Recording("heart-2")),
                      "single gesture scores");
            }
        });

        Run("custom gestures by number and by name", directory =>
        {
            float[] heart1 = Recording("heart-1"), heart2 = Recording("heart-2"), down = Recording("down-1");
            using (var helper = new ControllerHelper(directory))
            {
                helper.SetCustomGesture(4, heart1);
                helper.SetCustomGesture("Größe ✓", down);
                helper.SetCustomGesture("wave", heart1, heart2);
                CustomGestureMatch<int> byNumber = helper.IdentifyCustomGesture(heart2);
                Equal("True 4", byNumber.Matched + " " + byNumber.Gesture, "numbered");
                Equal(false, helper.IdentifyCustomGesture(down).Matched, "numbered, no match");
                Equal("Größe ✓", helper.IdentifyNamedCustomGesture(down).Gesture, "named");
                Equal("wave", helper.IdentifyNamedCustomGesture(heart2, "wave", "Größe ✓").Gesture,
                      "named among targets");
                Equal(null, helper.IdentifyNamedCustomGesture(heart2, "Größe ✓").Gesture, "named, no match");
                Equal(true, helper.IsCustomGestureExisted(heart2), "existing");
                Equal(true, helper.IsTwoGestureSimilar(heart1, heart2), "similar");
                Equal(false, helper.IsTwoGestureSimilar(heart1, down), "not similar");
            }
        });

        Run("the elastic matcher and its minimum confidence", directory =>
        {
            float[] heart1 = Recording("heart-1"), heart2 = Recording("heart-2"), down = Recording("down-1");
            using (var helper = new ControllerHelper(directory))
            {
                helper.SetCustomGesture(4, heart1);
                helper.SetMatcher(Matcher.Elastic);
                CustomGestureMatch<int> heart = helper.IdentifyCustomGesture(heart2);
                Equal("True 4 True", heart.Matched + " " + heart.Gesture + " " + (heart.Confidence >= 1f),
                      "heart");
                CustomGestureMatch<int> refused = helper.IdentifyCustomGesture(down);
                Equal("False 0", refused.Matched + " " + refused.Confidence, "down refused");
                // At 0 the nearest gesture answers, beyond its limit of acceptance.
                helper.SetMinConfidence(0);
                CustomGestureMatch<int> nearest = helper.IdentifyCustomGesture(down);
                Equal("True 4 True", nearest.Matched + " " + nearest.Gesture + " " + (nearest.Confidence < 1f),
                      "nearest");
                helper.SetMatcher(Matcher.Lcs);
                Equal(false, helper.IdentifyCustomGesture(down).Matched, "symbols again");
                Record<GestalException>(() => helper.SetMatcher((Matcher)2), "matcher 2");
                Record<GestalException>(() => helper.SetMinConfidence(-1), "negative minimum");
                Record<GestalException>(() => helper.SetMinConfidence(float.NaN), "NaN minimum");
            }
        });

        Run("one helper per process, failures raised", directory =>
        {
            using (var first = new ControllerHelper(directory))
            {
                var second = new ControllerHelper(directory.TrimEnd('/'));  // the same helper
                second.Dispose();
                Equal(ErrorType.NoMatch, first.IdentifySignature(rich).Error, "first after second ended");
                Record<GestalException>(() => new ControllerHelper(directory + "other/"), "other directory");
                Record<ArgumentException>(() => first.AddSignature(1, new float[15]), "15 floats");
                Record<ObjectDisposedException>(() => second.IdentifySignature(rich), "disposed");
            }
            // The library cannot open its database where a folder takes the file's name.
            string blocked = directory + "blocked/";
            Directory.CreateDirectory(blocked + "gestal.db");
            var lines = new List<string>();
            ControllerHelper.SetLogHandler((level, line) => lines.Add(level + " " + line));
            try
            {
                var e = Record<GestalException>(() => new ControllerHelper(blocked), "blocked");
                Equal(ErrorType.EngineFailure, e.ErrorType, "error type");
            }
            finally
            {
                ControllerHelper.SetLogHandler(null);
            }
            Equal(true, lines.Any(l => l.StartsWith("Error gestal: GetControllerHelperObjectWithConfig failed")),
                  "failure line: " + string.Join(" | ", lines));
            using (var again = new ControllerHelper(directory))
            {
                Equal(ErrorType.NoMatch, again.IdentifySignature(rich).Error, "usable after a failure");
            }
        });

        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 ? 0 : 1;
    }

    static E Record<E>(Action action, string what) where E : Exception
    {
        try
        {
            action();
        }
        catch (E e)
        {
            return e;
        }
        throw new Exception(what + ": no " + typeof(E).Name);
    }
}
