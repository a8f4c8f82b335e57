"""Control: one camera control, driven by name with Python values."""

import contextlib
import ctypes
import time
import weakref
from dataclasses import dataclass, field

from kest import _library as L

_TEXT_ENCODING = ("utf-8", "surrogateescape")  # camera bytes round-trip unchanged


class KestError(Exception):
    """A dispatch error of the library (unknown name, bad argument...)."""

    def __init__(self, status, what=""):
        self.status = status
        text = L.library().kest_status_text(status).decode()
        super().__init__(f"{what}: {text}" if what else text)


@dataclass(frozen=True)
class Param:
    name: str
    type: int  # a VT_ value of kest._library
    out: bool
    buffer_size: int


@dataclass(frozen=True)
class Member:
    name: str
    dispid: int
    kind: int  # MEMBER_PROPERTY, MEMBER_METHOD or MEMBER_EVENT
    type: int  # properties: the value's VT_ type
    readable: bool
    writable: bool
    has_result: bool
    params: tuple = field(default_factory=tuple)
    summary: str = ""


_members = None


def members():
    """Every property, method and event of the type library."""
    global _members
    if _members is None:
        lib = L.library()
        found = []
        for index in range(lib.kest_member_count()):
            m = L.MemberStruct()
            _check(lib.kest_member_info(index, ctypes.byref(m)), "member")
            params = []
            for k in range(m.nparams):
                p = L.ParamStruct()
                _check(lib.kest_member_param(index, k, ctypes.byref(p)), "parameter")
                params.append(
                    Param(p.name.decode(), p.type, p.direction == L.PARAM_OUT, p.buffer_size)
                )
            found.append(
                Member(
                    name=m.name.decode(),
                    dispid=m.dispid,
                    kind=m.kind,
                    type=m.type,
                    readable=bool(m.flags & L.MEMBER_READABLE),
                    writable=bool(m.flags & L.MEMBER_WRITABLE),
                    has_result=bool(m.flags & L.MEMBER_HAS_RESULT),
                    params=tuple(params),
                    summary=(m.summary or b"").decode(),
                )
            )
        _members = found
    return _members


def find_member(name, kind):
    """The member of this kind with this name (case-insensitive), or None."""
    lowered = name.lower()
    for m in members():
        if m.kind == kind and m.name.lower() == lowered:
            return m
    return None


def library_version():
    return L.library().kest_library_version().decode()


def _check(status, what):
    if status != L.OK:
        raise KestError(status, what)


def _encode_text(value):
    return value if isinstance(value, bytes) else str(value).encode(*_TEXT_ENCODING)


def _from_c(v):
    if v.type in (L.VT_I2, L.VT_I4):
        return v.i
    if v.type == L.VT_BOOL:
        return bool(v.i)
    if v.type == L.VT_TEXT:
        raw = ctypes.string_at(v.text, v.text_len) if v.text else b""
        return raw.decode(*_TEXT_ENCODING)
    return None


class _Args:
    """C variants for one call; keeps the Python objects they point into alive."""

    def __init__(self, n):
        self.variants = (L.Variant * max(n, 1))()
        self.keep = []
        self.owned_buffers = {}  # parameter index -> buffer the call allocated

    def put(self, index, value, declared):
        v = self.variants[index]
        if value is None:
            v.type = L.VT_EMPTY
        elif isinstance(value, bool):
            v.type, v.i = L.VT_BOOL, int(value)
        elif isinstance(value, int):
            # Integers go as the declared type when they fit; the library
            # reports an overflow or a type mismatch otherwise.
            if declared == L.VT_I2 and -32768 <= value <= 32767:
                v.type = L.VT_I2
            elif declared == L.VT_BOOL:
                v.type = L.VT_BOOL
            else:
                v.type = L.VT_I4
            if not -(2**31) <= value < 2**31:
                raise KestError(L.E_OVERFLOW, f"argument {index + 1}")
            v.i = value
        elif isinstance(value, (str, bytes)):
            data = ctypes.create_string_buffer(_encode_text(value))
            self.keep.append(data)
            v.type = L.VT_TEXT
            v.text = ctypes.cast(data, ctypes.c_void_p)
            v.text_len = len(data) - 1
        elif isinstance(value, (bytearray, memoryview)):
            # Read and written in place.
            view = memoryview(value).cast("B")
            if view.readonly:
                raise KestError(L.E_TYPE_MISMATCH, f"argument {index + 1} (read-only buffer)")
            block = (ctypes.c_char * len(view)).from_buffer(view) if len(view) else None
            self.keep.append(view)
            v.type = L.VT_BUFFER
            v.buf = ctypes.cast(block, ctypes.c_void_p) if block is not None else None
            v.buf_len = len(view)
        else:
            raise KestError(L.E_TYPE_MISMATCH, f"argument {index + 1} ({type(value).__name__})")

    def buffer(self, index, size, content=b""):
        block = bytearray(size)
        block[: len(content)] = content
        self.owned_buffers[index] = block
        self.put(index, block, L.VT_BUFFER)


