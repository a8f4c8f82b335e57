/* The C interface from a C program: create, properties, dispatch errors, the
 * type library, input events, message boxes, painting, and against a simulator
 * that the test starts (argv[1] = kestsim): GetVersion, an Alarm, and the
 * picture stream with NewImage, ChangeFrameSize and EndDownloading. Every
 * method is run once with arguments of its declared types; the font chooser
 * and the stored properties go through their own entry points. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kest.h"

static int failures = 0;
#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            failures++;                                                              \
        }                                                                            \
    } while (0)

static kest_variant I4(int v) {
    kest_variant x;
    memset(&x, 0, sizeof x);
    x.type = KEST_VT_I4;
    x.i = v;
    return x;
}

static kest_variant I2(int v) {
    kest_variant x = I4(v);
    x.type = KEST_VT_I2;
    return x;
}

static kest_variant Text(const char* s) {
    kest_variant x;
    memset(&x, 0, sizeof x);
    x.type = KEST_VT_TEXT;
    x.text = (char*)s;
    x.text_len = strlen(s);
    return x;
}

/* Every event the callback saw, with its arguments copied. */
#define MAX_EVENTS 4096
struct event {
    int32_t dispid;
    char name[32];
    int nargs;
    int32_t types[4];
    int32_t ints[4];
    char text[32];
};
static struct event events[MAX_EVENTS];
static int nevents = 0;

static void OnEvent(void* user, int32_t dispid, const char* name, const kest_variant* args,
                    int nargs) {
    (*(int*)user)++;
    if (nevents == MAX_EVENTS) return;
    struct event* e = &events[nevents++];
    memset(e, 0, sizeof *e);
    e->dispid = dispid;
    snprintf(e->name, sizeof e->name, "%s", name);
    e->nargs = nargs;
    for (int i = 0; i < nargs && i < 4; ++i) {
        e->types[i] = args[i].type;
        e->ints[i] = args[i].i;
        if (args[i].type == KEST_VT_TEXT && e->text[0] == 0) {
            snprintf(e->text, sizeof e->text, "%.*s", (int)args[i].text_len, args[i].text);
        }
    }
}

/* The last event of this DISPID at or after index from; NULL when none. */
static const struct event* Find(int32_t dispid, int from) {
    const struct event* found = NULL;
    for (int i = from; i < nevents; ++i) {
        if (events[i].dispid == dispid) found = &events[i];
    }
    return found;
}

static int Count(int32_t dispid, int from) {
    int n = 0;
    for (int i = from; i < nevents; ++i)
        n += events[i].dispid == dispid;
    return n;
}

/* Runs messages in short slices until the event has fired count times since
 * from, for at most about 10 s. */
static int WaitFor(kest_ctrl* ctrl, int32_t dispid, int count, int from) {
    for (int slice = 0; slice < 200 && Count(dispid, from) < count; ++slice)
        kest_run_messages(ctrl, 50);
    return Count(dispid, from) >= count;
}

static char last_caption[64];
static int boxes = 0;
static int OnMessageBox(void* user, const char* text, const char* caption, int buttons) {
    (void)user, (void)text, (void)buttons;
    boxes++;
    snprintf(last_caption, sizeof last_caption, "%s", caption);
    return KEST_ANSWER_OK;
}

