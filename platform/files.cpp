#include "platform/files.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace kest::platform {

std::string TempFolder() {
    const char* dir = getenv("TMPDIR");
    if (dir && *dir) return dir;
    return "/tmp";
}

std::optional<std::string> MakeTempFile(const std::string& prefix) {
    std::string pattern = JoinPath(TempFolder(), prefix + "XXXXXX");
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = mkstemp(buf.data());
    if (fd < 0) return std::nullopt;
    close(fd);
    return std::string(buf.data());
}

std::string CurrentDirectory() {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return "";
    return buf;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string FileTitle(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<uint64_t> FreeDiskBytes(const std::string& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) return std::nullopt;
    return uint64_t(st.f_bavail) * uint64_t(st.f_frsize);
}

std::string ProgramFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return CurrentDirectory();
    buf[n] = '\0';
    std::string path(buf);
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ModuleFolder(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return "";
    std::string path(info.dli_fname);
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace kest::platform
