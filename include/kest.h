/* kest: the camera control as a C interface, for C and other languages.
 *
 * A control is created by program identifier and driven by dispatch: methods
 * by DISPID or name, properties by name. Events are delivered to a callback
 * while the host runs the control's messages (kest_run_messages), on the
 * host's thread. All functions of one control must be called on one thread.
 */
#ifndef KEST_H
#define KEST_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kest_ctrl kest_ctrl;

/* Dispatch status of every call; method results come back separately. */
enum kest_status {
    KEST_OK = 0,
    KEST_E_MEMBER_NOT_FOUND = -1, /* unknown DISPID or name */
    KEST_E_BAD_PARAM_COUNT = -2,
    KEST_E_TYPE_MISMATCH = -3,
    KEST_E_OVERFLOW = -4,
    KEST_E_GET_NOT_SUPPORTED = -5, /* reading the write-only Password */
    KEST_E_PUT_NOT_SUPPORTED = -6,
    KEST_E_INVALID_ARG = -7, /* a null pointer or a bad variant */
    KEST_E_UNKNOWN_PROGID = -8
};

enum kest_vartype {
    KEST_VT_EMPTY = 0,
    KEST_VT_I2 = 1,
    KEST_VT_I4 = 2,
    KEST_VT_BOOL = 3,
    KEST_VT_TEXT = 4,  /* bytes, not necessarily NUL-free */
    KEST_VT_BUFFER = 5 /* a block the caller owns; methods stay within buf_len */
};

typedef struct kest_variant {
    int32_t type; /* enum kest_vartype */
    int32_t i;    /* I2, I4 and BOOL */
    char* text;   /* TEXT: in arguments the caller's; out texts are the library's:
                     free them with kest_free_string */
    size_t text_len;
    void* buf; /* BUFFER */
    size_t buf_len;
} kest_variant;

/* An event: its DISPID, its name and its arguments (valid during the call). */
typedef void (*kest_event_fn)(void* user, int32_t dispid, const char* name,
                              const kest_variant* args, int nargs);

/* Creates "KEST.KestCtrl.1" (with a headless window) or "KEST.PropPage.1". */
int kest_create(const char* prog_id, kest_ctrl** out);
void kest_destroy(kest_ctrl* ctrl);

/* Invokes a method; args[i] is the i-th parameter. Out parameters are written
 * back into their variant. result receives the method's 16-bit result. */
int kest_invoke(kest_ctrl* ctrl, int32_t dispid, kest_variant* args, int nargs, int16_t* result);
int kest_invoke_name(kest_ctrl* ctrl, const char* name, kest_variant* args, int nargs,
                     int16_t* result);
/* The DISPID of a method, property or event name (case-insensitive). */
int kest_get_dispid(const char* name, int32_t* dispid);

int kest_get_property(kest_ctrl* ctrl, const char* name, kest_variant* value);
int kest_put_property(kest_ctrl* ctrl, const char* name, const kest_variant* value);

int kest_set_event_callback(kest_ctrl* ctrl, kest_event_fn fn, void* user);
/* Runs the control's pending messages, then waits up to wait_ms for more. */
int kest_run_messages(kest_ctrl* ctrl, int wait_ms);

/* Frees a text the library returned, and clears out variants' texts. */
void kest_free_string(char* text);
void kest_variant_clear(kest_variant* v);

/* The message of a status code. */
const char* kest_status_text(int status);

/* Self-registration entry points of the in-process server: nothing to register
 * on this platform; they succeed. */
long DllRegisterServer(void);
long DllUnregisterServer(void);
long DllCanUnloadNow(void);

#ifdef __cplusplus
}
#endif

#endif /* KEST_H */