static void CheckTypeLibrary(void) {
    const int count = kest_member_count();
    CHECK(count > 100);
    kest_member m;
    kest_param p;
    int index = -1;
    /* Every member has a name, and (kind, DISPID) is unique. */
    for (int i = 0; i < count; ++i) {
        CHECK(kest_member_info(i, &m) == KEST_OK && m.name && m.name[0] && m.summary);
        for (int k = 0; k < m.nparams; ++k)
            CHECK(kest_member_param(i, k, &p) == KEST_OK && p.name && p.name[0]);
        CHECK(kest_member_param(i, m.nparams, &p) == KEST_E_MEMBER_NOT_FOUND);
        for (int j = 0; j < i; ++j) {
            kest_member o;
            kest_member_info(j, &o);
            CHECK(!(o.kind == m.kind && o.dispid == m.dispid));
        }
    }
    CHECK(kest_member_info(count, &m) == KEST_E_MEMBER_NOT_FOUND);
    CHECK(kest_member_info(-1, &m) == KEST_E_MEMBER_NOT_FOUND);
    CHECK(kest_member_info(0, NULL) == KEST_E_INVALID_ARG);

    CHECK(kest_find_member("getversion", KEST_MEMBER_METHOD, &index) == KEST_OK);
    CHECK(kest_member_info(index, &m) == KEST_OK && m.dispid == 15 &&
          strcmp(m.name, "GetVersion") == 0 && m.kind == KEST_MEMBER_METHOD &&
          (m.flags & KEST_MEMBER_HAS_RESULT) && m.nparams == 2);
    CHECK(kest_member_param(index, 1, &p) == KEST_OK && strcmp(p.name, "ProgramVersion") == 0 &&
          p.type == KEST_VT_I2 && p.direction == KEST_PARAM_OUT);
    CHECK(kest_find_member("AboutBox", KEST_MEMBER_METHOD, &index) == KEST_OK);
    CHECK(kest_member_info(index, &m) == KEST_OK && !(m.flags & KEST_MEMBER_HAS_RESULT));

    /* A buffer parameter with the size its layout needs. */
    CHECK(kest_find_member("GetDHCP", KEST_MEMBER_METHOD, &index) == KEST_OK);
    CHECK(kest_member_param(index, 2, &p) == KEST_OK && strcmp(p.name, "IPAddress") == 0 &&
          p.type == KEST_VT_BUFFER && p.direction == KEST_PARAM_IN && p.buffer_size == 4);

    CHECK(kest_find_member("Password", KEST_MEMBER_PROPERTY, &index) == KEST_OK);
    CHECK(kest_member_info(index, &m) == KEST_OK && m.dispid == 8 && m.type == KEST_VT_TEXT &&
          m.flags == KEST_MEMBER_WRITABLE);
    CHECK(kest_find_member("CameraPort", KEST_MEMBER_PROPERTY, &index) == KEST_OK);
    CHECK(kest_member_info(index, &m) == KEST_OK && m.type == KEST_VT_I4 &&
          m.flags == (KEST_MEMBER_READABLE | KEST_MEMBER_WRITABLE));

    /* StopRec is both a method and an event; the kind tells them apart. */
    int method = -1, event = -1;
    CHECK(kest_find_member("StopRec", KEST_MEMBER_METHOD, &method) == KEST_OK);
    CHECK(kest_find_member("StopRec", KEST_MEMBER_EVENT, &event) == KEST_OK);
    CHECK(method != event);
    CHECK(kest_member_info(event, &m) == KEST_OK && m.dispid == 14 && m.nparams == 2);
    CHECK(kest_member_param(event, 0, &p) == KEST_OK && strcmp(p.name, "ErrorCode") == 0 &&
          p.type == KEST_VT_I4);

    CHECK(kest_find_member("Alarm", KEST_MEMBER_EVENT, &index) == KEST_OK);
    CHECK(kest_member_info(index, &m) == KEST_OK && m.dispid == 3 && m.nparams == 2);
    CHECK(kest_member_param(index, 0, &p) == KEST_OK && strcmp(p.name, "IPAddress") == 0 &&
          p.type == KEST_VT_TEXT);
    CHECK(kest_member_param(index, 1, &p) == KEST_OK && strcmp(p.name, "AlarmType") == 0 &&
          p.type == KEST_VT_I2);
    CHECK(kest_find_member("Alarm", KEST_MEMBER_METHOD, &index) == KEST_E_MEMBER_NOT_FOUND);
    CHECK(kest_find_member(NULL, KEST_MEMBER_METHOD, &index) == KEST_E_INVALID_ARG);
}

/* Every method is reached by its DISPID (a wrong argument count is refused by
 * the method's own adapter), every readable property answers, and every
 * property can be written with its own value. */
