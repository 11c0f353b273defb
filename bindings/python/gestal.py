"""Python binding of libgestal, the recogniser of tracked hand-controller motion.

Loads the shared library with ctypes and wraps its C functions in one class. A recording is a
sequence of readings of ten numbers each (time in ms, primary x y z in m/s^2, secondary x y z,
direction x y z); a flat sequence whose length is a multiple of ten is accepted too.

    import gestal
    with gestal.Gestal("build/libgestal.so", "/tmp/mydb/") as g:
        print(g.version())
        reply = g.add_signature(1, recording)
        print(reply.error, reply.progress)

The library writes its trace lines to stdout; see include/gestal.h for every function's contract.
"""

import ctypes
from collections import namedtuple

ERROR_NONE = 0
ERROR_NO_MATCH = -1
ERROR_LOCKED = -301
ERROR_ENGINE_FAILURE = -500

GESTURE_HEART = 1001
GESTURE_C = 1003
GESTURE_DOWN = 1006

_FIELDS = 10

# What the callbacks of enrolment and identification report.
ActionReply = namedtuple("ActionReply", "action error progress detail")
# What predefined gesture verification reports; `gesture` is an index (VerifyGesture) or a name.
GestureReply = namedtuple("GestureReply", "gesture score confidence")
# What custom gesture identification reports; `gesture` is an int, a name, or None for no match.
CustomReply = namedtuple("CustomReply", "gesture confidence")


class _StatusBlock(ctypes.Structure):
    _fields_ = [("error", ctypes.c_int32), ("progress", ctypes.c_int32),
                ("securityLevel", ctypes.c_int32)]


class _VerifyResult(ctypes.Structure):
    _fields_ = [("bestMatch", ctypes.c_int32), ("score", ctypes.c_float),
                ("confidence", ctypes.c_float)]


_u64 = ctypes.c_uint64
_i32 = ctypes.c_int32
_fptr = ctypes.POINTER(ctypes.c_float)
_iptr = ctypes.POINTER(ctypes.c_int32)
_vptr = ctypes.c_void_p

_ADD_CALLBACK = ctypes.CFUNCTYPE(None, _vptr, ctypes.POINTER(_StatusBlock), ctypes.c_float,
                                 _iptr)
_IDENTIFY_CALLBACK = ctypes.CFUNCTYPE(None, _vptr, ctypes.POINTER(_StatusBlock), _i32, _i32)
_VERIFY_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.POINTER(_VerifyResult), ctypes.c_float,
                                    ctypes.c_float)
_PREDEFINED_CALLBACK = ctypes.CFUNCTYPE(None, _vptr, ctypes.c_float, ctypes.c_float)

_SIGNATURES = {
    "GetControllerHelperObjectWithConfig": (_vptr, [ctypes.c_char_p, _u64, ctypes.c_float,
                                                    ctypes.c_float]),
    "GetControllerHelperVersion": (_vptr, [_vptr, ctypes.POINTER(_vptr), ctypes.POINTER(_u64)]),
    "Shutdown": (None, [_vptr]),
    "AddSignature": (None, [_vptr, _i32, _fptr, _u64, _u64, _ADD_CALLBACK]),
    "IdentifySignature": (None, [_vptr, _fptr, _u64, _u64, _iptr, _u64, _IDENTIFY_CALLBACK]),
    "DeleteAction": (ctypes.c_bool, [_vptr, _i32]),
    "GetActionIndex": (_i32, [_vptr]),
    "VerifyGesture": (None, [_vptr, _iptr, _u64, _fptr, _u64, _u64, _VERIFY_CALLBACK]),
    "VerifyPredefinedGesture": (None, [_vptr, ctypes.c_char_p, _u64, _u64, _u64,
                                       ctypes.c_char_p, _iptr, _u64, _fptr, _u64, _u64,
                                       _PREDEFINED_CALLBACK]),
    "GetResultGesture": (_i32, [_vptr, ctypes.c_char_p, _u64]),
    "VerifySingleGesture": (ctypes.c_float, [_vptr, _i32, _fptr, _u64, _u64]),
    "SetCustomGesture": (None, [_vptr, _i32, _fptr, _u64, _iptr, _iptr]),
    "SetCustomGestureStr": (None, [_vptr, ctypes.c_char_p, _u64, _fptr, _u64, _iptr, _iptr]),
    "IdentifyCustomGesture": (_vptr, [_vptr, _iptr, _u64, _fptr, _u64, _u64]),
    "IdentifyCustomGestureStr": (_vptr, [_vptr, ctypes.c_char_p, _u64, _iptr, _fptr, _u64,
                                         _u64]),
    "GetGSCustomGestureRecognizeGestureInt": (_i32, [_vptr]),
    "GetGSCustomGestureRecognizeGestureStr": (None, [_vptr, ctypes.c_char_p, _u64]),
    "GetGSCustomGestureRecognizeGestureConfidence": (ctypes.c_float, [_vptr]),
    "DeleteGSCustomGestureRecognizeGesture": (None, [_vptr]),
    "IsCustomGestureExisted": (ctypes.c_bool, [_vptr, _fptr, _u64, _u64]),
    "IsTwoGestureSimilar": (ctypes.c_bool, [_vptr, _fptr, _u64, _u64, _fptr, _u64, _u64]),
    "SetTriggeringMask": (ctypes.c_bool, [_vptr, _u64, _u64, _u64]),
    "SetTriggerStartKeys": (None, [_vptr, _i32, _u64, ctypes.c_bool]),
    "SetTriggerEndKeys": (None, [_vptr, _i32, _u64, ctypes.c_bool]),
    "ClearTriggerStartKeys": (None, [_vptr, _i32]),
    "ClearTriggerEndKeys": (None, [_vptr, _i32]),
}


