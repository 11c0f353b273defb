/*
 * gestal.h: the C interface of libgestal, a recogniser of tracked hand-controller motion.
 *
 * A host loads libgestal.so, creates the controller helper object once with
 * GetControllerHelperObject or GetControllerHelperObjectWithConfig, passes it recorded motion and
 * calls Shutdown at the end. All calls are synchronous and run on the caller's thread. Callbacks
 * run inside the call that takes them, just before it returns.
 *
 * Threads. Every function may be called from any thread. The library starts no thread; its
 * functions take one process-wide lock, so calls from several threads run one after another. The
 * lock is recursive: a callback may call any function of this header on its own thread, the
 * record readers, another recognition call, Shutdown and the create calls included (an engine
 * replaced that way is released once the call that runs the callback no longer uses it). A
 * callback must not wait for another thread that calls the library, which would wait for the lock
 * forever. GetControllerHelperVersion, GetActionIndex, GetErrorType and GestalVersion take no
 * lock.
 *
 * Recordings. A recording is `numDataEntry` readings ("entries") of `entryLength` floats each, in
 * row-major order: entry i, field k is data[i * entryLength + k]. The ten fields of a reading are
 *   0     time in milliseconds since the first reading of the recording,
 *   1..3  primary motion vector x, y, z: linear acceleration of the hand in m/s^2, gravity
 *         removed (all matching uses it; scaled by 100 and quantised),
 *   4..6  secondary motion vector x, y, z: angular velocity in rad/s (stored, not matched),
 *   7..9  controller pointing direction x, y, z, a unit vector (used by the posture check of
 *         enrolment, which refuses a first performance pointing mostly within 60 degrees of +z).
 * The three vectors share one right-handed, y-up frame fixed to the user: x to the user's right,
 * y up, z toward the user (the user faces -z). docs/input.md tells how to map other frames,
 * remove gravity and convert units.
 * Choices of this library for recordings that are not ten floats per entry:
 *   - entryLength 0, or numDataEntry 0, gives an empty recording;
 *   - entryLength 1 to 9 fills the missing fields of every entry with 0;
 *   - entryLength above 10 uses the first ten floats of each entry and steps over the rest
 *     (entry i still starts at i * entryLength);
 *   - a null `data` with a non-zero count gives an empty recording and one line on stderr;
 *   - a non-finite value (NaN, infinity) is stored as null; an enrolled signature reads it back
 *     as NaN, while a stored custom gesture sample holding one is skipped with a line on stderr.
 *
 * Trace. Every call that reaches the recogniser writes fixed trace lines to stdout (what was asked,
 * what was answered, how many milliseconds the engine took). Database messages go to stdout and
 * stderr. A host that wants them elsewhere, or not at all, installs a log handler
 * (GestalSetLogHandler, under Extensions below).
 *
 * Failures. No C++ exception ever leaves a function of this header. When the engine fails (no
 * helper was ever created, a database file cannot be read or written, a stored record is
 * corrupt, out of memory), the function prints one line to stderr, "gestal: <function> failed:
 * <reason>", and returns its neutral result: a null handle from the create calls (no handle
 * becomes current), false (DeleteAction included), 0.0f, -1, or a CustomGestureResult with an
 * empty match. AddSignature and IdentifySignature still call their callback, with
 * GESTAL_ERROR_ENGINE_FAILURE in the status block; VerifyGesture and VerifyPredefinedGesture still
 * call theirs with no match (bestMatch -1, or the empty name) and score and confidence 0.
 *
 * Stored data. Everything one call writes commits together, or nothing does: a call that fails has
 * stored nothing, and AddSignature holds nothing more either (the enrolment goes on as if that
 * call had not been made; an index of 0 or below, which can never be stored, holds no sample).
 * Each call but the create calls waits for at most one commit. A write fails when SQLite reports a
 * full disk, a read-only or unopenable file, an I/O error, a damaged file, or a lock that another
 * process holds for more than 5 seconds; the reason then names the file and SQLite's message
 * ("gestal: AddSignature failed: data/gestal.db: database or disk is full"). A file whose tables
 * or rows are not what the library expects (an empty file, a missing table) is no such failure:
 * the statement prints "<operation> SQL error: <message>", the call goes on with what it has and
 * commits what succeeded. A stored value that does not read back fails the call with a reason
 * naming the file, the table and the row. A new database file is built complete under a
 * temporary name in the same directory and then linked into place: a crash never leaves a file
 * without its tables, and a creation never replaces a file that another process made (it opens
 * that one instead). A temporary file that a killed process left ("<file>.creating-<pid>-<n>",
 * older than a minute, its process gone) is removed by the next creation of that file. Several
 * processes may share a directory; each waits for the others' locks as described. What the library
 * keeps of the files between calls (decoded signatures, counts, failed identifications, the list of
 * custom gesture rows) is checked against the file once per call and dropped when another
 * connection or process has changed it, or when a call's writes were rolled back: every answer is
 * the one the file gives at that call. (The custom gestures that an identification has read stay as
 * they were first read until the helper is created again.) A call returns once its commit is on the
 * disk (SQLite's full synchronisation with its rollback journal, which the library leaves as they
 * are): a completed operation survives the end of the process and of the machine. That wait is most
 * of the time a writing call takes on a slow disk. An identification that has nothing to store
 * takes no write lock.
 *
 * Numbers stored as text (recordings, model weights) are read and written the same way whatever
 * locale the host has set (setlocale, std::locale::global): always with a full stop as decimal
 * point.
 *
 * Predefined gesture models. A model file with a weight (weak_classifier.alpha) or id that is not
 * a number, or a weight that is not finite, is refused as corrupt: every call that uses it fails
 * as described above (VerifySingleGesture returns 0.0f; the callbacks of VerifyGesture and
 * VerifyPredefinedGesture get no match and score and confidence 0), with a line naming the file,
 * the table and the row, until the file is repaired.
 *
 * Files. The database directory text is used as given: file names are appended to it directly, so
 * it must end with '/' when a directory is meant ("data/" gives "data/gestal.db", "data" gives
 * "datagestal.db"). The library keeps "gestal.db" (enrolled signatures) and "gestal_custom.db"
 * (custom gestures) there and reads predefined gesture models from it (by default the file
 * "gestal_gesture_adaboost").
 */