static void CheckEveryMemberReachable(kest_ctrl* ctrl) {
    kest_variant args[32];
    int methods = 0, properties = 0;
    for (int i = 0; i < kest_member_count(); ++i) {
        kest_member m;
        kest_member_info(i, &m);
        if (m.kind == KEST_MEMBER_METHOD) {
            memset(args, 0, sizeof args);
            int16_t result = -1;
            CHECK(m.nparams < 32);
            CHECK(kest_invoke(ctrl, m.dispid, args, m.nparams + 1, &result) ==
                  KEST_E_BAD_PARAM_COUNT);
            methods++;
        } else if (m.kind == KEST_MEMBER_PROPERTY && (m.flags & KEST_MEMBER_READABLE)) {
            kest_variant v;
            memset(&v, 0, sizeof v);
            CHECK(kest_get_property_id(ctrl, m.dispid, &v) == KEST_OK && v.type == m.type);
            CHECK(kest_put_property_id(ctrl, m.dispid, &v) == KEST_OK);
            kest_variant_clear(&v);
            properties++;
        }
    }
    CHECK(methods > 100 && properties == 9);
}

/* Every method runs through the C interface with arguments of its declared
 * types (zeros, empty texts, zeroed buffers of the declared size), on a
 * control without a camera address: no dispatch error, a result for every
 * method that has one, and every out parameter written back in its type. */
static void CheckEveryMethodRuns(kest_ctrl* ctrl) {
    kest_variant args[32];
    unsigned char buffers[32][2048];
    int ran = 0;
    for (int i = 0; i < kest_member_count(); ++i) {
        kest_member m;
        kest_member_info(i, &m);
        if (m.kind != KEST_MEMBER_METHOD || m.nparams > 32) continue;
        memset(args, 0, sizeof args);
        memset(buffers, 0, sizeof buffers);
        int usable = 1;
        for (int k = 0; k < m.nparams; ++k) {
            kest_param p;
            CHECK(kest_member_param(i, k, &p) == KEST_OK);
            if (p.direction == KEST_PARAM_OUT) continue; /* written back by the call */
            args[k].type = p.type;
            if (p.type == KEST_VT_TEXT) {
                args[k] = Text("");
            } else if (p.type == KEST_VT_BUFFER) {
                if (p.buffer_size > sizeof buffers[k]) usable = 0;
                args[k].buf = buffers[k];
                args[k].buf_len = p.buffer_size ? p.buffer_size : 64;
            }
        }
        CHECK(usable);
        if (!usable) continue;
        int16_t result = -32768;
        const int status = kest_invoke(ctrl, m.dispid, args, m.nparams, &result);
        if (status != KEST_OK) fprintf(stderr, "%s: %s\n", m.name, kest_status_text(status));
        CHECK(status == KEST_OK);
        if (m.flags & KEST_MEMBER_HAS_RESULT) CHECK(result != -32768);
        for (int k = 0; k < m.nparams; ++k) {
            kest_param p;
            kest_member_param(i, k, &p);
            if (p.direction != KEST_PARAM_OUT) continue;
            if (args[k].type != p.type) fprintf(stderr, "%s: %s not written\n", m.name, p.name);
            CHECK(args[k].type == p.type);
            kest_variant_clear(&args[k]);
        }
        kest_run_messages(ctrl, 0);
        ran++;
    }
    CHECK(ran > 100);
}

/* The font chooser through the C callback: SetTimeStampFont takes the font
 * the host chose, and GetTimeStampFont reads it back. */
static int font_calls = 0;
static int OnChooseFont(void* user, kest_font* font) {
    font_calls++;
    if (*(int*)user == 0) return 0; /* cancelled */
    font->height = -17;
    font->weight = 700;
    memset(font->face_name, 'M', sizeof font->face_name); /* not terminated */
    return 1;
}