def _flat(recording):
    """A recording as a ctypes float array and its number of readings."""
    values = []
    for item in recording:
        if isinstance(item, (list, tuple)):
            if len(item) != _FIELDS:
                raise ValueError("a reading must have %d values, not %d" % (_FIELDS, len(item)))
            values.extend(item)
        else:
            values.append(item)
    if len(values) % _FIELDS:
        raise ValueError("a recording must have a multiple of %d values" % _FIELDS)
    return (ctypes.c_float * len(values))(*values), len(values) // _FIELDS


def _ints(values):
    return (ctypes.c_int32 * len(values))(*values)


def _names(names):
    """Concatenated UTF-8 names and their byte lengths, as the library takes name lists."""
    encoded = [n.encode("utf-8") for n in names]
    return b"".join(encoded), _ints([len(e) for e in encoded])


def _concatenated(recordings):
    """Several recordings one after another, with their lengths in readings."""
    flats = [_flat(r) for r in recordings]
    data = (ctypes.c_float * sum(len(f) for f, _ in flats))()
    position = 0
    for floats, _ in flats:
        ctypes.memmove(ctypes.byref(data, position * 4), floats, len(floats) * 4)
        position += len(floats)
    return data, _ints([n for _, n in flats]), _ints([_FIELDS] * len(flats))


