"""Loads libkest and declares the C interface of kest.h."""

import ctypes
import os

# enum kest_status
OK = 0
E_MEMBER_NOT_FOUND = -1
E_BAD_PARAM_COUNT = -2
E_TYPE_MISMATCH = -3
E_OVERFLOW = -4
E_GET_NOT_SUPPORTED = -5
E_PUT_NOT_SUPPORTED = -6
E_INVALID_ARG = -7
E_UNKNOWN_PROGID = -8
E_OUT_OF_MEMORY = -9

# enum kest_vartype
VT_EMPTY, VT_I2, VT_I4, VT_BOOL, VT_TEXT, VT_BUFFER = range(6)
# enum kest_member_kind
MEMBER_PROPERTY, MEMBER_METHOD, MEMBER_EVENT = range(3)
# enum kest_member_flags
MEMBER_READABLE, MEMBER_WRITABLE, MEMBER_HAS_RESULT = 1, 2, 4
# enum kest_param_direction
PARAM_IN, PARAM_OUT = 0, 1

SONAME = "libkest.so.1"


class Variant(ctypes.Structure):
    # Texts are kept as raw pointers: out texts belong to the library and are
    # freed with kest_variant_clear after they are copied.
    _fields_ = [
        ("type", ctypes.c_int32),
        ("i", ctypes.c_int32),
        ("text", ctypes.c_void_p),
        ("text_len", ctypes.c_size_t),
        ("buf", ctypes.c_void_p),
        ("buf_len", ctypes.c_size_t),
    ]


class MemberStruct(ctypes.Structure):
    _fields_ = [
        ("dispid", ctypes.c_int32),
        ("kind", ctypes.c_int32),
        ("name", ctypes.c_char_p),
        ("type", ctypes.c_int32),
        ("flags", ctypes.c_int32),
        ("nparams", ctypes.c_int32),
        ("summary", ctypes.c_char_p),
    ]


class ParamStruct(ctypes.Structure):
    _fields_ = [
        ("name", ctypes.c_char_p),
        ("type", ctypes.c_int32),
        ("direction", ctypes.c_int32),
        ("buffer_size", ctypes.c_uint32),
    ]


EVENT_FN = ctypes.CFUNCTYPE(
    None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p, ctypes.POINTER(Variant), ctypes.c_int
)
MESSAGE_BOX_FN = ctypes.CFUNCTYPE(
    ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int
)
PROGRESS_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32)


def _installed_path():
    # Written at installation: where the library lies relative to this package.
    try:
        from kest import _install  # noqa: PLC0415
    except ImportError:
        return None
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.normpath(os.path.join(here, _install.LIBRARY_FROM_PACKAGE, SONAME))


def _candidates():
    env = os.environ.get("KEST_LIBRARY")
    if env:
        return [env]  # named explicitly: no other library is taken instead
    installed = _installed_path()
    return ([installed] if installed and os.path.exists(installed) else []) + [SONAME]


def _declare(lib):
    c = ctypes
    ctrl_p = c.c_void_p
    var_p = c.POINTER(Variant)
    sigs = {
        "kest_create": (c.c_int, [c.c_char_p, c.POINTER(ctrl_p)]),
        "kest_destroy": (None, [ctrl_p]),
        "kest_invoke": (c.c_int, [ctrl_p, c.c_int32, var_p, c.c_int, c.POINTER(c.c_int16)]),
        "kest_get_property_id": (c.c_int, [ctrl_p, c.c_int32, var_p]),
        "kest_put_property_id": (c.c_int, [ctrl_p, c.c_int32, var_p]),
        "kest_set_event_callback": (c.c_int, [ctrl_p, EVENT_FN, c.c_void_p]),
        "kest_set_message_box_callback": (c.c_int, [ctrl_p, MESSAGE_BOX_FN, c.c_void_p]),
        "kest_set_progress_callback": (c.c_int, [ctrl_p, PROGRESS_FN, c.c_void_p]),
        "kest_save_properties": (c.c_int, [ctrl_p, c.POINTER(c.c_void_p)]),
        "kest_load_properties": (c.c_int, [ctrl_p, c.c_char_p]),
        "kest_free_string": (None, [c.c_void_p]),
        "kest_run_messages": (c.c_int, [ctrl_p, c.c_int]),
        "kest_member_count": (c.c_int, []),
        "kest_member_info": (c.c_int, [c.c_int, c.POINTER(MemberStruct)]),
        "kest_member_param": (c.c_int, [c.c_int, c.c_int, c.POINTER(ParamStruct)]),
        "kest_draw": (
            c.c_int,
            [ctrl_p, c.c_void_p, c.c_int32, c.c_int32, c.c_size_t, c.c_uint32],
        ),
        "kest_input_event": (
            c.c_int,
            [ctrl_p, c.c_int32, c.c_int16, c.c_int16, c.c_int32, c.c_int32],
        ),
        "kest_variant_clear": (None, [var_p]),
        "kest_status_text": (c.c_char_p, [c.c_int]),
        "kest_library_version": (c.c_char_p, []),
    }
    for name, (restype, argtypes) in sigs.items():
        fn = getattr(lib, name)
        fn.restype = restype
        fn.argtypes = argtypes
    return lib


_lib = None


def library():
    """The loaded library (loaded on first use)."""
    global _lib
    if _lib is None:
        errors = []
        for path in _candidates():
            try:
                _lib = _declare(ctypes.CDLL(path))
                break
            except OSError as e:
                errors.append(str(e))
        if _lib is None:
            raise OSError("kest: cannot load the library: " + "; ".join(errors))
    return _lib