#ifndef GESTAL_H
#define GESTAL_H

#include <stdbool.h>
#include <stdint.h>

/* The version of this library (of the package; GetControllerHelperVersion reports the version of
 * the interface, "1.00"). The same numbers name the shared library file: libgestal.so.1 is major
 * version 1, and every 1.x keeps the interface of 1.0. */
#define GESTAL_VERSION_MAJOR 1
#define GESTAL_VERSION_MINOR 1
#define GESTAL_VERSION_PATCH 0
#define GESTAL_VERSION_STRING "1.1.0"

/* GESTAL_API marks the functions of the library. A host defines nothing: on Windows the functions
 * are imported from the DLL (define GESTAL_STATIC when linking a static build instead); the
 * library's own build defines GESTAL_BUILDING_LIBRARY to export them. */
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(GESTAL_BUILDING_LIBRARY)
#define GESTAL_API __declspec(dllexport)
#elif defined(GESTAL_STATIC)
#define GESTAL_API
#else
#define GESTAL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define GESTAL_API __attribute__((visibility("default")))
#else
#define GESTAL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Records and types the host sees
 * ------------------------------------------------------------------------------------------- */

/* Opaque helper handle returned by the create calls. */
typedef struct GestalHandleCell* GestalHandle;

/* Opaque action record (enrolment and identification result). Valid only inside the callback that
 * receives it; read it with GetActionIndex. */
typedef struct GestalAction GestalAction;

/* Opaque best-match name of VerifyPredefinedGesture. Valid only inside the callback; copy it out
 * with GetResultGesture. */
typedef struct GestalGestureName GestalGestureName;

/* Result of IdentifyCustomGesture / IdentifyCustomGestureStr. Owned by the host, which releases it
 * with DeleteGSCustomGestureRecognizeGesture. Read it with the
 * GetGSCustomGestureRecognizeGesture... functions. */
