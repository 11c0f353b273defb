"""The values the binding hands back: codes, results and errors."""

from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import Optional, Union


class ErrorType(enum.IntEnum):
    """Error types of enrolment and identification (GESTAL_ERROR_... in gestal.h)."""

    NONE = 0
    NO_MATCH = -1
    TOO_SHORT = -201
    BEYOND_LIMITS = -202
    BAD_POSTURE = -203
    TOO_SIMPLE = -204
    TOO_LITTLE_MOTION = -205
    INCONSISTENT = -207
    ENROLMENT_FAILED = -208
    SECOND_DIFFERS = -209
    LOCKED = -301
    ENGINE_FAILURE = -500


class GestureCode(enum.IntEnum):
    """Host codes of the predefined gestures of the default model."""

    HEART = 1001
    C = 1003
    DOWN = 1006


class Matcher(enum.IntEnum):
    """Matchers of custom gesture and signature identification (GESTAL_MATCHER_... in gestal.h)."""

    LCS = 0
    ELASTIC = 1


class LogLevel(enum.IntEnum):
    """Levels of the lines the library writes."""

    TRACE = 0
    INFO = 1
    ERROR = 2


@dataclass(frozen=True)
class Enrolment:
    """One step of an enrolment."""

    action: int
    error: ErrorType  # NONE, or why the performance was rejected
    progress: float  # 0 to 1; 1 means the action is enrolled and stored
    complexity: int  # the performance's complexity level when rejected as TOO_SIMPLE

    @property
    def complete(self) -> bool:
        return self.error == ErrorType.NONE and self.progress >= 1.0


@dataclass(frozen=True)
class Identification:
    """The answer of an identification."""

    action: Optional[int]  # the identified action, or None
    error: ErrorType  # NONE, NO_MATCH or LOCKED
    remaining_trials: int  # after NO_MATCH: failures left before the lock
    lock_seconds: int  # after NO_MATCH: a lock that starts now; after LOCKED: the seconds left


@dataclass(frozen=True)
class GestureMatch:
    """A predefined gesture: a GestureCode with the default model, a name with another model."""

    gesture: Union[GestureCode, str, None]  # None when no gesture matched
    score: float
    confidence: float


@dataclass(frozen=True)
class CustomGestureMatch:
    """The custom gesture a recording was identified as."""

    gesture: Union[int, str, None]  # the number or the name; None when none matched
    confidence: float


class GestalError(Exception):
    """A failure of the library or of its use; `error_type` is set when the library reported
    one."""

    def __init__(self, message: str, error_type: Optional[ErrorType] = None) -> None:
        super().__init__(message)
        self.error_type = error_type


class LibraryNotFoundError(GestalError, OSError):
    """libgestal could not be loaded."""


class EngineError(GestalError):
    """The library could not do the work; it logged the reason (on stderr by default)."""

    def __init__(self, message: str) -> None:
        super().__init__(message, ErrorType.ENGINE_FAILURE)


class HelperInUseError(GestalError):
    """The process's one controller helper is open on another directory or thresholds."""


class HelperClosedError(GestalError):
    """The helper was closed."""