static void CheckFontChooser(kest_ctrl* ctrl) {
    int take = 0;
    CHECK(kest_set_font_callback(ctrl, OnChooseFont, &take) == KEST_OK);
    kest_variant none;
    memset(&none, 0, sizeof none);
    int16_t result = -1;
    unsigned char record[60];
    kest_variant buf;
    memset(&buf, 0, sizeof buf);
    buf.type = KEST_VT_BUFFER;
    buf.buf = record;
    buf.buf_len = sizeof record;
    int32_t height, weight;
    /* Cancelled: the call succeeds and the font stays. */
    CHECK(kest_invoke_name(ctrl, "SetTimeStampFont", &none, 0, &result) == KEST_OK);
    CHECK(font_calls == 1 && result == 0);
    CHECK(kest_invoke_name(ctrl, "GetTimeStampFont", &buf, 1, &result) == KEST_OK && result == 0);
    memcpy(&height, record, 4);
    CHECK(height != -17);
    take = 1;
    CHECK(kest_invoke_name(ctrl, "SetTimeStampFont", &none, 0, &result) == KEST_OK);
    CHECK(font_calls == 2 && result == 0);
    memset(record, 0xEE, sizeof record);
    CHECK(kest_invoke_name(ctrl, "GetTimeStampFont", &buf, 1, &result) == KEST_OK && result == 0);
    memcpy(&height, record, 4);
    memcpy(&weight, record + 16, 4);
    CHECK(height == -17 && weight == 700);
    CHECK(record[28] == 'M' && record[28 + 30] == 'M' && record[28 + 31] == 0);
    CHECK(kest_set_font_callback(ctrl, NULL, NULL) == KEST_OK);
}

/* The stored properties as text: saved from one control, loaded into another. */
static void CheckPersistence(kest_ctrl* ctrl) {
    kest_variant port = I4(4123);
    CHECK(kest_put_property(ctrl, "CameraPort", &port) == KEST_OK);
    char* text = NULL;
    CHECK(kest_save_properties(ctrl, &text) == KEST_OK && text != NULL);
    CHECK(text && strstr(text, "CameraPort=4123") != NULL);
    kest_ctrl* other = NULL;
    CHECK(kest_create("KEST.KestCtrl.1", &other) == KEST_OK);
    CHECK(kest_load_properties(other, text) == KEST_OK);
    kest_variant v;
    memset(&v, 0, sizeof v);
    CHECK(kest_get_property(other, "CameraPort", &v) == KEST_OK && v.i == 4123);
    /* A text without the property gives it its default again. */
    CHECK(kest_load_properties(other, "Visible=-1\n") == KEST_OK);
    CHECK(kest_get_property(other, "CameraPort", &v) == KEST_OK && v.i == 4000);
    CHECK(kest_load_properties(other, NULL) == KEST_E_INVALID_ARG);
    /* A text property with a line break would not load back: not saved. */
    kest_variant broken = Text("127.0.0.1\nCameraPort=1");
    CHECK(kest_put_property(other, "RemoteIPAddress", &broken) == KEST_OK);
    char* refused = (char*)"untouched";
    CHECK(kest_save_properties(other, &refused) == KEST_E_INVALID_ARG && refused == NULL);
    CHECK(kest_save_properties(other, NULL) == KEST_E_INVALID_ARG);
    kest_free_string(text);
    kest_destroy(other);
    port = I4(4000);
    CHECK(kest_put_property(ctrl, "CameraPort", &port) == KEST_OK);
}

static void CheckInputAndDialogs(kest_ctrl* ctrl) {
    const int from = nevents;
    CHECK(kest_input_event(ctrl, -605, 1, 4, 10, -20) == KEST_OK);
    CHECK(kest_input_event(ctrl, -600, 0, 0, 0, 0) == KEST_OK);
    CHECK(kest_input_event(ctrl, 2, 0, 0, 0, 0) == KEST_E_MEMBER_NOT_FOUND);
    const struct event* down = Find(-605, from);
    CHECK(down && strcmp(down->name, "MouseDown") == 0 && down->nargs == 4);
    if (down) {
        CHECK(down->types[0] == KEST_VT_I2 && down->ints[0] == 1);
        CHECK(down->types[1] == KEST_VT_I2 && down->ints[1] == 4);
        CHECK(down->types[2] == KEST_VT_I4 && down->ints[2] == 10);
        CHECK(down->types[3] == KEST_VT_I4 && down->ints[3] == -20);
    }
    const struct event* click = Find(-600, from);
    CHECK(click && click->nargs == 0);

    CHECK(kest_set_message_box_callback(ctrl, OnMessageBox, NULL) == KEST_OK);
    int16_t result = -1;
    CHECK(kest_invoke_name(ctrl, "AboutBox", NULL, 0, &result) == KEST_OK && result == 0);
    CHECK(boxes == 1 && strcmp(last_caption, "About") == 0);
    CHECK(kest_set_message_box_callback(ctrl, NULL, NULL) == KEST_OK);
}