typedef struct CustomGestureResult CustomGestureResult;

/* The `progress` field of a status block: a float after enrolment, an integer after
 * identification. */
typedef union GestalProgress {
  float asFloat;
  int32_t asInt;
} GestalProgress;

/* The status block: the last three 32-bit fields of an action record. */
typedef struct GestalStatusBlock {
  int32_t error;           /* one of the GESTAL_ERROR_... values */
  GestalProgress progress; /* enrolment: progress 0.0 to 1.0; identification: remaining trials */
  int32_t securityLevel;   /* enrolment: complexity level; identification: lock seconds */
} GestalStatusBlock;

/* Result of VerifyGesture. */
typedef struct GestureVerifyResult {
  int32_t bestMatch; /* gesture index 0 (HEART), 1 (C), 2 (DOWN), or -1 for none */
  float score;
  float confidence;
} GestureVerifyResult;

/* Error types found in GestalStatusBlock.error. */
#define GESTAL_ERROR_NONE 0
#define GESTAL_ERROR_NO_MATCH (-1)
#define GESTAL_ERROR_TOO_SHORT (-201)
#define GESTAL_ERROR_BEYOND_LIMITS (-202)
#define GESTAL_ERROR_BAD_POSTURE (-203)
#define GESTAL_ERROR_TOO_SIMPLE (-204)
#define GESTAL_ERROR_TOO_LITTLE_MOTION (-205)
#define GESTAL_ERROR_INCONSISTENT (-207)
#define GESTAL_ERROR_ENROLMENT_FAILED (-208)
#define GESTAL_ERROR_SECOND_DIFFERS (-209)
#define GESTAL_ERROR_LOCKED (-301)
/* The engine could not do the work (see Failures above). */
#define GESTAL_ERROR_ENGINE_FAILURE (-500)

/* Host codes of the predefined gestures of the default model. */
#define GESTAL_GESTURE_HEART 1001
#define GESTAL_GESTURE_C 1003
#define GESTAL_GESTURE_DOWN 1006

/* Callbacks. Every pointer they receive points into the calling function's frame and dies when it
 * returns: copy what you need inside the callback. */
typedef void (*GestalAddSignatureCallback)(GestalAction* action, GestalStatusBlock* status,
                                           float progress, int32_t* securityLevel);
typedef void (*GestalIdentifySignatureCallback)(GestalAction* action, GestalStatusBlock* status,
                                                int32_t progress, int32_t securityLevel);
typedef void (*GestalVerifyGestureCallback)(GestureVerifyResult* result, float score,
                                            float confidence);
typedef void (*GestalVerifyPredefinedGestureCallback)(const GestalGestureName* bestMatch,
                                                      float score, float confidence);
/* Stored for the host and never called by the library; the argument lists are the library's
 * proposal for hosts that forward controller data through them. */
typedef void (*GestalSensorDataCallback)(int32_t controller, const float* entry,
                                         uint64_t entryLength);
typedef void (*GestalMovementCallback)(int32_t controller, int32_t movement);

/* ---------------------------------------------------------------------------------------------
 * Creation, version, shutdown
 * ------------------------------------------------------------------------------------------- */

/* Same as GetControllerHelperObjectWithConfig(dbPath, dbPathLength, 1.0f, 1.0f). */
GESTAL_API GestalHandle GetControllerHelperObject(const char* dbPath, uint64_t dbPathLength);

/* Creates the controller helper object and its engine for the database directory given by the
 * `dbPathLength` bytes at `dbPath` (no terminating zero needed; null only with length 0), with the
 * match thresholds of enrolment and identification (1.0 is the usual value). Returns the handle.
 * If a helper already exists, returns its handle unchanged and ignores the arguments. Returns null
 * (and prints one line on stderr) when the engine cannot be created, for instance when the
 * signature database cannot be opened, and when a threshold is NaN, infinite or negative (then
 * nothing is created). The handle stays valid until Shutdown; no later create returns the same
 * handle value again. */
GESTAL_API GestalHandle GetControllerHelperObjectWithConfig(const char* dbPath,
                                                            uint64_t dbPathLength,
                                                            float trainMatchThreshold,
                                                            float verifyMatchThreshold);

