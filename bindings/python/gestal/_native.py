"""Loading libgestal and the C types of its functions (see gestal.h)."""

from __future__ import annotations

import ctypes
import os
import sys
import threading
from typing import Dict, List, Optional

from ._types import LibraryNotFoundError

SONAME = "libgestal.so.1"


class StatusBlock(ctypes.Structure):
    _fields_ = [
        ("error", ctypes.c_int32),
        ("progress", ctypes.c_int32),
        ("securityLevel", ctypes.c_int32),
    ]


class VerifyResult(ctypes.Structure):
    _fields_ = [
        ("bestMatch", ctypes.c_int32),
        ("score", ctypes.c_float),
        ("confidence", ctypes.c_float),
    ]


_u64 = ctypes.c_uint64
_i32 = ctypes.c_int32
_f32 = ctypes.c_float
_bool = ctypes.c_bool
_vp = ctypes.c_void_p
_fp = ctypes.POINTER(ctypes.c_float)
_ip = ctypes.POINTER(ctypes.c_int32)
_cp = ctypes.c_char_p

ADD_CALLBACK = ctypes.CFUNCTYPE(None, _vp, ctypes.POINTER(StatusBlock), _f32, _ip)
IDENTIFY_CALLBACK = ctypes.CFUNCTYPE(None, _vp, ctypes.POINTER(StatusBlock), _i32, _i32)
VERIFY_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.POINTER(VerifyResult), _f32, _f32)
PREDEFINED_CALLBACK = ctypes.CFUNCTYPE(None, _vp, _f32, _f32)
SENSOR_CALLBACK = ctypes.CFUNCTYPE(None, _i32, _fp, _u64)
MOVEMENT_CALLBACK = ctypes.CFUNCTYPE(None, _i32, _i32)
LOG_HANDLER = ctypes.CFUNCTYPE(None, _i32, _cp, _vp)

# Result type and argument types of every exported function.
SIGNATURES = {
    "GetControllerHelperObject": (_vp, [_cp, _u64]),
    "GetControllerHelperObjectWithConfig": (_vp, [_cp, _u64, _f32, _f32]),
    "GetControllerHelperVersion": (_vp, [_vp, ctypes.POINTER(_vp), ctypes.POINTER(_u64)]),
    "Shutdown": (None, [_vp]),
    "SetSensorDataCallback": (None, [_vp, SENSOR_CALLBACK]),
    "SetMovementCallback": (None, [_vp, MOVEMENT_CALLBACK]),
    "AddSignature": (None, [_vp, _i32, _fp, _u64, _u64, ADD_CALLBACK]),
    "IdentifySignature": (None, [_vp, _fp, _u64, _u64, _ip, _u64, IDENTIFY_CALLBACK]),
    "DeleteAction": (_bool, [_vp, _i32]),
    "GetActionIndex": (_i32, [_vp]),
    "GetErrorType": (_i32, [ctypes.POINTER(StatusBlock)]),
    "VerifyGesture": (None, [_vp, _ip, _u64, _fp, _u64, _u64, VERIFY_CALLBACK]),
    "GetGSGesture": (_i32, [ctypes.POINTER(VerifyResult)]),
    "VerifyPredefinedGesture": (
        None,
        [_vp, _cp, _u64, _u64, _u64, _cp, _ip, _u64, _fp, _u64, _u64, PREDEFINED_CALLBACK],
    ),
    "GetResultGesture": (_i32, [_vp, _cp, _u64]),
    "VerifySingleGesture": (_f32, [_vp, _i32, _fp, _u64, _u64]),
    "SetCustomGesture": (None, [_vp, _i32, _fp, _u64, _ip, _ip]),
    "SetCustomGestureStr": (None, [_vp, _cp, _u64, _fp, _u64, _ip, _ip]),
    "IdentifyCustomGesture": (_vp, [_vp, _ip, _u64, _fp, _u64, _u64]),
    "IdentifyCustomGestureStr": (_vp, [_vp, _cp, _u64, _ip, _fp, _u64, _u64]),
    "GetGSCustomGestureRecognizeGestureInt": (_i32, [_vp]),
    "GetGSCustomGestureRecognizeGestureStr": (None, [_vp, _cp, _u64]),
    "GetGSCustomGestureRecognizeGestureConfidence": (_f32, [_vp]),
    "DeleteGSCustomGestureRecognizeGesture": (None, [_vp]),
    "IsCustomGestureExisted": (_bool, [_vp, _fp, _u64, _u64]),
    "IsTwoGestureSimilar": (_bool, [_vp, _fp, _u64, _u64, _fp, _u64, _u64]),
    "SetTriggeringMask": (_bool, [_vp, _u64, _u64, _u64]),
    "SetTriggerStartKeys": (None, [_vp, _i32, _u64, _bool]),
    "SetTriggerEndKeys": (None, [_vp, _i32, _u64, _bool]),
    "ClearTriggerStartKeys": (None, [_vp, _i32]),
    "ClearTriggerEndKeys": (None, [_vp, _i32]),
    "GestalSetLogHandler": (None, [LOG_HANDLER, _vp]),
    "GestalSetLockPolicy": (_bool, [_vp, _i32, _i32]),
    "GestalSetMatcher": (_bool, [_vp, _i32]),
    "GestalSetMinConfidence": (_bool, [_vp, _f32]),
    "GestalVersion": (_cp, []),
}

_loaded: Dict[str, ctypes.CDLL] = {}
_loading = threading.Lock()


def candidates(path: Optional[str]) -> List[str]:
    """Where the library is looked for, in order: the explicit path, GESTAL_LIBRARY, the dynamic
    loader's search (an installed library), the lib folder of the Python environment's prefix."""
    if path:
        return [os.fspath(path)]
    if os.environ.get("GESTAL_LIBRARY"):
        return [os.environ["GESTAL_LIBRARY"]]
    return [SONAME, os.path.join(sys.prefix, "lib", SONAME)]


def library(path: Optional[str] = None) -> ctypes.CDLL:
    """The loaded library, with the C types of its functions set."""
    with _loading:
        tried = []
        for candidate in candidates(path):
            if candidate in _loaded:
                return _loaded[candidate]
            try:
                lib = ctypes.CDLL(candidate)
            except OSError as e:
                tried.append("%s (%s)" % (candidate, e))
                continue
            for name, (result, arguments) in SIGNATURES.items():
                function = getattr(lib, name)
                function.restype = result
                function.argtypes = arguments
            _loaded[candidate] = lib
            return lib
        raise LibraryNotFoundError(
            "libgestal could not be loaded; tried " + "; ".join(tried)
            + ". Pass library=..., or set GESTAL_LIBRARY to the path of libgestal.so."
        )