static void CheckDraw(kest_ctrl* ctrl) {
    /* Without pictures the control paints its 320 x 240 surface and the face
     * colour right of and below it. */
    enum { W = 400, H = 300, STRIDE = W * 3 + 4 };
    static uint8_t pixels[H * STRIDE];
    memset(pixels, 0x55, sizeof pixels);
    CHECK(kest_draw(ctrl, pixels, W, H, STRIDE, 0x00FF0000u) == KEST_OK); /* blue */
    const uint8_t* corner = pixels + (H - 1) * STRIDE + (W - 1) * 3;
    CHECK(corner[0] == 0xFF && corner[1] == 0 && corner[2] == 0);
    CHECK(pixels[STRIDE - 1] == 0x55); /* the padding is the caller's */
    CHECK(kest_draw(ctrl, pixels, W, H, W * 3 - 1, 0) == KEST_E_INVALID_ARG);
    CHECK(kest_draw(ctrl, NULL, W, H, STRIDE, 0) == KEST_E_INVALID_ARG);
}

/* Starts kestsim on a free loopback port; the port from its first line. */
static pid_t StartSimulator(const char* kestsim, int* port) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); /* never outlive the test */
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        execl(kestsim, kestsim, "--port", "0", "--search-port", "0", "--no-rtsp", "--model", "20",
              "--program-version", "14", (char*)NULL);
        _exit(127);
    }
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    char line[256];
    *port = 0;
    while (in && fgets(line, sizeof line, in)) {
        fputs(line, stderr);
        const char* at = strstr(line, "listening on 127.0.0.1:");
        if (at) {
            *port = atoi(at + strlen("listening on 127.0.0.1:"));
            break;
        }
    }
    /* The rest of its output is not read: the simulator says little more. */
    return pid;
}

static void CheckAlarm(kest_ctrl* ctrl, pid_t sim) {
    int16_t result = -1;
    CHECK(kest_invoke_name(ctrl, "AlarmRegister", NULL, 0, &result) == KEST_OK && result == 0);
    const int from = nevents;
    kill(sim, SIGUSR1); /* the simulator alarms its recipients (type 1) */
    CHECK(WaitFor(ctrl, 3, 1, from));
    const struct event* alarm = Find(3, from);
    CHECK(alarm && strcmp(alarm->name, "Alarm") == 0 && alarm->nargs == 2);
    if (alarm) {
        CHECK(alarm->types[0] == KEST_VT_TEXT && strcmp(alarm->text, "127.0.0.1") == 0);
        CHECK(alarm->types[1] == KEST_VT_I2 && alarm->ints[1] == 1);
    }
    CHECK(kest_invoke_name(ctrl, "AlarmDeregister", NULL, 0, &result) == KEST_OK && result == 0);
}

static int32_t progress_received = -1, progress_count = -1, progress_calls = 0;
static void OnProgress(void* user, int32_t received, int32_t count) {
    (void)user;
    progress_calls++;
    progress_received = received;
    progress_count = count;
}

/* The reference picture comes in pages; the last report is all of them. */
static void CheckProgress(kest_ctrl* ctrl) {
    char path[] = "/tmp/kest_c_abi_XXXXXX";
    const int fd = mkstemp(path);
    CHECK(fd >= 0);
    if (fd < 0) return;
    close(fd);
    CHECK(kest_set_progress_callback(ctrl, OnProgress, NULL) == KEST_OK);
    kest_variant name = Text(path);
    int16_t result = -1;
    CHECK(kest_invoke_name(ctrl, "SaveReferenceImage", &name, 1, &result) == KEST_OK &&
          result == 0);
    CHECK(progress_calls > 0 && progress_count > 0 && progress_received == progress_count);
    FILE* f = fopen(path, "rb");
    CHECK(f && fgetc(f) == 0xFF && fgetc(f) == 0xD8); /* a JPEG file */
    if (f) fclose(f);
    unlink(path);
    CHECK(kest_set_progress_callback(ctrl, NULL, NULL) == KEST_OK);
}