/* Allocates a buffer holding "1.00" and its terminating zero, stores its address through `version`
 * and 4 through `length` (either may be null) and returns the address. The buffer comes from
 * malloc and belongs to the host, which may release it with free. The first argument is ignored.
 * Returns null when the allocation fails. */
GESTAL_API char* GetControllerHelperVersion(void* ignored, char** version, uint64_t* length);

/* Ends the current helper object and its trigger tables and callbacks. Does nothing when no helper
 * exists; a handle other than the current one is refused with a line on stderr. The engine and
 * its databases stay in use until a later create call replaces them, so the recognition calls
 * keep working after Shutdown; a replaced engine is released with its open files. The handle is
 * dangling afterwards. */
GESTAL_API void Shutdown(GestalHandle handle);

/* ---------------------------------------------------------------------------------------------
 * Motion signatures
 * ------------------------------------------------------------------------------------------- */

/* Adds one performance to the enrolment of action `index` (an integer above 0). The callback (may
 * be null) receives the action record, its status block (error 0 or -201..-209, progress 0.0 to
 * 1.0, complexity level), the progress as a float and a pointer to the status block's
 * securityLevel. Progress 1.0 means the enrolment is complete and stored. */
GESTAL_API void AddSignature(GestalHandle handle, int32_t index, const float* data,
                             uint64_t numDataEntry, uint64_t entryLength,
                             GestalAddSignatureCallback callback);

/* Identifies which of the actions listed in `index` (`indexLength` of them; 0 means every enrolled
 * action; `index` may be null only then) the recording belongs to. The callback (may be null)
 * receives the action record (GetActionIndex gives the action, -1 for none), its status block
 * (error 0, -1 or -301), the remaining trials and the lock seconds. With `indexLength` 0 the first
 * trace line shows -1 as the first candidate. */
GESTAL_API void IdentifySignature(GestalHandle handle, const float* data, uint64_t numDataEntry,
                                  uint64_t entryLength, const int32_t* index, uint64_t indexLength,
                                  GestalIdentifySignatureCallback callback);

/* Deletes action `index` with its signatures and histories and ends an open enrolment of it.
 * Returns true, also for an action that never existed; false when the deletion could not be
 * stored (see Stored data). */
GESTAL_API bool DeleteAction(GestalHandle handle, int32_t index);

/* The action index of an action record; -1 for a null pointer. */
GESTAL_API int32_t GetActionIndex(const GestalAction* action);

/* The error type of a status block; 0 for a null pointer. */
GESTAL_API int32_t GetErrorType(const GestalStatusBlock* status);

/* ---------------------------------------------------------------------------------------------
 * Predefined gestures
 * ------------------------------------------------------------------------------------------- */

/* Recognises the recording among the predefined gestures named by host codes (GESTAL_GESTURE_...;
 * other codes are traced and skipped; `targets` may be null only when `targetCount` is 0, which
 * means every gesture of the model). Uses the model file "gestal_gesture_adaboost" in the database
 * directory. The callback (may be null) receives the result, its score and its confidence. */
GESTAL_API void VerifyGesture(GestalHandle handle, const int32_t* targets, uint64_t targetCount,
                              const float* data, uint64_t numDataEntry, uint64_t entryLength,
                              GestalVerifyGestureCallback callback);

/* Prints a trace line and returns bestMatch of the result; -1 for a null pointer. */
GESTAL_API int32_t GetGSGesture(const GestureVerifyResult* result);

/* Recognises the recording with the model file named by the `classifierLength` bytes at
 * `classifier`, among the gestures whose names lie one after another at `targets`, name i being
 * targetLengths[i] bytes long (`targetCount` names; 0 means every gesture of the model). The two
 * 64-bit arguments after the classifier name are ignored. The callback (may be null) receives the
 * best-matching name (read it with GetResultGesture), the score and the confidence. At most 8 model
 * files stay open: using a ninth closes the least recently used one, which is read again from its
 * file when it is next used. */
