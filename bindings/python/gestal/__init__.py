"""Python binding of libgestal, the recogniser of tracked hand-controller motion.

    import gestal
    with gestal.Gestal("mygame/") as g:
        step = g.add_signature(1, recording)      # repeat until step.complete
        print(g.identify_signature(recording).action)

A recording is a sequence of readings of ten numbers (time in ms, primary x y z, secondary x y z,
pointing direction x y z): a list of lists, a flat list, an array.array, or a numpy array of
shape (n, 10) or flat. Enrolment, identification and recognition answer with values; a failure of
the library raises a GestalError subclass. The library writes its trace to stdout unless a log
handler is set (set_log_handler). include/gestal.h documents every function.
"""

from __future__ import annotations

import ctypes
import os
import threading
from typing import Callable, Dict, List, Optional, Sequence, Tuple, TypeVar, Union

from . import _native
from ._recordings import FIELDS, Recording, concatenated, floats
from ._types import (
    CustomGestureMatch,
    Enrolment,
    EngineError,
    ErrorType,
    GestalError,
    GestureCode,
    GestureMatch,
    HelperClosedError,
    HelperInUseError,
    Identification,
    LibraryNotFoundError,
    LogLevel,
    Matcher,
)

__all__ = [
    "CustomGestureMatch",
    "Enrolment",
    "EngineError",
    "ErrorType",
    "Gestal",
    "GestalError",
    "GestureCode",
    "GestureMatch",
    "HelperClosedError",
    "HelperInUseError",
    "Identification",
    "LibraryNotFoundError",
    "LogLevel",
    "Matcher",
    "interface_version",
    "set_log_handler",
    "version",
]

__version__ = "1.1.0"


def version(library: Optional[str] = None) -> str:
    """The version of the loaded library (GESTAL_VERSION_STRING)."""
    return _native.library(library).GestalVersion().decode("ascii")


def interface_version(library: Optional[str] = None) -> str:
    """The version of the library's C interface, "1.00"."""
    lib = _native.library(library)
    text = ctypes.c_void_p()
    length = ctypes.c_uint64()
    lib.GetControllerHelperVersion(None, ctypes.byref(text), ctypes.byref(length))
    if not text:
        raise MemoryError("the library could not allocate the version text")
    try:
        return ctypes.string_at(text, length.value).decode("ascii")
    finally:
        ctypes.CDLL(None).free(text)


LogHandler = Callable[[LogLevel, str], None]
_log_handler: Optional[object] = None


def set_log_handler(handler: Optional[LogHandler], library: Optional[str] = None) -> None:
    """Sends every line the library writes (trace, messages, failures) to handler(level, text)
    instead of stdout and stderr; a handler that does nothing silences it; None restores the
    standard streams. Process-wide; the handler runs inside the library's call and must not call
    the library."""
    global _log_handler
    lib = _native.library(library)
    if handler is None:
        lib.GestalSetLogHandler(ctypes.cast(None, _native.LOG_HANDLER), None)
        _log_handler = None
        return

    def line(level: int, text: bytes, _user_data: object) -> None:
        handler(LogLevel(level), text.decode("utf-8", "replace"))

    callback = _native.LOG_HANDLER(line)
    lib.GestalSetLogHandler(callback, None)
    _log_handler = callback  # the library keeps calling it


# The library keeps one controller helper per process: Gestal objects on the same directory and
# thresholds share it, and it ends when the last of them closes.
_helpers: Dict[Tuple[str, float, float], Tuple[int, int]] = {}
_helpers_lock = threading.Lock()


_Reply = TypeVar("_Reply", Enrolment, Identification)


def _ints(values: Sequence[int]) -> "ctypes.Array[ctypes.c_int32]":
    return (ctypes.c_int32 * len(values))(*values)


def _names(names: Sequence[str]) -> Tuple[bytes, "ctypes.Array[ctypes.c_int32]"]:
    """Names one after another in UTF-8 and their byte lengths, as the library takes them."""
    encoded = [name.encode("utf-8") for name in names]
    return b"".join(encoded), _ints([len(e) for e in encoded])


