/* The C interface from a C program: create, properties, dispatch errors,
 * GetVersion against a simulator started by the test (argv[1] = kestsim, argv[2] = port). */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kest.h"

static int failures = 0;
#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            failures++;                                                \
        }                                                              \
    } while (0)

static kest_variant I4(int v) {
    kest_variant x;
    memset(&x, 0, sizeof x);
    x.type = KEST_VT_I4;
    x.i = v;
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

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: c_abi_test KESTSIM PORT\n");
        return 2;
    }
    kest_ctrl* ctrl = NULL;
    CHECK(kest_create("KEST.Nothing.1", &ctrl) == KEST_E_UNKNOWN_PROGID);
    CHECK(kest_create("KEST.KestCtrl.1", &ctrl) == KEST_OK && ctrl != NULL);

    kest_variant v;
    memset(&v, 0, sizeof v);
    CHECK(kest_get_property(ctrl, "CameraPort", &v) == KEST_OK && v.type == KEST_VT_I4 &&
          v.i == 4000);
    CHECK(kest_get_property(ctrl, "Password", &v) == KEST_E_GET_NOT_SUPPORTED);
    kest_variant s = Text("secret");
    CHECK(kest_put_property(ctrl, "Password", &s) == KEST_OK);
    kest_variant wrong = Text("x");
    CHECK(kest_put_property(ctrl, "Timeout", &wrong) == KEST_E_TYPE_MISMATCH);

    int32_t dispid = 0;
    CHECK(kest_get_dispid("getversion", &dispid) == KEST_OK && dispid == 15);
    CHECK(kest_get_dispid("NewImage", &dispid) == KEST_OK && dispid == 2);

    kest_variant out[2];
    memset(out, 0, sizeof out);
    int16_t result = -1;
    CHECK(kest_invoke(ctrl, 15, out, 1, &result) == KEST_E_BAD_PARAM_COUNT);
    CHECK(kest_invoke(ctrl, 4242, out, 0, &result) == KEST_E_MEMBER_NOT_FOUND);
    CHECK(kest_invoke(ctrl, 15, out, 2, &result) == KEST_OK && result == 7);

    /* Start the simulator and call it. */
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); /* never outlive the test */
        execl(argv[1], argv[1], "--port", argv[2], "--model", "20", "--program-version", "14",
              (char*)NULL);
        _exit(127);
    }
    kest_variant ip = Text("127.0.0.1");
    kest_variant port = I4(atoi(argv[2]));
    CHECK(kest_put_property(ctrl, "RemoteIPAddress", &ip) == KEST_OK);
    CHECK(kest_put_property(ctrl, "CameraPort", &port) == KEST_OK);
    kest_variant timeout = I4(200);
    CHECK(kest_put_property(ctrl, "Timeout", &timeout) == KEST_OK);
    for (int attempt = 0; attempt < 25; ++attempt) { /* until the simulator listens */
        memset(out, 0, sizeof out);
        if (kest_invoke_name(ctrl, "GetVersion", out, 2, &result) == KEST_OK && result == 0) break;
    }
    CHECK(result == 0);
    CHECK(out[0].type == KEST_VT_I2 && out[0].i == 20);
    CHECK(out[1].type == KEST_VT_I2 && out[1].i == 14);
    CHECK(kest_run_messages(ctrl, 0) == KEST_OK);
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);

    kest_variant_clear(&v);
    kest_destroy(ctrl);
    CHECK(DllRegisterServer() == 0 && DllUnregisterServer() == 0);
    printf("%s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