static void CheckStream(kest_ctrl* ctrl) {
    int16_t result = -1;
    int from = nevents;
    CHECK(kest_invoke_name(ctrl, "StartDownloading", NULL, 0, &result) == KEST_OK && result == 0);
    CHECK(WaitFor(ctrl, 2, 3, from));
    const struct event* size = Find(5, from);
    CHECK(size && size->nargs == 2 && size->types[0] == KEST_VT_I2);
    if (size) CHECK(size->ints[0] == 640 && size->ints[1] == 480);
    const struct event* image = Find(2, from);
    CHECK(image && image->nargs == 0 && strcmp(image->name, "NewImage") == 0);

    /* The picture is painted: the picture area is no longer the face colour. */
    static uint8_t pixels[480 * 640 * 3];
    CHECK(kest_draw(ctrl, pixels, 640, 480, 640 * 3, 0x00FF00FFu) == KEST_OK);
    int face = 0;
    for (int i = 0; i < 640 * 480; ++i)
        face += pixels[i * 3] == 0xFF && pixels[i * 3 + 1] == 0 && pixels[i * 3 + 2] == 0xFF;
    CHECK(face < 640 * 480 / 2);

    /* A new frame size while streaming: the next pictures report it. */
    from = nevents;
    kest_variant size_args[2] = {I2(320), I2(240)};
    CHECK(kest_invoke_name(ctrl, "SetFrameSize", size_args, 2, &result) == KEST_OK && result == 0);
    CHECK(WaitFor(ctrl, 5, 1, from));
    size = Find(5, from);
    if (size) CHECK(size->ints[0] == 320 && size->ints[1] == 240);

    from = nevents;
    CHECK(kest_invoke_name(ctrl, "StopDownloading", NULL, 0, &result) == KEST_OK && result == 0);
    CHECK(WaitFor(ctrl, 15, 1, from));
    const struct event* end = Find(15, from);
    CHECK(end && end->nargs == 1 && end->types[0] == KEST_VT_I2);
    if (end) CHECK(end->ints[0] == 101);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: c_abi_test KESTSIM\n");
        return 2;
    }
    /* A folder of its own: the settings file sends any search to loopback,
     * and files the methods write stay there. */
    char dir[] = "/tmp/kest-c-abi-XXXXXX";
    CHECK(mkdtemp(dir) != NULL && chdir(dir) == 0);
    FILE* ini = fopen("KEST.INI", "w");
    CHECK(ini != NULL);
    if (ini) {
        fputs("[udp]\nsearch_address=127.0.0.1:9\n", ini);
        fclose(ini);
    }
    CHECK(strlen(kest_library_version()) >= 5);
    kest_ctrl* ctrl = NULL;
    CHECK(kest_create("KEST.Nothing.1", &ctrl) == KEST_E_UNKNOWN_PROGID);
    CHECK(kest_create("KEST.KestCtrl.1", &ctrl) == KEST_OK && ctrl != NULL);
    int fired = 0;
    CHECK(kest_set_event_callback(ctrl, OnEvent, &fired) == KEST_OK);

    kest_variant v;
    memset(&v, 0, sizeof v);
    CHECK(kest_get_property(ctrl, "CameraPort", &v) == KEST_OK && v.type == KEST_VT_I4 &&
          v.i == 4000);
    CHECK(kest_get_property_id(ctrl, 111, &v) == KEST_OK && v.i == 554);
    CHECK(kest_get_property_id(ctrl, 8, &v) == KEST_E_GET_NOT_SUPPORTED);
    CHECK(kest_get_property_id(ctrl, 9, &v) == KEST_E_MEMBER_NOT_FOUND);
    CHECK(kest_get_property(ctrl, "Password", &v) == KEST_E_GET_NOT_SUPPORTED);
    kest_variant s = Text("secret");
    CHECK(kest_put_property(ctrl, "Password", &s) == KEST_OK);
    kest_variant wrong = Text("x");
    CHECK(kest_put_property(ctrl, "Timeout", &wrong) == KEST_E_TYPE_MISMATCH);
    kest_variant stretch = I4(1);
    stretch.type = KEST_VT_BOOL;
    CHECK(kest_put_property_id(ctrl, 2, &stretch) == KEST_OK);
    CHECK(kest_get_property(ctrl, "Stretch", &v) == KEST_OK && v.type == KEST_VT_BOOL && v.i == 1);
    stretch.i = 0;
    CHECK(kest_put_property_id(ctrl, 2, &stretch) == KEST_OK);

    int32_t dispid = 0;
    CHECK(kest_get_dispid("getversion", &dispid) == KEST_OK && dispid == 15);
    CHECK(kest_get_dispid("NewImage", &dispid) == KEST_OK && dispid == 2);

    kest_variant out[2];
    memset(out, 0, sizeof out);
    int16_t result = -1;
    CHECK(kest_invoke(ctrl, 15, out, 1, &result) == KEST_E_BAD_PARAM_COUNT);
    CHECK(kest_invoke(ctrl, 4242, out, 0, &result) == KEST_E_MEMBER_NOT_FOUND);
    CHECK(kest_invoke(ctrl, 15, out, 2, &result) == KEST_OK && result == 7);
    /* A 16-bit value that does not fit is refused, not cut. */
    kest_variant wide = I2(70000);
    result = -1;
    CHECK(kest_invoke_name(ctrl, "SetCameraFrameRate", &wide, 1, &result) == KEST_E_OVERFLOW &&
          result == -1);
    CHECK(kest_put_property(ctrl, "CameraPort", &wide) == KEST_E_OVERFLOW);
    CHECK(strcmp(kest_status_text(KEST_E_OUT_OF_MEMORY), "out of memory") == 0);

    CheckTypeLibrary();
    CheckEveryMemberReachable(ctrl);
    CheckEveryMethodRuns(ctrl);
    CheckFontChooser(ctrl);
    CheckPersistence(ctrl);
    CheckInputAndDialogs(ctrl);
    CheckDraw(ctrl);

    int port = 0;
    pid_t pid = StartSimulator(argv[1], &port);
    CHECK(pid > 0 && port > 0);
    kest_variant ip = Text("127.0.0.1");
    kest_variant camera_port = I4(port);
    CHECK(kest_put_property(ctrl, "RemoteIPAddress", &ip) == KEST_OK);
    CHECK(kest_put_property(ctrl, "CameraPort", &camera_port) == KEST_OK);
    kest_variant timeout = I4(500);
    CHECK(kest_put_property(ctrl, "Timeout", &timeout) == KEST_OK);
    memset(out, 0, sizeof out);
    CHECK(kest_invoke_name(ctrl, "GetVersion", out, 2, &result) == KEST_OK && result == 0);
    CHECK(out[0].type == KEST_VT_I2 && out[0].i == 20);
    CHECK(out[1].type == KEST_VT_I2 && out[1].i == 14);

    /* An out text belongs to the caller, who frees it. */
    kest_variant mac;
    memset(&mac, 0, sizeof mac);
    CHECK(kest_invoke_name(ctrl, "GetMacAddress", &mac, 1, &result) == KEST_OK && result == 0);
    CHECK(mac.type == KEST_VT_TEXT && mac.text_len == 17 && strlen(mac.text) == 17);
    kest_variant_clear(&mac);
    CHECK(mac.type == KEST_VT_EMPTY && mac.text == NULL);

    if (pid > 0 && port > 0) {
        CheckAlarm(ctrl, pid);
        CheckProgress(ctrl);
        CheckStream(ctrl);
    }
    CHECK(kest_run_messages(ctrl, 0) == KEST_OK);
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, NULL, 0);
    }

    kest_variant_clear(&v);
    kest_destroy(ctrl);
    CHECK(fired == nevents || nevents == MAX_EVENTS);
    CHECK(DllRegisterServer() == 0 && DllUnregisterServer() == 0);
    char cleanup[64];
    snprintf(cleanup, sizeof cleanup, "rm -rf '%s'", dir);
    CHECK(system(cleanup) == 0);
    printf("%s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
