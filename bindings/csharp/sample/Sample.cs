// A small host of the C# binding: enrols recorded performances as a motion signature, identifies
// one, and keeps them as a named custom gesture too.
//   mcs -unsafe -out:Sample.exe sample/Sample.cs Gestal.cs
//   mono Sample.exe <database directory> <recording.csv> [<recording.csv> ...]
// A recording file holds one reading per line: ten numbers separated by commas.
using System;
using System.Globalization;
using System.IO;
using System.Linq;
using Gestal;

static class Sample
{
    static float[] ReadRecording(string path)
    {
        return File.ReadAllLines(path)
            .Where(line => line.Trim().Length > 0)
            .SelectMany(line => line.Split(','))
            .Select(number => float.Parse(number, CultureInfo.InvariantCulture))
            .ToArray();
    }

    static int Main(string[] args)
    {
        if (args.Length < 2)
        {
            Console.Error.WriteLine("usage: Sample.exe <database directory> <recording.csv>...");
            return 2;
        }
        float[][] recordings = args.Skip(1).Select(ReadRecording).ToArray();
        // Only the library's failures reach the console; its trace goes nowhere.
        ControllerHelper.SetLogHandler((level, line) =>
        {
            if (level == LogLevel.Error) Console.Error.WriteLine(line);
        });
        using (var helper = new ControllerHelper(args[0]))
        {
            Console.WriteLine("library " + ControllerHelper.LibraryVersion);
            helper.DeleteAction(1);  // enrol afresh
            foreach (float[] recording in recordings)
            {
                Enrolment step = helper.AddSignature(1, recording);
                Console.WriteLine("enrolment: {0}, progress {1:0.00}", step.Error, step.Progress);
                if (step.Complete) break;
            }
            Identification found = helper.IdentifySignature(recordings[0]);
            Console.WriteLine(found.Identified ? "identified action " + found.Action
                                               : "not identified: " + found.Error);

            helper.SetCustomGesture("my gesture", recordings);
            CustomGestureMatch<string> match = helper.IdentifyNamedCustomGesture(recordings[0]);
            Console.WriteLine(match.Matched ? "custom gesture: " + match.Gesture : "no custom gesture");
        }
        return 0;
    }
}