GESTAL_API void VerifyPredefinedGesture(GestalHandle handle, const char* classifier,
                                        uint64_t classifierLength, uint64_t reserved1,
                                        uint64_t reserved2, const char* targets,
                                        const int32_t* targetLengths, uint64_t targetCount,
                                        const float* data, uint64_t numDataEntry,
                                        uint64_t entryLength,
                                        GestalVerifyPredefinedGestureCallback callback);

/* Zero-fills the `bufferSize` bytes at `buffer`, then copies the name and its terminating zero
 * into it. Returns 0, or ERANGE (34) with the buffer left all zero when it is too small, or
 * EINVAL (22) when `name` or `buffer` is null; both failures also print one line on stderr. */
GESTAL_API int32_t GetResultGesture(const GestalGestureName* name, char* buffer,
                                    uint64_t bufferSize);

/* The boosted score of one predefined gesture (host code) for the recording; 0 for an unknown
 * code or model failure. */
GESTAL_API float VerifySingleGesture(GestalHandle handle, int32_t gesture, const float* data,
                                     uint64_t numDataEntry, uint64_t entryLength);

/* ---------------------------------------------------------------------------------------------
 * Custom gestures
 * ------------------------------------------------------------------------------------------- */

/* Stores `numOfData` recordings as custom gesture `index` (name space "player"), replacing what was
 * stored for it; 0 recordings delete it. Recording i is lengths[i] entries of entryLengths[i]
 * floats and starts right after recording i - 1 in `data`. A negative length or entry length is
 * taken as 0; null `lengths` or `entryLengths` (or null `data` for a non-empty recording) refuse
 * the call with a line on stderr and leave the stored gesture as it was. A gesture already used
 * by an identification in this process keeps the samples that identification saw until the
 * library is loaded again. */
GESTAL_API void SetCustomGesture(GestalHandle handle, int32_t index, const float* data,
                                 uint64_t numOfData, const int32_t* lengths,
                                 const int32_t* entryLengths);

/* As SetCustomGesture, for the gesture named by the `nameLength` bytes at `name` (name space
 * "smart"; any bytes are allowed and stored exactly). */
GESTAL_API void SetCustomGestureStr(GestalHandle handle, const char* name, uint64_t nameLength,
                                    const float* data, uint64_t numOfData, const int32_t* lengths,
                                    const int32_t* entryLengths);

/* Identifies the recording among the custom gestures `targets` (`targetCount` indexes; 0 means
 * every stored gesture of name space "player"). Returns a new result owned by the host (never
 * null unless memory runs out); its match is empty when no gesture was identified. */
GESTAL_API CustomGestureResult* IdentifyCustomGesture(GestalHandle handle, const int32_t* targets,
                                                      uint64_t targetCount, const float* data,
                                                      uint64_t numDataEntry, uint64_t entryLength);

/* As IdentifyCustomGesture for named gestures: the names lie one after another at `targets`, name i
 * being targetLengths[i] bytes long. */
GESTAL_API CustomGestureResult* IdentifyCustomGestureStr(GestalHandle handle, const char* targets,
                                                         uint64_t targetCount,
                                                         const int32_t* targetLengths,
                                                         const float* data, uint64_t numDataEntry,
                                                         uint64_t entryLength);

/* The matched gesture of an integer-indexed identification, read as a decimal integer; -1 when
 * nothing was matched, the match is not a number in the 32-bit range, or `result` is null (which
 * also prints one line on stderr). */
GESTAL_API int32_t GetGSCustomGestureRecognizeGestureInt(const CustomGestureResult* result);

/* Zero-fills the buffer, then copies the matched gesture name of a named identification (without
 * its five-character name-space prefix) and a terminating zero into it. When the buffer is too
 * small, or `result` or `buffer` is null, the buffer is left all zero and one line is printed on
 * stderr. */
GESTAL_API void GetGSCustomGestureRecognizeGestureStr(const CustomGestureResult* result,
                                                      char* buffer, uint64_t bufferSize);

/* The confidence of the match (the mean similarity of the matched gesture); 0, and one line on
 * stderr, for null. */
GESTAL_API float GetGSCustomGestureRecognizeGestureConfidence(const CustomGestureResult* result);

