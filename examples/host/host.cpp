// An example host: one control for the camera at ADDRESS:PORT, its version and
// frame size.   kest_host ADDRESS [PORT]
#include <kest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

kest_variant Int(int32_t value) {
    kest_variant v{};
    v.type = KEST_VT_I4;
    v.i = value;
    return v;
}

kest_variant Text(const char* text) {
    kest_variant v{};
    v.type = KEST_VT_TEXT;
    v.text = const_cast<char*>(text);
    v.text_len = std::strlen(text);
    return v;
}

// Calls a method whose parameters are all out parameters; prints a failure.
bool Call(kest_ctrl* ctrl, const char* method, kest_variant* out, int n) {
    int16_t result = -1;
    const int status = kest_invoke_name(ctrl, method, out, n, &result);
    if (status != KEST_OK || result != 0) {
        std::fprintf(stderr, "%s: %s, result %d\n", method, kest_status_text(status), result);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kest_host ADDRESS [PORT]\n");
        return 2;
    }
    kest_ctrl* ctrl = nullptr;
    if (kest_create("KEST.KestCtrl.1", &ctrl) != KEST_OK) return 1;
    const kest_variant address = Text(argv[1]);
    const kest_variant port = Int(argc > 2 ? std::atoi(argv[2]) : 4000);
    kest_put_property(ctrl, "RemoteIPAddress", &address);
    kest_put_property(ctrl, "CameraPort", &port);

    kest_variant version[2] = {};
    kest_variant size[2] = {};
    const bool ok = Call(ctrl, "GetVersion", version, 2) && Call(ctrl, "GetFrameSize", size, 2);
    if (ok) {
        std::printf("kest %s: camera %s type %d program version %d frame size %dx%d\n",
                    kest_library_version(), argv[1], version[0].i, version[1].i, size[0].i,
                    size[1].i);
    }
    kest_destroy(ctrl);
    return ok ? 0 : 1;
}
