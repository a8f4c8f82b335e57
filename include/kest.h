/* kest: the camera control as a C interface, for C and other languages.
 *
 * A control is created by program identifier and driven by dispatch: methods
 * by DISPID or name, properties by name. Events are delivered to a callback
 * while the host runs the control's messages (kest_run_messages), on the
 * host's thread. All functions of one control must be called on one thread,
 * and a control is not destroyed from inside its own callbacks.
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
    KEST_E_UNKNOWN_PROGID = -8,
    KEST_E_OUT_OF_MEMORY = -9
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
    int32_t i;    /* I2 (-32768 to 32767, else KEST_E_OVERFLOW), I4 and BOOL */
    char* text;   /* TEXT: in arguments the caller's; out texts are the library's:
                     free them with kest_free_string */
    size_t text_len;
    void* buf; /* BUFFER */
    size_t buf_len;
} kest_variant;

/* An event: its DISPID, its name and its arguments (valid during the call). */
typedef void (*kest_event_fn)(void* user, int32_t dispid, const char* name,
                              const kest_variant* args, int nargs);

/* Out parameters are written over without being read: clear a variant that
 * holds an out text of an earlier call (kest_variant_clear) before reusing it. */

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

/* Properties by DISPID (1 to 8, 111, 112). */
int kest_get_property_id(kest_ctrl* ctrl, int32_t dispid, kest_variant* value);
int kest_put_property_id(kest_ctrl* ctrl, int32_t dispid, const kest_variant* value);

/* The type library: every property, method and event, with its parameters,
 * for hosts that build their calls at run time. Members are numbered from 0
 * to kest_member_count() - 1 (properties, then methods, then events, each in
 * DISPID order); names and summaries stay valid while the library is loaded. */
enum kest_member_kind { KEST_MEMBER_PROPERTY = 0, KEST_MEMBER_METHOD = 1, KEST_MEMBER_EVENT = 2 };

enum kest_member_flags {
    KEST_MEMBER_READABLE = 1,  /* properties that can be read */
    KEST_MEMBER_WRITABLE = 2,  /* properties that can be written */
    KEST_MEMBER_HAS_RESULT = 4 /* methods that return a 16-bit result */
};

typedef struct kest_member {
    int32_t dispid;
    int32_t kind;     /* enum kest_member_kind */
    const char* name; /* spelled as the interface spells it */
    int32_t type;     /* properties: the value's kest_vartype; others KEST_VT_EMPTY */
    int32_t flags;    /* enum kest_member_flags */
    int32_t nparams;  /* methods and events */
    const char* summary;
} kest_member;

enum kest_param_direction {
    KEST_PARAM_IN = 0,
    KEST_PARAM_OUT = 1 /* written back into its variant by kest_invoke */
};

typedef struct kest_param {
    const char* name;
    int32_t type;         /* kest_vartype: I2, I4, BOOL, TEXT or BUFFER */
    int32_t direction;    /* enum kest_param_direction; buffers are IN: the method
                             reads or writes the caller's block in place */
    uint32_t buffer_size; /* buffers: the bytes the layout needs (0: any) */
} kest_param;

int kest_member_count(void);
int kest_member_info(int index, kest_member* out);
int kest_member_param(int index, int param, kest_param* out);
/* The index of the member of this kind with this name (case-insensitive). */
int kest_find_member(const char* name, int32_t kind, int* index);

/* Paints the control as its window would: the current picture at its display
 * size at the top-left (or stretched to the whole block when Stretch is set),
 * the rest in the colour face (red in the low byte, then green, then blue).
 * pixels is width x height, 3 bytes per pixel (blue, green, red), rows
 * top-down, stride bytes apart (at least width * 3). */
int kest_draw(kest_ctrl* ctrl, uint8_t* pixels, int32_t width, int32_t height, size_t stride,
              uint32_t face);

/* Input from the host's own window: fires the standard events Click (-600),
 * DblClick (-601), MouseDown (-605), MouseMove (-606) and MouseUp (-607) to
 * the event callback; button, shift, x and y are the mouse events' arguments
 * (ignored for the clicks). Other DISPIDs: KEST_E_MEMBER_NOT_FOUND. */
int kest_input_event(kest_ctrl* ctrl, int32_t dispid, int16_t button, int16_t shift, int32_t x,
                     int32_t y);

/* The dialogs the control may show (message boxes, the about box). Without a
 * callback the text goes to standard error and the box is answered Cancel
 * (No for yes/no boxes). The callback returns one of kest_answer. */
enum kest_buttons { KEST_BUTTONS_OK = 0, KEST_BUTTONS_OK_CANCEL = 1, KEST_BUTTONS_YES_NO = 2 };
enum kest_answer {
    KEST_ANSWER_OK = 0,
    KEST_ANSWER_CANCEL = 1,
    KEST_ANSWER_YES = 2,
    KEST_ANSWER_NO = 3
};
/* buttons is a kest_buttons; the about box comes with caption "About" and KEST_BUTTONS_OK. */
typedef int (*kest_message_box_fn)(void* user, const char* text, const char* caption, int buttons);
int kest_set_message_box_callback(kest_ctrl* ctrl, kest_message_box_fn fn, void* user);

/* The time-stamp font: the logical-font record that GetTimeStampFont fills
 * (60 bytes: five 32-bit metrics, eight bytes, the face name). */
typedef struct kest_font {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strike_out;
    uint8_t char_set;
    uint8_t out_precision;
    uint8_t clip_precision;
    uint8_t quality;
    uint8_t pitch_and_family;
    char face_name[32]; /* NUL-terminated */
} kest_font;
/* The font chooser that SetTimeStampFont opens: font holds the current font;
 * the callback may change it and returns nonzero to take it, 0 to cancel.
 * Without a callback the chooser is cancelled. */
typedef int (*kest_font_fn)(void* user, kest_font* font);
int kest_set_font_callback(kest_ctrl* ctrl, kest_font_fn fn, void* user);

/* The control's stored properties, the state a host keeps with its document:
 * "Name=Value" lines. kest_save_properties returns a text to free with
 * kest_free_string; kest_load_properties takes such a text, and properties
 * it lacks take their defaults. */
int kest_save_properties(kest_ctrl* ctrl, char** text);
int kest_load_properties(kest_ctrl* ctrl, const char* text);

/* Progress of the paged downloads (GetLocalFilelist, GetLocalRecFile,
 * SaveReferenceImage): pages received of the page count, called during the
 * method on the caller's thread. NULL: none. */
typedef void (*kest_progress_fn)(void* user, int32_t received, int32_t count);
int kest_set_progress_callback(kest_ctrl* ctrl, kest_progress_fn fn, void* user);

/* The library's version, "major.minor.patch". */
const char* kest_library_version(void);

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
