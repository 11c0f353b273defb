// C# binding of libgestal, the recogniser of tracked hand-controller motion. Drop this file into a
// project (it needs unsafe code allowed) and put libgestal.so where the runtime finds native
// libraries (next to the executable, a plug-in folder, or LD_LIBRARY_PATH).
//
//     using (var helper = new Gestal.ControllerHelper("/path/to/data/"))
//     {
//         Gestal.Enrolment step = helper.AddSignature(1, recording);   // repeat until step.Complete
//         Gestal.Identification found = helper.IdentifySignature(recording);
//     }
//
// A recording is a float[] (or Span<float>) of readings of ten floats each: time in milliseconds,
// primary motion x y z, secondary motion x y z, pointing direction x y z. Every callback of the C
// interface is a static method (ahead-of-time compilers such as IL2CPP refuse instance delegates)
// and its result comes back as the return value. Calls run on the caller's thread; the library
// serves one call at a time.

using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Gestal
{
    /// <summary>Error types of enrolment and identification (the C interface's GESTAL_ERROR_...).</summary>
    public enum ErrorType
    {
        None = 0,
        NoMatch = -1,
        TooShort = -201,
        BeyondLimits = -202,
        BadPosture = -203,
        TooSimple = -204,
        TooLittleMotion = -205,
        Inconsistent = -207,
        EnrolmentFailed = -208,
        SecondDiffers = -209,
        Locked = -301,
        EngineFailure = -500,
    }

    /// <summary>Host codes of the predefined gestures of the default model.</summary>
    public enum GestureCode
    {
        Heart = 1001,
        C = 1003,
        Down = 1006,
    }

    /// <summary>Matchers of custom gesture and signature identification (the C interface's
    /// GESTAL_MATCHER_...).</summary>
    public enum Matcher
    {
        Lcs = 0,
        Elastic = 1,
    }

    /// <summary>Levels of the lines the library writes.</summary>
    public enum LogLevel
    {
        Trace = 0,
        Info = 1,
        Error = 2,
    }

    /// <summary>A failure of the library: it could not do the work (the reason is in its log).</summary>
    public class GestalException : Exception
    {
        public GestalException(ErrorType errorType, string message) : base(message)
        {
            ErrorType = errorType;
        }

        public ErrorType ErrorType { get; }
    }

    /// <summary>One step of an enrolment.</summary>
    public struct Enrolment
    {
        public int Action;
        /// <summary>None, or why the performance was rejected (TooShort ... SecondDiffers).</summary>
        public ErrorType Error;
        /// <summary>0 to 1; 1 means the action is enrolled and stored.</summary>
        public float Progress;
        /// <summary>The performance's complexity level when it was rejected as TooSimple.</summary>
        public int Complexity;

        public bool Complete { get { return Error == ErrorType.None && Progress >= 1.0f; } }
    }

    /// <summary>The answer of an identification.</summary>
    public struct Identification
    {
        /// <summary>The identified action, or -1.</summary>
        public int Action;
        /// <summary>None, NoMatch or Locked.</summary>
        public ErrorType Error;
        /// <summary>After NoMatch: the failures left before the lock (with a lock policy).</summary>
        public int RemainingTrials;
        /// <summary>After NoMatch: the seconds of a lock that starts now; after Locked: the
        /// seconds left.</summary>
        public int LockSeconds;

        public bool Identified { get { return Error == ErrorType.None && Action >= 0; } }
    }

    /// <summary>A predefined gesture recognised with the default model.</summary>
    public struct GestureMatch
    {
        /// <summary>The gesture, or null when none matched.</summary>
        public GestureCode? Gesture;
        public float Score;
        public float Confidence;
    }

    /// <summary>A predefined gesture recognised with a model file of the host's.</summary>
    public struct NamedGestureMatch
    {
        /// <summary>The gesture's name, or "" when none matched.</summary>
        public string Name;
        public float Score;
        public float Confidence;
    }

    /// <summary>The custom gesture that a recording was identified as.</summary>
    public struct CustomGestureMatch<T>
    {
        /// <summary>Whether a gesture was identified; Gesture holds it only then.</summary>
        public bool Matched;
        public T Gesture;
        public float Confidence;
    }

    /// <summary>Marks a static method that native code calls back, for ahead-of-time compilers
    /// that look for this attribute by name.</summary>
    [AttributeUsage(AttributeTargets.Method)]
    public sealed class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type type)
        {
            Type = type;
        }

        public Type Type { get; }
    }

    /// <summary>The handle of the library's controller helper object; released with Shutdown.</summary>
    public sealed class HelperHandle : SafeHandle
    {
        public HelperHandle() : base(IntPtr.Zero, true)
        {
        }

        public override bool IsInvalid { get { return handle == IntPtr.Zero; } }

        protected override bool ReleaseHandle()
        {
            Native.Shutdown(handle);
            return true;
        }
    }

    /// <summary>Every exported function of libgestal, as declared in gestal.h.</summary>
    public static unsafe class Native
    {
        public const string Library = "gestal";

        [StructLayout(LayoutKind.Sequential)]
        public struct StatusBlock
        {
            public int Error;
            public int Progress;
            public int SecurityLevel;
        }

        [StructLayout(LayoutKind.Sequential)]
        public struct GestureVerifyResult
        {
            public int BestMatch;
            public float Score;
            public float Confidence;
        }

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void AddSignatureCallback(IntPtr action, StatusBlock* status, float progress,
                                                  int* securityLevel);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void IdentifySignatureCallback(IntPtr action, StatusBlock* status, int progress,
                                                       int securityLevel);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void VerifyGestureCallback(GestureVerifyResult* result, float score,
                                                   float confidence);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void VerifyPredefinedGestureCallback(IntPtr bestMatch, float score,
                                                             float confidence);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void SensorDataCallback(int controller, float* entry, ulong entryLength);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void MovementCallback(int controller, int movement);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void LogHandler(int level, IntPtr text, IntPtr userData);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern HelperHandle GetControllerHelperObject(byte* dbPath, ulong dbPathLength);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern HelperHandle GetControllerHelperObjectWithConfig(
            byte* dbPath, ulong dbPathLength, float trainMatchThreshold, float verifyMatchThreshold);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GetControllerHelperVersion(IntPtr ignored, out IntPtr version,
                                                               out ulong length);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void Shutdown(IntPtr handle);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetSensorDataCallback(HelperHandle handle, SensorDataCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetMovementCallback(HelperHandle handle, MovementCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void AddSignature(HelperHandle handle, int index, float* data,
                                               ulong numDataEntry, ulong entryLength,
                                               AddSignatureCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void IdentifySignature(HelperHandle handle, float* data, ulong numDataEntry,
                                                    ulong entryLength, int* index, ulong indexLength,
                                                    IdentifySignatureCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool DeleteAction(HelperHandle handle, int index);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int GetActionIndex(IntPtr action);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int GetErrorType(StatusBlock* status);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void VerifyGesture(HelperHandle handle, int* targets, ulong targetCount,
                                                float* data, ulong numDataEntry, ulong entryLength,
                                                VerifyGestureCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int GetGSGesture(GestureVerifyResult* result);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void VerifyPredefinedGesture(
            HelperHandle handle, byte* classifier, ulong classifierLength, ulong reserved1,
            ulong reserved2, byte* targets, int* targetLengths, ulong targetCount, float* data,
            ulong numDataEntry, ulong entryLength, VerifyPredefinedGestureCallback callback);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int GetResultGesture(IntPtr name, byte* buffer, ulong bufferSize);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern float VerifySingleGesture(HelperHandle handle, int gesture, float* data,
                                                       ulong numDataEntry, ulong entryLength);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetCustomGesture(HelperHandle handle, int index, float* data,
                                                   ulong numOfData, int* lengths, int* entryLengths);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetCustomGestureStr(HelperHandle handle, byte* name, ulong nameLength,
                                                      float* data, ulong numOfData, int* lengths,
                                                      int* entryLengths);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr IdentifyCustomGesture(HelperHandle handle, int* targets,
                                                          ulong targetCount, float* data,
                                                          ulong numDataEntry, ulong entryLength);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr IdentifyCustomGestureStr(HelperHandle handle, byte* targets,
                                                             ulong targetCount, int* targetLengths,
                                                             float* data, ulong numDataEntry,
                                                             ulong entryLength);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int GetGSCustomGestureRecognizeGestureInt(IntPtr result);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void GetGSCustomGestureRecognizeGestureStr(IntPtr result, byte* buffer,
                                                                        ulong bufferSize);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern float GetGSCustomGestureRecognizeGestureConfidence(IntPtr result);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void DeleteGSCustomGestureRecognizeGesture(IntPtr result);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool IsCustomGestureExisted(HelperHandle handle, float* data,
                                                         ulong numDataEntry, ulong entryLength);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool IsTwoGestureSimilar(HelperHandle handle, float* data1,
                                                      ulong numDataEntry1, ulong entryLength1,
                                                      float* data2, ulong numDataEntry2,
                                                      ulong entryLength2);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool SetTriggeringMask(HelperHandle handle, ulong controller, ulong keys,
                                                    ulong flag);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetTriggerStartKeys(HelperHandle handle, int controllers, ulong keys,
                                                      [MarshalAs(UnmanagedType.U1)] bool flag);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void SetTriggerEndKeys(HelperHandle handle, int controllers, ulong keys,
                                                    [MarshalAs(UnmanagedType.U1)] bool flag);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ClearTriggerStartKeys(HelperHandle handle, int controllers);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void ClearTriggerEndKeys(HelperHandle handle, int controllers);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void GestalSetLogHandler(LogHandler handler, IntPtr userData);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool GestalSetLockPolicy(HelperHandle handle, int maxFailedTrials,
                                                      int lockTimeSeconds);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool GestalSetMatcher(HelperHandle handle, int matcher);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return: MarshalAs(UnmanagedType.U1)]
        public static extern bool GestalSetMinConfidence(HelperHandle handle, float minConfidence);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr GestalVersion();
    }

    /// <summary>
    /// The library's controller helper object for one database directory. The library keeps one
    /// per process: helpers on the same directory with the same thresholds share it (it ends when
    /// the last of them is disposed), and a helper on another directory is refused while one is
    /// open.
    /// </summary>
    public sealed unsafe class ControllerHelper : IDisposable
    {
        private const int Fields = 10;

        // The one helper of the process, shared by every ControllerHelper on it.
        private static readonly object Gate = new object();
        private static HelperHandle shared;
        private static string sharedKey;
        private static int sharedUsers;

        // Callback results: the library calls back on the calling thread before it returns.
        [ThreadStatic] private static Enrolment enrolment;
        [ThreadStatic] private static Identification identification;
        [ThreadStatic] private static GestureMatch gestureMatch;
        [ThreadStatic] private static NamedGestureMatch namedMatch;

        // Kept alive for as long as the library may call them.
        private static readonly Native.AddSignatureCallback OnEnrolled = Enrolled;
        private static readonly Native.IdentifySignatureCallback OnIdentified = Identified;
        private static readonly Native.VerifyGestureCallback OnVerified = Verified;
        private static readonly Native.VerifyPredefinedGestureCallback OnVerifiedNamed = VerifiedNamed;
        private static readonly Native.LogHandler OnLine = Line;
        private static Action<LogLevel, string> logHandler;

        private HelperHandle handle;

        /// <summary>Opens the helper for `directory` (created when missing; a trailing '/' is
        /// added when it lacks one). Throws GestalException when the library cannot open its
        /// databases there, or when a helper on another directory is open.</summary>
        public ControllerHelper(string directory, float trainMatchThreshold = 1.0f,
                                float verifyMatchThreshold = 1.0f)
        {
            if (directory == null) throw new ArgumentNullException("directory");
            System.IO.Directory.CreateDirectory(directory);
            if (!directory.EndsWith("/", StringComparison.Ordinal)) directory += "/";
            string key = directory + "|" + trainMatchThreshold.ToString("R") + "|" +
                         verifyMatchThreshold.ToString("R");
            lock (Gate)
            {
                if (shared != null && sharedKey != key)
                {
                    throw new GestalException(ErrorType.EngineFailure,
                                              "a controller helper on another directory or with other thresholds is open: " +
                                              sharedKey);
                }
                if (shared == null)
                {
                    byte[] path = Encoding.UTF8.GetBytes(directory);
                    HelperHandle created;
                    fixed (byte* p = path)
                    {
                        created = Native.GetControllerHelperObjectWithConfig(
                            p, (ulong)path.Length, trainMatchThreshold, verifyMatchThreshold);
                    }
                    if (created.IsInvalid)
                    {
                        created.SetHandleAsInvalid();
                        throw new GestalException(ErrorType.EngineFailure,
                                                  "the library could not open its databases in " + directory);
                    }
                    shared = created;
                    sharedKey = key;
                }
                ++sharedUsers;
                handle = shared;
            }
        }

        /// <summary>The version of the loaded library, GESTAL_VERSION_STRING.</summary>
        public static string LibraryVersion
        {
            get { return Marshal.PtrToStringAnsi(Native.GestalVersion()); }
        }

        /// <summary>The version of the C interface, "1.00".</summary>
        public static string InterfaceVersion
        {
            get
            {
                IntPtr text;
                ulong length;
                Native.GetControllerHelperVersion(IntPtr.Zero, out text, out length);
                if (text == IntPtr.Zero) throw new OutOfMemoryException();
                string version = Marshal.PtrToStringAnsi(text, (int)length);
                Marshal.FreeHGlobal(text);  // the library's malloc: free() on every platform it builds for
                return version;
            }
        }

        /// <summary>Sends every line the library writes (trace, messages, failures) to `handler`
        /// instead of stdout and stderr; a handler that does nothing silences it; null restores the
        /// standard streams. Process-wide. The handler runs inside the library's call and must not
        /// throw or call the library.</summary>
        public static void SetLogHandler(Action<LogLevel, string> handler)
        {
            logHandler = handler;
            Native.GestalSetLogHandler(handler != null ? OnLine : null, IntPtr.Zero);
        }

        /// <summary>Locks an action after `maxFailedTrials` failed identifications in a row (those
        /// before the call count), for `lockTimeSeconds` after the newest; a negative time locks
        /// until the action is deleted, 0 trials switch the policy off. Without this call the
        /// limit is 2147483647 failures.</summary>
        public void SetLockPolicy(int maxFailedTrials, int lockTimeSeconds)
        {
            if (!Native.GestalSetLockPolicy(Handle, maxFailedTrials, lockTimeSeconds))
            {
                throw new GestalException(ErrorType.EngineFailure, "the lock policy was refused");
            }
        }

        /// <summary>Chooses the matcher of custom gesture and signature identification (Lcs, the
        /// default, or Elastic); either works on what the other stored, so a switch needs no new
        /// recordings. docs/recognition.md compares them.</summary>
        public void SetMatcher(Matcher matcher)
        {
            if (!Native.GestalSetMatcher(Handle, (int)matcher))
            {
                throw new GestalException(ErrorType.EngineFailure, "the matcher " + matcher + " was refused");
            }
        }

        /// <summary>The confidence an elastic match needs for an answer, 1.0 by default (the limit
        /// of acceptance); 0 answers the nearest gesture or action. Negative values and NaN are
        /// refused.</summary>
        public void SetMinConfidence(float minConfidence)
        {
            if (!Native.GestalSetMinConfidence(Handle, minConfidence))
            {
                throw new GestalException(ErrorType.EngineFailure,
                                          "the minimum confidence " + minConfidence + " was refused");
            }
        }

        /// <summary>Adds one performance to the enrolment of `action` (above 0).</summary>
        public Enrolment AddSignature(int action, ReadOnlySpan<float> recording)
        {
            ulong readings = Readings(recording, "recording");
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            {
                Native.AddSignature(Handle, action, data, readings, Fields, OnEnrolled);
            }
            return Checked(enrolment.Error, "AddSignature", enrolment);
        }

        /// <summary>Which of `candidates` (every enrolled action when none are given) the
        /// performance belongs to.</summary>
        public Identification IdentifySignature(ReadOnlySpan<float> recording, params int[] candidates)
        {
            ulong readings = Readings(recording, "recording");
            candidates = candidates ?? new int[0];
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            fixed (int* indexes = candidates)
            {
                Native.IdentifySignature(Handle, data, readings, Fields, indexes,
                                         (ulong)candidates.Length, OnIdentified);
            }
            return Checked(identification.Error, "IdentifySignature", identification);
        }

        /// <summary>Deletes the action, its signatures and its failure history.</summary>
        public void DeleteAction(int action)
        {
            Native.DeleteAction(Handle, action);
        }

        /// <summary>The predefined gesture of the default model (the file
        /// "gestal_gesture_adaboost" in the database directory) among `targets` (all when none
        /// are given).</summary>
        public GestureMatch VerifyGesture(ReadOnlySpan<float> recording, params GestureCode[] targets)
        {
            ulong readings = Readings(recording, "recording");
            targets = targets ?? new GestureCode[0];
            int[] codes = Array.ConvertAll(targets, code => (int)code);
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            fixed (int* p = codes)
            {
                Native.VerifyGesture(Handle, p, (ulong)codes.Length, data, readings, Fields, OnVerified);
            }
            return gestureMatch;
        }

        /// <summary>The predefined gesture of the model file `model` (in the database directory)
        /// among the gestures named `targets` (all when none are given).</summary>
        public NamedGestureMatch VerifyPredefinedGesture(string model, ReadOnlySpan<float> recording,
                                                         params string[] targets)
        {
            ulong readings = Readings(recording, "recording");
            byte[] modelName = Encoding.UTF8.GetBytes(model);
            int[] lengths;
            byte[] names = Concatenated(targets, out lengths);
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            fixed (byte* m = modelName)
            fixed (byte* n = names)
            fixed (int* l = lengths)
            {
                Native.VerifyPredefinedGesture(Handle, m, (ulong)modelName.Length, 0, 0, n, l,
                                               (ulong)lengths.Length, data, readings, Fields,
                                               OnVerifiedNamed);
            }
            return namedMatch;
        }

        /// <summary>The boosted score of one predefined gesture of the default model.</summary>
        public float VerifySingleGesture(GestureCode gesture, ReadOnlySpan<float> recording)
        {
            ulong readings = Readings(recording, "recording");
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            {
                return Native.VerifySingleGesture(Handle, (int)gesture, data, readings, Fields);
            }
        }

        /// <summary>Stores the recordings as custom gesture `index`, replacing what was stored;
        /// no recordings delete it.</summary>
        public void SetCustomGesture(int index, params float[][] recordings)
        {
            int[] lengths, entryLengths;
            float[] data = Concatenated(recordings, out lengths, out entryLengths);
            fixed (float* d = data)
            fixed (int* l = lengths)
            fixed (int* e = entryLengths)
            {
                Native.SetCustomGesture(Handle, index, d, (ulong)lengths.Length, l, e);
            }
        }

        /// <summary>Stores the recordings as the custom gesture named `name` (any text).</summary>
        public void SetCustomGesture(string name, params float[][] recordings)
        {
            if (name == null) throw new ArgumentNullException("name");
            byte[] bytes = Encoding.UTF8.GetBytes(name);
            int[] lengths, entryLengths;
            float[] data = Concatenated(recordings, out lengths, out entryLengths);
            fixed (byte* n = bytes)
            fixed (float* d = data)
            fixed (int* l = lengths)
            fixed (int* e = entryLengths)
            {
                Native.SetCustomGestureStr(Handle, n, (ulong)bytes.Length, d, (ulong)lengths.Length, l, e);
            }
        }

        /// <summary>The custom gesture among `targets` (every stored numbered gesture when none
        /// are given) that the recording is.</summary>
        public CustomGestureMatch<int> IdentifyCustomGesture(ReadOnlySpan<float> recording,
                                                             params int[] targets)
        {
            ulong readings = Readings(recording, "recording");
            targets = targets ?? new int[0];
            IntPtr result;
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            fixed (int* t = targets)
            {
                result = Native.IdentifyCustomGesture(Handle, t, (ulong)targets.Length, data, readings,
                                                      Fields);
            }
            if (result == IntPtr.Zero) throw new OutOfMemoryException();
            try
            {
                int index = Native.GetGSCustomGestureRecognizeGestureInt(result);
                return new CustomGestureMatch<int>
                {
                    Matched = index != -1,
                    Gesture = index,
                    Confidence = Native.GetGSCustomGestureRecognizeGestureConfidence(result),
                };
            }
            finally
            {
                Native.DeleteGSCustomGestureRecognizeGesture(result);
            }
        }

        /// <summary>The named custom gesture among `targets` (every stored named gesture when none
        /// are given) that the recording is.</summary>
        public CustomGestureMatch<string> IdentifyNamedCustomGesture(ReadOnlySpan<float> recording,
                                                                     params string[] targets)
        {
            ulong readings = Readings(recording, "recording");
            int[] lengths;
            byte[] names = Concatenated(targets, out lengths);
            IntPtr result;
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            fixed (byte* n = names)
            fixed (int* l = lengths)
            {
                result = Native.IdentifyCustomGestureStr(Handle, n, (ulong)lengths.Length, l, data,
                                                         readings, Fields);
            }
            if (result == IntPtr.Zero) throw new OutOfMemoryException();
            try
            {
                // Room for the longest target name; stored names of any length when there are none.
                byte[] buffer = new byte[Math.Max(names.Length + 1, 4096)];
                fixed (byte* b = buffer)
                {
                    Native.GetGSCustomGestureRecognizeGestureStr(result, b, (ulong)buffer.Length);
                }
                string name = Encoding.UTF8.GetString(buffer, 0, Array.IndexOf(buffer, (byte)0));
                return new CustomGestureMatch<string>
                {
                    Matched = name.Length > 0,
                    Gesture = name.Length > 0 ? name : null,
                    Confidence = Native.GetGSCustomGestureRecognizeGestureConfidence(result),
                };
            }
            finally
            {
                Native.DeleteGSCustomGestureRecognizeGesture(result);
            }
        }

        /// <summary>Whether the recording resembles any stored numbered custom gesture.</summary>
        public bool IsCustomGestureExisted(ReadOnlySpan<float> recording)
        {
            ulong readings = Readings(recording, "recording");
            fixed (float* data = &MemoryMarshal.GetReference(recording))
            {
                return Native.IsCustomGestureExisted(Handle, data, readings, Fields);
            }
        }

        /// <summary>Whether two recordings are the same gesture.</summary>
        public bool IsTwoGestureSimilar(ReadOnlySpan<float> first, ReadOnlySpan<float> second)
        {
            ulong firstReadings = Readings(first, "first");
            ulong secondReadings = Readings(second, "second");
            fixed (float* a = &MemoryMarshal.GetReference(first))
            fixed (float* b = &MemoryMarshal.GetReference(second))
            {
                return Native.IsTwoGestureSimilar(Handle, a, firstReadings, Fields, b, secondReadings,
                                                  Fields);
            }
        }

        /// <summary>Ends this helper; the library's helper ends with the last one on it.</summary>
        public void Dispose()
        {
            lock (Gate)
            {
                if (handle == null) return;
                handle = null;
                if (--sharedUsers == 0)
                {
                    shared.Dispose();
                    shared = null;
                    sharedKey = null;
                }
            }
        }

        /// <summary>The library's handle, for the functions of Native that take one (trigger keys,
        /// callbacks kept for the host). Throws ObjectDisposedException after Dispose.</summary>
        public HelperHandle Handle
        {
            get
            {
                HelperHandle current = handle;
                if (current == null) throw new ObjectDisposedException("ControllerHelper");
                return current;
            }
        }

        private static T Checked<T>(ErrorType error, string call, T result)
        {
            if (error == ErrorType.EngineFailure)
            {
                throw new GestalException(error, call + " failed; the library logged the reason");
            }
            return result;
        }

        private static ulong Readings(ReadOnlySpan<float> recording, string name)
        {
            if (recording.Length % Fields != 0)
            {
                throw new ArgumentException("a recording holds readings of ten floats, not " +
                                            recording.Length + " floats", name);
            }
            return (ulong)(recording.Length / Fields);
        }

        private static float[] Concatenated(float[][] recordings, out int[] lengths,
                                            out int[] entryLengths)
        {
            recordings = recordings ?? new float[0][];
            lengths = new int[recordings.Length];
            entryLengths = new int[recordings.Length];
            int total = 0;
            for (int i = 0; i < recordings.Length; ++i)
            {
                lengths[i] = (int)Readings(recordings[i], "recordings");
                entryLengths[i] = Fields;
                total += recordings[i].Length;
            }
            float[] data = new float[total];
            int position = 0;
            foreach (float[] recording in recordings)
            {
                Array.Copy(recording, 0, data, position, recording.Length);
                position += recording.Length;
            }
            return data;
        }

        private static byte[] Concatenated(string[] names, out int[] lengths)
        {
            names = names ?? new string[0];
            lengths = new int[names.Length];
            var all = new System.IO.MemoryStream();
            for (int i = 0; i < names.Length; ++i)
            {
                byte[] bytes = Encoding.UTF8.GetBytes(names[i]);
                lengths[i] = bytes.Length;
                all.Write(bytes, 0, bytes.Length);
            }
            return all.ToArray();
        }

        [MonoPInvokeCallback(typeof(Native.AddSignatureCallback))]
        private static void Enrolled(IntPtr action, Native.StatusBlock* status, float progress,
                                     int* securityLevel)
        {
            enrolment = new Enrolment
            {
                Action = Native.GetActionIndex(action),
                Error = (ErrorType)Native.GetErrorType(status),
                Progress = progress,
                Complexity = *securityLevel,
            };
        }

        [MonoPInvokeCallback(typeof(Native.IdentifySignatureCallback))]
        private static void Identified(IntPtr action, Native.StatusBlock* status, int progress,
                                       int securityLevel)
        {
            identification = new Identification
            {
                Action = Native.GetActionIndex(action),
                Error = (ErrorType)Native.GetErrorType(status),
                RemainingTrials = progress,
                LockSeconds = securityLevel,
            };
        }

        [MonoPInvokeCallback(typeof(Native.VerifyGestureCallback))]
        private static void Verified(Native.GestureVerifyResult* result, float score, float confidence)
        {
            GestureCode? gesture = null;
            switch (result->BestMatch)
            {
                case 0: gesture = GestureCode.Heart; break;
                case 1: gesture = GestureCode.C; break;
                case 2: gesture = GestureCode.Down; break;
            }
            gestureMatch = new GestureMatch { Gesture = gesture, Score = score, Confidence = confidence };
        }

        [MonoPInvokeCallback(typeof(Native.VerifyPredefinedGestureCallback))]
        private static void VerifiedNamed(IntPtr bestMatch, float score, float confidence)
        {
            byte[] buffer = new byte[4096];
            fixed (byte* b = buffer)
            {
                Native.GetResultGesture(bestMatch, b, (ulong)buffer.Length);
            }
            namedMatch = new NamedGestureMatch
            {
                Name = Encoding.UTF8.GetString(buffer, 0, Array.IndexOf(buffer, (byte)0)),
                Score = score,
                Confidence = confidence,
            };
        }

        [MonoPInvokeCallback(typeof(Native.LogHandler))]
        private static void Line(int level, IntPtr text, IntPtr userData)
        {
            Action<LogLevel, string> handler = logHandler;
            if (handler == null) return;
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0) ++length;
            byte[] bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            try
            {
                handler((LogLevel)level, Encoding.UTF8.GetString(bytes));
            }
            catch (Exception)
            {
                // An exception must not unwind through the library's frames; the line is lost.
            }
        }
    }
}