/* Releases a result; null is ignored. */
GESTAL_API void DeleteGSCustomGestureRecognizeGesture(CustomGestureResult* result);

/* Whether the recording resembles any stored custom gesture of name space "player". */
GESTAL_API bool IsCustomGestureExisted(GestalHandle handle, const float* data,
                                       uint64_t numDataEntry, uint64_t entryLength);

/* Whether two recordings are the same gesture. */
GESTAL_API bool IsTwoGestureSimilar(GestalHandle handle, const float* data1, uint64_t numDataEntry1,
                                    uint64_t entryLength1, const float* data2,
                                    uint64_t numDataEntry2, uint64_t entryLength2);

/* ---------------------------------------------------------------------------------------------
 * Trigger keys and callbacks kept for the host (the library stores them and never acts on them).
 * These take the current handle; a null handle, or a call when no helper exists, does nothing
 * (SetTriggeringMask then returns false).
 * ------------------------------------------------------------------------------------------- */

/* Stores {keys, flag} for controller 0 or 1. Returns false and stores nothing when `controller` > 1
 * or `flag` > 1. */
GESTAL_API bool SetTriggeringMask(GestalHandle handle, uint64_t controller, uint64_t keys,
                                  uint64_t flag);

/* `controllers` selects controller 0 when bit 0 is set, else controller 1 when bit 1 is set, else
 * nothing. The stored flag is 1 when `flag` is false and 0 when it is true. */
GESTAL_API void SetTriggerStartKeys(GestalHandle handle, int32_t controllers, uint64_t keys,
                                    bool flag);
GESTAL_API void SetTriggerEndKeys(GestalHandle handle, int32_t controllers, uint64_t keys,
                                  bool flag);
GESTAL_API void ClearTriggerStartKeys(GestalHandle handle, int32_t controllers);
GESTAL_API void ClearTriggerEndKeys(GestalHandle handle, int32_t controllers);

/* Store a host callback (null clears it). */
GESTAL_API void SetSensorDataCallback(GestalHandle handle, GestalSensorDataCallback callback);
GESTAL_API void SetMovementCallback(GestalHandle handle, GestalMovementCallback callback);

/* ---------------------------------------------------------------------------------------------
 * Extensions: host controls beyond the functions above. A host that never calls them sees the
 * library behave exactly as described above.
 * ------------------------------------------------------------------------------------------- */

/* Levels of the lines the library writes. */
#define GESTAL_LOG_TRACE 0 /* trace lines of the calls (stdout by default) */
#define GESTAL_LOG_INFO 1  /* informational database messages (stdout by default) */
#define GESTAL_LOG_ERROR 2 /* failures and database errors (stderr by default) */

/* Receives one line: its level, its text (zero-terminated, without the line break, valid only
 * during the call) and the `userData` given with the handler. It runs on the thread of the call
 * that writes the line, inside that call; it must not call back into the library, and must not
 * let an exception or a longjmp leave it. */
typedef void (*GestalLogHandler)(int32_t level, const char* text, void* userData);

/* Sends every line the library would write to stdout or stderr (trace lines, database messages,
 * failure reports) to `handler` instead, in the order written. A handler that does nothing silences
 * the library. Null restores the standard streams exactly. The handler is process-wide and stays
 * installed across Shutdown and later create calls. It takes the call lock, so a change waits for
 * a call running on another thread and never lands in the middle of one. */
GESTAL_API void GestalSetLogHandler(GestalLogHandler handler, void* userData);

/* Switches on the lock after failed identifications for the engine of the current helper
 * `handle`. The functions above leave it practically off: they record every failed identification
 * in "gestal.db" but fix the limit at 2147483647. With this call, once an action has failed
 * `maxFailedTrials` identifications in a row (failures recorded before the call count),
 * every IdentifySignature whose candidates include it (no candidates include every action)
 * answers GESTAL_ERROR_LOCKED, with the seconds left in securityLevel, until `lockTimeSeconds`
 * have passed since the newest failure. Before that, a failed identification reports the trials
 * left in `progress`, and the failure that reaches the limit reports the lock seconds in
 * `securityLevel`. A successful identification of the action clears its failures. A negative
 * `lockTimeSeconds` locks until the action is deleted; `maxFailedTrials` <= 0 or
 * `lockTimeSeconds` 0 switch the policy off entirely (failures are neither counted nor recorded).
 * The failures are stored, so a lock outlives the process; the policy applies to the engine of
 * this helper, also after Shutdown, until a later create call builds a new engine, which starts
 * with the defaults. Returns false, with one line on stderr, when `handle` is not the current
 * helper handle. */