class Gestal:
    """One controller helper of the library, with its database directory."""

    def __init__(self, library_path, directory, train_threshold=1.0, verify_threshold=1.0):
        self._lib = ctypes.CDLL(library_path)
        for name, (result, arguments) in _SIGNATURES.items():
            function = getattr(self._lib, name)
            function.restype = result
            function.argtypes = arguments
        self._libc = ctypes.CDLL(None)
        path = directory.encode("utf-8")
        self._handle = self._lib.GetControllerHelperObjectWithConfig(
            path, len(path), train_threshold, verify_threshold)
        if not self._handle:
            raise RuntimeError("the controller helper could not be created for " + directory)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self._handle:
            self._lib.Shutdown(self._handle)
            self._handle = None

    def version(self):
        buffer = ctypes.c_void_p()
        length = ctypes.c_uint64()
        self._lib.GetControllerHelperVersion(None, ctypes.byref(buffer), ctypes.byref(length))
        text = ctypes.string_at(buffer, length.value).decode("ascii")
        self._libc.free(buffer)
        return text

    def add_signature(self, action, recording):
        """One performance of an enrolment; progress 1.0 means the action is enrolled."""
        replies = []

        def reply(record, status, progress, complexity):
            replies.append(ActionReply(self._lib.GetActionIndex(record), status.contents.error,
                                       progress, complexity[0]))

        data, n = _flat(recording)
        self._lib.AddSignature(self._handle, action, data, n, _FIELDS, _ADD_CALLBACK(reply))
        return replies[0]

    def identify_signature(self, recording, candidates=()):
        """Which of the candidate actions (all when empty) the performance belongs to."""
        replies = []

        def reply(record, status, remaining, lock_seconds):
            replies.append(ActionReply(self._lib.GetActionIndex(record), status.contents.error,
                                       remaining, lock_seconds))

        data, n = _flat(recording)
        self._lib.IdentifySignature(self._handle, data, n, _FIELDS, _ints(candidates),
                                    len(candidates), _IDENTIFY_CALLBACK(reply))
        return replies[0]

    def delete_action(self, action):
        return self._lib.DeleteAction(self._handle, action)

    def verify_gesture(self, recording, codes=(GESTURE_HEART, GESTURE_C, GESTURE_DOWN)):
        """The best predefined gesture index (0 HEART, 1 C, 2 DOWN, -1 none) of the default model."""
        replies = []

        def reply(result, score, confidence):
            replies.append(GestureReply(result.contents.bestMatch, score, confidence))

        data, n = _flat(recording)
        self._lib.VerifyGesture(self._handle, _ints(codes), len(codes), data, n, _FIELDS,
                                _VERIFY_CALLBACK(reply))
        return replies[0]

    def verify_predefined_gesture(self, model, recording, targets=()):
        """The best gesture name ('' for none) of the model file `model` in the directory."""
        replies = []

        def reply(name, score, confidence):
            buffer = ctypes.create_string_buffer(256)
            self._lib.GetResultGesture(name, buffer, len(buffer))
            replies.append(GestureReply(buffer.value.decode("utf-8"), score, confidence))

        names, lengths = _names(targets)
        model_bytes = model.encode("utf-8")
        data, n = _flat(recording)
        self._lib.VerifyPredefinedGesture(self._handle, model_bytes, len(model_bytes), 0, 0,
                                          names, lengths, len(targets), data, n, _FIELDS,
                                          _PREDEFINED_CALLBACK(reply))
        return replies[0]

    def verify_single_gesture(self, code, recording):
        data, n = _flat(recording)
        return self._lib.VerifySingleGesture(self._handle, code, data, n, _FIELDS)

    def set_custom_gesture(self, gesture, recordings):
        """Stores the recordings as custom gesture `gesture`: an int, or a name (str)."""
        data, lengths, entry_lengths = _concatenated(recordings)
        if isinstance(gesture, str):
            name = gesture.encode("utf-8")
            self._lib.SetCustomGestureStr(self._handle, name, len(name), data, len(recordings),
                                          lengths, entry_lengths)
        else:
            self._lib.SetCustomGesture(self._handle, gesture, data, len(recordings), lengths,
                                       entry_lengths)

    def identify_custom_gesture(self, recording, targets=()):
        """The matching custom gesture among int targets (all stored ones when empty), or among
        named targets when `targets` holds names."""
        data, n = _flat(recording)
        named = any(isinstance(t, str) for t in targets)
        if named:
            names, lengths = _names(targets)
            result = self._lib.IdentifyCustomGestureStr(self._handle, names, len(targets),
                                                        lengths, data, n, _FIELDS)
        else:
            result = self._lib.IdentifyCustomGesture(self._handle, _ints(targets), len(targets),
                                                     data, n, _FIELDS)
        if not result:
            raise MemoryError("the library could not allocate a result")
        try:
            if named:
                buffer = ctypes.create_string_buffer(1024)
                self._lib.GetGSCustomGestureRecognizeGestureStr(result, buffer, len(buffer))
                gesture = buffer.value.decode("utf-8") or None
            else:
                index = self._lib.GetGSCustomGestureRecognizeGestureInt(result)
                gesture = None if index == -1 else index
            return CustomReply(gesture,
                               self._lib.GetGSCustomGestureRecognizeGestureConfidence(result))
        finally:
            self._lib.DeleteGSCustomGestureRecognizeGesture(result)

    def is_custom_gesture_existed(self, recording):
        data, n = _flat(recording)
        return self._lib.IsCustomGestureExisted(self._handle, data, n, _FIELDS)

    def is_two_gesture_similar(self, first, second):
        a, n = _flat(first)
        b, m = _flat(second)
        return self._lib.IsTwoGestureSimilar(self._handle, a, n, _FIELDS, b, m, _FIELDS)

    def set_triggering_mask(self, controller, keys, flag):
        return self._lib.SetTriggeringMask(self._handle, controller, keys, flag)

    def set_trigger_keys(self, controllers, keys, flag, start=True):
        function = self._lib.SetTriggerStartKeys if start else self._lib.SetTriggerEndKeys
        function(self._handle, controllers, keys, flag)

    def clear_trigger_keys(self, controllers, start=True):
        function = self._lib.ClearTriggerStartKeys if start else self._lib.ClearTriggerEndKeys
        function(self._handle, controllers)
