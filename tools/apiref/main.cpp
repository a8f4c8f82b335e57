// kest_apiref: writes the Markdown API reference of the control.
//
//   kest_apiref              the reference on standard output
//   kest_apiref FILE         the reference into FILE
//   kest_apiref --check FILE exit status 1, with a message, when FILE differs
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/apiref/apiref.h"

namespace {

bool ReadFile(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The first line (from 1) where the two texts differ.
size_t FirstDifferentLine(const std::string& a, const std::string& b) {
    size_t line = 1;
    for (size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
        if (a[i] == '\n') ++line;
    }
    return line;
}

int Check(const char* path, const std::string& made) {
    std::string present;
    if (!ReadFile(path, present)) {
        std::fprintf(stderr, "kest_apiref: cannot read %s\n", path);
        return 1;
    }
    if (present == made) return 0;
    std::fprintf(stderr,
                 "kest_apiref: %s is out of date with the type library (first difference at "
                 "line %zu).\nRegenerate it with: cmake --build --preset dev --target apiref\n",
                 path, FirstDifferentLine(present, made));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string made = kest::apiref::Render(kest::KestLib());
    if (argc == 1) {
        std::fwrite(made.data(), 1, made.size(), stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return Check(argv[2], made);
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: kest_apiref [FILE | --check FILE]\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(made.data(), std::streamsize(made.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "kest_apiref: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
