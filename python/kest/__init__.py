"""The kest camera control from Python, over the library's C interface (ctypes).

    import kest
    with kest.Control() as camera:
        camera.RemoteIPAddress = "127.0.0.1"
        result, out = camera.call("GetVersion")
        print(result, out["TypeNumber"], out["ProgramVersion"])

Properties read and write as attributes (or get/set), methods are called by
name (call, or as attributes) and return (result, out) with the out parameters
by name, and events reach the callbacks registered with on() while
run_messages() or wait_event() runs, on the calling thread.

The library is libkest.so.1: the file named by the environment variable
KEST_LIBRARY, else the one installed with this package, else the loader's.
"""

from kest._control import (
    Control,
    KestError,
    Member,
    Param,
    find_member,
    library_version,
    members,
)

__all__ = [
    "Control",
    "KestError",
    "Member",
    "Param",
    "find_member",
    "library_version",
    "members",
]