def _weak(obj, method):
    """A callback that reaches obj's method without keeping obj alive: a
    control nobody refers to any more is destroyed at once."""
    ref = weakref.ref(obj)

    def call(*args):
        target = ref()
        if target is not None:
            return getattr(target, method)(*args)
        return None

    return call


class Control:
    """One control ("KEST.KestCtrl.1"): one camera.

    Calls and events belong to the thread that made the control.
    """

    def __init__(self, prog_id="KEST.KestCtrl.1"):
        lib = L.library()
        handle = ctypes.c_void_p()
        _check(lib.kest_create(prog_id.encode(), ctypes.byref(handle)), prog_id)
        object.__setattr__(self, "_lib", lib)
        object.__setattr__(self, "_handle", handle)
        object.__setattr__(self, "_handlers", {})
        object.__setattr__(self, "_any", [])
        object.__setattr__(self, "_pending_error", None)
        object.__setattr__(self, "_depth", 0)  # library calls under way
        object.__setattr__(self, "_close_pending", False)
        object.__setattr__(self, "_event_fn", L.EVENT_FN(_weak(self, "_on_event")))
        object.__setattr__(self, "_box_fn", None)
        object.__setattr__(self, "_progress_fn", None)
        _check(lib.kest_set_event_callback(handle, self._event_fn, None), "events")

    # Lifetime.
    def close(self):
        """Destroys the control. Called from one of its own callbacks, it
        takes effect when the library call that ran the callback returns."""
        if self._depth:
            object.__setattr__(self, "_close_pending", True)
            return
        if self._handle:
            self._lib.kest_destroy(self._handle)
            object.__setattr__(self, "_handle", ctypes.c_void_p())

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # noqa: BLE001 - interpreter shutdown
            pass

    def _live(self):
        if not self._handle or self._close_pending:
            raise KestError(L.E_INVALID_ARG, "the control is closed")
        return self._handle

    @contextlib.contextmanager
    def _calling(self):
        """The handle for one library call that may run callbacks: a close
        from inside them waits until the call has returned."""
        handle = self._live()
        object.__setattr__(self, "_depth", self._depth + 1)
        try:
            yield handle
        finally:
            object.__setattr__(self, "_depth", self._depth - 1)
            if self._depth == 0 and self._close_pending:
                object.__setattr__(self, "_close_pending", False)
                self.close()

    # Properties.
    def get(self, name):
        m = self._member(name, L.MEMBER_PROPERTY)
        v = L.Variant()
        with self._calling() as handle:
            status = self._lib.kest_get_property_id(handle, m.dispid, ctypes.byref(v))
        _check(status, name)
        try:
            return _from_c(v)
        finally:
            self._lib.kest_variant_clear(ctypes.byref(v))

    def set(self, name, value):
        m = self._member(name, L.MEMBER_PROPERTY)
        args = _Args(1)
        args.put(0, value, m.type)
        with self._calling() as handle:
            status = self._lib.kest_put_property_id(handle, m.dispid, args.variants)
        _check(status, name)
        self._raise_pending()

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        if find_member(name, L.MEMBER_PROPERTY):
            return self.get(name)
        if find_member(name, L.MEMBER_METHOD):
            return lambda *args, **kwargs: self.call(name, *args, **kwargs)
        raise AttributeError(f"kest control has no property or method {name!r}")

    def __setattr__(self, name, value):
        if find_member(name, L.MEMBER_PROPERTY):
            self.set(name, value)
        else:
            raise AttributeError(f"kest control has no property {name!r}")

    # Methods.
    def call(self, name, *args, **kwargs):
        """Calls a method by name; returns (result, out).

        Arguments are the method's parameters in order: all of them, or only
        the in parameters (out parameters then start empty). Keyword arguments
        name parameters. A buffer parameter takes a bytearray (read and
        written in place), bytes (copied) or a byte count; one that is left out
        gets a block of the size its layout needs. out holds the out parameters and the
        buffers the call allocated, by parameter name.
        """
        m = self._member(name, L.MEMBER_METHOD)
        params = m.params
        ins = [i for i, p in enumerate(params) if not p.out]
        if len(args) == len(params) and len(params) != len(ins):
            order = list(range(len(params)))
        elif len(args) <= len(ins):
            order = ins[: len(args)]
        else:
            raise KestError(L.E_BAD_PARAM_COUNT, name)
        values = dict(zip(order, args))
        for key, value in kwargs.items():
            index = next((i for i, p in enumerate(params) if p.name.lower() == key.lower()), None)
            if index is None or index in values:
                raise KestError(L.E_BAD_PARAM_COUNT, f"{name}: parameter {key}")
            values[index] = value

        c = _Args(len(params))
        for i, p in enumerate(params):
            value = values.get(i)
            if p.type == L.VT_BUFFER and (value is None or type(value) is int):
                size = p.buffer_size if value is None else value
                if size <= 0:
                    raise KestError(L.E_INVALID_ARG, f"{name}: buffer {p.name} needs a size")
                c.buffer(i, size)
            elif p.type == L.VT_BUFFER and isinstance(value, bytes):
                c.buffer(i, len(value), value)  # a copy: returned in out
            elif i in values or p.out:
                c.put(i, value, p.type)
            else:
                raise KestError(L.E_BAD_PARAM_COUNT, f"{name}: missing {p.name}")

        result = ctypes.c_int16(0)
        with self._calling() as handle:
            status = self._lib.kest_invoke(
                handle, m.dispid, c.variants, len(params), ctypes.byref(result)
            )
        # Only a call that succeeded wrote its outs: texts then are the library's.
        _check(status, name)
        out = {}
        try:
            for i, p in enumerate(params):
                if p.out:
                    out[p.name] = _from_c(c.variants[i])
                elif i in c.owned_buffers:
                    out[p.name] = bytes(c.owned_buffers[i])
        finally:
            for i, p in enumerate(params):
                if p.out:
                    self._lib.kest_variant_clear(ctypes.byref(c.variants[i]))
        self._raise_pending()
        return result.value, out

    # Events.
    def on(self, event, callback):
        """callback(*args) for each event of this name, args in parameter order;
        event "*" gives callback(name, args_by_name) for every event."""
        if event == "*":
            self._any.append(callback)
            return
        m = self._member(event, L.MEMBER_EVENT)
        self._handlers.setdefault(m.dispid, []).append(callback)

    def run_messages(self, ms=0):
        """Delivers the control's pending messages (its events), waiting up to ms for more."""
        with self._calling() as handle:
            status = self._lib.kest_run_messages(handle, int(ms))
        _check(status, "run_messages")
        self._raise_pending()

    def wait_event(self, event, timeout_ms, count=1):
        """Runs messages until this event has fired count times or timeout_ms
        passes; returns the arguments of each firing (a list of tuples), which
        may be more than count when one round of messages held more."""
        got = []

        def collect(*args):
            got.append(args)

        self.on(event, collect)
        deadline = time.monotonic() + timeout_ms / 1000.0
        try:
            while len(got) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self.run_messages(max(1, min(50, int(left * 1000))))
        finally:
            m = self._member(event, L.MEMBER_EVENT)
            self._handlers[m.dispid].remove(collect)
        return got

    def input_event(self, event, button=0, shift=0, x=0, y=0):
        """Mouse input from the host's window: Click, DblClick, MouseDown, MouseMove, MouseUp."""
        m = self._member(event, L.MEMBER_EVENT)
        with self._calling() as handle:
            status = self._lib.kest_input_event(handle, m.dispid, button, shift, x, y)
        _check(status, event)
        self._raise_pending()

    def set_message_box(self, callback):
        """callback(text, caption, buttons) -> answer (kest_answer) for the
        control's message boxes; None restores the default (standard error)."""
        if callback is None:
            fn = ctypes.cast(None, L.MESSAGE_BOX_FN)
        else:

            me = weakref.ref(self)  # the control keeps the callback, not the other way

            def box(_user, text, caption, buttons):
                try:
                    return int(
                        callback(
                            text.decode(*_TEXT_ENCODING), caption.decode(*_TEXT_ENCODING), buttons
                        )
                    )
                except BaseException as e:  # noqa: BLE001 - raised again by the caller
                    if me() is not None:
                        me()._keep_error(e)
                    return 1  # KEST_ANSWER_CANCEL

            fn = L.MESSAGE_BOX_FN(box)
        object.__setattr__(self, "_box_fn", fn)
        # Setting it shows the messages kept from loading the library.
        with self._calling() as handle:
            status = self._lib.kest_set_message_box_callback(handle, fn, None)
        _check(status, "message box")
        self._raise_pending()

    def set_progress(self, callback):
        """callback(received, count) with the pages of a download (GetLocalFilelist,
        GetLocalRecFile, SaveReferenceImage) while the method runs; None: none."""
        if callback is None:
            fn = ctypes.cast(None, L.PROGRESS_FN)
        else:

            me = weakref.ref(self)

            def progress(_user, received, count):
                try:
                    callback(received, count)
                except BaseException as e:  # noqa: BLE001 - raised again by the caller
                    if me() is not None:
                        me()._keep_error(e)

            fn = L.PROGRESS_FN(progress)
        object.__setattr__(self, "_progress_fn", fn)
        _check(self._lib.kest_set_progress_callback(self._live(), fn, None), "progress")

    # Persistence.
    def save_properties(self):
        """The stored properties, the state a host keeps with its document, as
        "Name=Value" lines."""
        text = ctypes.c_void_p()
        _check(self._lib.kest_save_properties(self._live(), ctypes.byref(text)), "save")
        try:
            return ctypes.string_at(text).decode(*_TEXT_ENCODING)
        finally:
            self._lib.kest_free_string(text)

    def load_properties(self, text):
        """Loads text saved by save_properties; properties it lacks take their defaults."""
        _check(self._lib.kest_load_properties(self._live(), _encode_text(text)), "load")

    # Painting.
    def draw(self, width, height, face=0xC0C0C0):
        """The control painted at this size: bytes of blue-green-red rows, top-down."""
        block = (ctypes.c_uint8 * (width * height * 3))()
        with self._calling() as handle:
            status = self._lib.kest_draw(handle, block, width, height, width * 3, face)
        _check(status, "draw")
        return bytes(block)

    # Internals.
    def _member(self, name, kind):
        m = find_member(name, kind)
        if m is None:
            raise KestError(L.E_MEMBER_NOT_FOUND, name)
        return m

    def _on_event(self, _user, dispid, name, args, nargs):
        try:
            values = tuple(_from_c(args[i]) for i in range(nargs))
            for callback in list(self._handlers.get(dispid, ())):
                callback(*values)
            if self._any:
                m = next((x for x in members() if x.kind == L.MEMBER_EVENT and x.dispid == dispid))
                by_name = {p.name: v for p, v in zip(m.params, values)}
                for callback in list(self._any):
                    callback(name.decode(), by_name)
        except BaseException as e:  # noqa: BLE001 - raised again by the caller
            self._keep_error(e)

    def _keep_error(self, e):
        if self._pending_error is None:
            object.__setattr__(self, "_pending_error", e)

    def _raise_pending(self):
        e = self._pending_error
        if e is not None:
            object.__setattr__(self, "_pending_error", None)
            raise e