GESTAL_API bool GestalSetLockPolicy(GestalHandle handle, int32_t maxFailedTrials,
                                    int32_t lockTimeSeconds);

/* Matchers of custom gesture and signature identification, for GestalSetMatcher. */
#define GESTAL_MATCHER_LCS 0     /* the matcher described above (motion symbols); the default */
#define GESTAL_MATCHER_ELASTIC 1 /* elastic matching of the whole signal; docs/recognition.md */

/* Chooses the matcher of IdentifyCustomGesture, IdentifyCustomGestureStr, IsCustomGestureExisted,
 * IsTwoGestureSimilar and IdentifySignature for the engine of the current helper `handle` (also
 * after Shutdown, until a later create call builds a new engine, which starts with
 * GESTAL_MATCHER_LCS). Nothing else changes: AddSignature enrols, SetCustomGesture stores and the
 * predefined gestures are recognised as described above, the files, rows and trace lines are the
 * same, and either matcher works on what the other stored, so a host may switch at any time.
 * With GESTAL_MATCHER_ELASTIC:
 *   - A custom gesture is the class of its stored samples. IdentifyCustomGesture and
 *     IdentifyCustomGestureStr answer the gesture among the targets (all gestures of the name
 *     space when there are none) whose samples are nearest to the recording, provided its
 *     confidence reaches the minimum (GestalSetMinConfidence, 1.0 by default); otherwise no
 *     gesture (-1, the empty name, confidence 0). The confidence is the gesture's threshold
 *     divided by the distance: 1.0 at the limit of acceptance, 2.0 at half of it, at most 100. Each
 *     gesture's threshold comes from the spread of its own samples, so the same confidence means
 *     the same certainty for every gesture; a gesture with one sample gets a typical threshold.
 *     Recordings whose secondary vector turns (a gyroscope) differ more, and get thresholds
 *     grown to match (docs/recognition.md).
 *     Gestures stored again (by this helper or another process) are seen at the next call.
 *   - IsCustomGestureExisted is true when IdentifyCustomGesture without targets would answer a
 *     gesture; IsTwoGestureSimilar when the second recording is within the threshold of the
 *     first taken as a gesture of one sample.
 *   - IdentifySignature answers the action among the candidates (all actions when there are none)
 *     with at least 3 stored signatures whose newest signatures (up to 15) are nearest to the
 *     recording, when its confidence reaches the minimum; two close actions do not fail as
 *     ambiguous, the nearer one is answered. Duration and force count as well as shape. The
 *     failed-trials lock, its records and the error types are the same. An identified recording
 *     is stored as a new signature of the action (the oldest beyond 15 removed) when the action's
 *     newest signature is more than a day old or when most of its 3 newest signatures accept it
 *     alone. The action's strength is never changed.
 * Returns false, with one line on stderr, when `handle` is not the current helper handle or
 * `matcher` is neither constant. */
GESTAL_API bool GestalSetMatcher(GestalHandle handle, int32_t matcher);

/* The confidence an elastic match needs for an answer (see GestalSetMatcher), for the engine of
 * the current helper `handle`, kept when the matcher changes: above 1.0 refuses more unknown
 * motion and more true performances, below 1.0 the reverse; 0 answers the nearest gesture or
 * action whenever one has a usable recording. Returns false, with one line on stderr, when
 * `handle` is not the current helper handle or `minConfidence` is negative or not a number. */
GESTAL_API bool GestalSetMinConfidence(GestalHandle handle, float minConfidence);

/* GESTAL_VERSION_STRING of the library actually loaded: a static text the host must not free. */
GESTAL_API const char* GestalVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* GESTAL_H */