class Gestal:
    """The library's controller helper for one database directory."""

    def __init__(
        self,
        directory: Union[str, "os.PathLike[str]"],
        *,
        train_threshold: float = 1.0,
        verify_threshold: float = 1.0,
        library: Optional[str] = None,
    ) -> None:
        """Opens the helper for `directory`, which is created when missing. Raises EngineError
        when the library cannot open its databases there, HelperInUseError while a helper on
        another directory or with other thresholds is open, LibraryNotFoundError when libgestal
        cannot be loaded."""
        self._lib = _native.library(library)
        path = os.fspath(directory)
        os.makedirs(path, exist_ok=True)
        # The library appends its file names to the directory text as it is.
        path = path if path.endswith("/") else path + "/"
        self._key = (path, float(train_threshold), float(verify_threshold))
        self._handle: Optional[int] = None
        with _helpers_lock:
            if _helpers and self._key not in _helpers:
                (open_key,) = _helpers
                raise HelperInUseError(
                    "a Gestal helper is open on %r with thresholds %g, %g; close it first" % open_key
                )
            if self._key in _helpers:
                handle, users = _helpers[self._key]
            else:
                encoded = path.encode("utf-8")
                handle = self._lib.GetControllerHelperObjectWithConfig(
                    encoded, len(encoded), train_threshold, verify_threshold
                )
                if not handle:
                    raise EngineError("the library could not open its databases in " + path)
                users = 0
            _helpers[self._key] = (handle, users + 1)
            self._handle = handle

    def __enter__(self) -> "Gestal":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        """Ends this object; the library's helper ends with the last object on it."""
        with _helpers_lock:
            if self._handle is None:
                return
            handle, users = _helpers.pop(self._key)
            if users > 1:
                _helpers[self._key] = (handle, users - 1)
            else:
                self._lib.Shutdown(handle)
            self._handle = None

    @property
    def handle(self) -> int:
        """The library's helper handle, for direct calls; HelperClosedError after close()."""
        if self._handle is None:
            raise HelperClosedError("the Gestal helper is closed")
        return self._handle

    def set_lock_policy(self, max_failed_trials: int, lock_time_seconds: int) -> None:
        """Locks an action after `max_failed_trials` failed identifications in a row (those
        before the call count), for `lock_time_seconds` after the newest; a negative time locks
        until the action is deleted, 0 trials switch the policy off. Without this call the limit
        is 2147483647 failures."""
        if not self._lib.GestalSetLockPolicy(self.handle, max_failed_trials, lock_time_seconds):
            raise EngineError("the library refused the lock policy")

    def set_matcher(self, matcher: Matcher) -> None:
        """Chooses the matcher of custom gesture and signature identification (LCS, the default,
        or ELASTIC); either works on what the other stored, so a switch needs no new recordings.
        docs/recognition.md compares them."""
        if not self._lib.GestalSetMatcher(self.handle, matcher):
            raise EngineError("the library refused the matcher %r" % (matcher,))

    def set_min_confidence(self, min_confidence: float) -> None:
        """The confidence an elastic match needs for an answer, 1.0 by default (the limit of
        acceptance); 0 answers the nearest gesture or action. Negative values and NaN are
        refused."""
        if not self._lib.GestalSetMinConfidence(self.handle, min_confidence):
            raise EngineError("the library refused the minimum confidence %r" % (min_confidence,))

    def add_signature(self, action: int, recording: Recording) -> Enrolment:
        """One performance of the enrolment of `action` (above 0)."""
        replies: List[Enrolment] = []

        def reply(record: int, status: "ctypes._Pointer[_native.StatusBlock]", progress: float,
                  complexity: "ctypes._Pointer[ctypes.c_int32]") -> None:
            replies.append(Enrolment(self._lib.GetActionIndex(record),
                                     ErrorType(self._lib.GetErrorType(status)), progress,
                                     complexity[0]))

        data = floats(recording)
        self._lib.AddSignature(self.handle, action, data.pointer, data.readings, FIELDS,
                               _native.ADD_CALLBACK(reply))
        return self._checked(replies[0], "AddSignature")

    def identify_signature(self, recording: Recording,
                           candidates: Sequence[int] = ()) -> Identification:
        """Which of the candidate actions (every enrolled one when empty) the performance is."""
        replies: List[Identification] = []

        def reply(record: int, status: "ctypes._Pointer[_native.StatusBlock]", remaining: int,
                  lock_seconds: int) -> None:
            action = self._lib.GetActionIndex(record)
            replies.append(Identification(None if action == -1 else action,
                                          ErrorType(self._lib.GetErrorType(status)), remaining,
                                          lock_seconds))

        data = floats(recording)
        self._lib.IdentifySignature(self.handle, data.pointer, data.readings, FIELDS,
                                    _ints(candidates), len(candidates),
                                    _native.IDENTIFY_CALLBACK(reply))
        return self._checked(replies[0], "IdentifySignature")

    def delete_action(self, action: int) -> None:
        """Deletes the action with its signatures and its failure history."""
        self._lib.DeleteAction(self.handle, action)

    def verify_gesture(self, recording: Recording,
                       targets: Sequence[GestureCode] = ()) -> GestureMatch:
        """The predefined gesture of the default model (the file "gestal_gesture_adaboost" in the
        directory) among `targets` (all when empty)."""
        replies: List[GestureMatch] = []

        def reply(result: "ctypes._Pointer[_native.VerifyResult]", score: float,
                  confidence: float) -> None:
            best = result.contents.bestMatch
            codes = list(GestureCode)
            replies.append(GestureMatch(codes[best] if 0 <= best < len(codes) else None, score,
                                        confidence))

        data = floats(recording)
        self._lib.VerifyGesture(self.handle, _ints(targets), len(targets), data.pointer,
                                data.readings, FIELDS, _native.VERIFY_CALLBACK(reply))
        return replies[0]

    def verify_predefined_gesture(self, model: str, recording: Recording,
                                  targets: Sequence[str] = ()) -> GestureMatch:
        """The gesture name (None for none) of the model file `model` in the directory, among
        `targets` (all when empty)."""
        replies: List[GestureMatch] = []

        def reply(name: int, score: float, confidence: float) -> None:
            buffer = ctypes.create_string_buffer(4096)
            self._lib.GetResultGesture(name, buffer, len(buffer))
            replies.append(GestureMatch(buffer.value.decode("utf-8") or None, score, confidence))

        names, lengths = _names(targets)
        model_name = model.encode("utf-8")
        data = floats(recording)
        self._lib.VerifyPredefinedGesture(self.handle, model_name, len(model_name), 0, 0, names,
                                          lengths, len(targets), data.pointer, data.readings,
                                          FIELDS, _native.PREDEFINED_CALLBACK(reply))
        return replies[0]

    def verify_single_gesture(self, gesture: GestureCode, recording: Recording) -> float:
        """The boosted score of one predefined gesture of the default model."""
        data = floats(recording)
        return self._lib.VerifySingleGesture(self.handle, gesture, data.pointer, data.readings,
                                             FIELDS)

    def set_custom_gesture(self, gesture: Union[int, str], recordings: Sequence[Recording]) -> None:
        """Stores the recordings as custom gesture `gesture`, a number or a name (any text),
        replacing what was stored; no recordings delete it."""
        data, readings = concatenated(recordings)
        lengths = _ints(readings)
        entry_lengths = _ints([FIELDS] * len(readings))
        if isinstance(gesture, str):
            name = gesture.encode("utf-8")
            self._lib.SetCustomGestureStr(self.handle, name, len(name), data.pointer,
                                          len(readings), lengths, entry_lengths)
        else:
            self._lib.SetCustomGesture(self.handle, gesture, data.pointer, len(readings),
                                       lengths, entry_lengths)

    def identify_custom_gesture(self, recording: Recording,
                                targets: Union[Sequence[int], Sequence[str]] = (),
                                named: bool = False) -> CustomGestureMatch:
        """The custom gesture the recording is: among numbered gestures, or among named ones when
        `targets` holds names or `named` is true; every stored one of its kind when `targets` is
        empty."""
        data = floats(recording)
        named = named or any(isinstance(t, str) for t in targets)
        if named:
            names, lengths = _names([str(t) for t in targets])
            result = self._lib.IdentifyCustomGestureStr(self.handle, names, len(targets), lengths,
                                                        data.pointer, data.readings, FIELDS)
        else:
            result = self._lib.IdentifyCustomGesture(self.handle, _ints(targets), len(targets),
                                                     data.pointer, data.readings, FIELDS)
        if not result:
            raise MemoryError("the library could not allocate a result")
        try:
            gesture: Union[int, str, None]
            if named:
                buffer = ctypes.create_string_buffer(max(4096, len(names) + 1))
                self._lib.GetGSCustomGestureRecognizeGestureStr(result, buffer, len(buffer))
                gesture = buffer.value.decode("utf-8") or None
            else:
                index = self._lib.GetGSCustomGestureRecognizeGestureInt(result)
                gesture = None if index == -1 else index
            return CustomGestureMatch(
                gesture, self._lib.GetGSCustomGestureRecognizeGestureConfidence(result))
        finally:
            self._lib.DeleteGSCustomGestureRecognizeGesture(result)

    def is_custom_gesture_existed(self, recording: Recording) -> bool:
        """Whether the recording resembles any stored numbered custom gesture."""
        data = floats(recording)
        return self._lib.IsCustomGestureExisted(self.handle, data.pointer, data.readings, FIELDS)

    def is_two_gesture_similar(self, first: Recording, second: Recording) -> bool:
        """Whether two recordings are the same gesture."""
        a = floats(first)
        b = floats(second)
        return self._lib.IsTwoGestureSimilar(self.handle, a.pointer, a.readings, FIELDS,
                                             b.pointer, b.readings, FIELDS)

    def set_triggering_mask(self, controller: int, keys: int, flag: int) -> bool:
        return self._lib.SetTriggeringMask(self.handle, controller, keys, flag)

    def set_trigger_keys(self, controllers: int, keys: int, flag: bool, start: bool = True) -> None:
        function = self._lib.SetTriggerStartKeys if start else self._lib.SetTriggerEndKeys
        function(self.handle, controllers, keys, flag)

    def clear_trigger_keys(self, controllers: int, start: bool = True) -> None:
        function = self._lib.ClearTriggerStartKeys if start else self._lib.ClearTriggerEndKeys
        function(self.handle, controllers)

    @staticmethod
    def _checked(reply: _Reply, call: str) -> _Reply:
        if reply.error == ErrorType.ENGINE_FAILURE:
            raise EngineError(call + " failed; the library logged the reason")
        return reply
