#include "platform/profile.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace kest::platform {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

struct Lines {
    std::vector<std::string> lines;  // without line ends
    bool crlf = false;
};

Lines ReadLines(const std::string& path) {
    Lines out;
    std::ifstream in(path, std::ios::binary);
    if (!in) return out;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            out.crlf = true;
        }
        out.lines.push_back(line);
    }
    return out;
}

// "[name]" gives name; anything else is not a section line.
bool SectionName(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return !key.empty();
}

}  // namespace

std::string GetProfileString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& fallback) {
    Lines file = ReadLines(path);
    bool in_section = false;
    for (const std::string& line : file.lines) {
        std::string name, k, v;
        if (SectionName(line, name)) {
            in_section = SameName(name, section);
            continue;
        }
        if (!in_section || !KeyValue(line, k, v) || !SameName(k, key)) continue;
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
            v = v.substr(1, v.size() - 2);
        }
        return v;
    }
    return fallback;
}

int32_t GetProfileInt(const std::string& path, const std::string& section, const std::string& key,
                      int32_t fallback) {
    const std::string missing = "\x01missing";
    std::string v = GetProfileString(path, section, key, missing);
    if (v == missing) return fallback;
    // A number beyond 32 bits reads as the nearest one that fits, not as
    // whatever its low bits happen to be.
    const long long n = std::strtoll(v.c_str(), nullptr, 10);
    return int32_t(std::clamp<long long>(n, INT32_MIN, INT32_MAX));
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    Lines file = ReadLines(path);
    const std::string entry = key + "=" + value;
    auto& lines = file.lines;
    bool in_section = false;
    size_t section_end = std::string::npos;  // where a new key of the section goes
    bool written = false;
    for (size_t i = 0; i < lines.size() && !written; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], name)) {
            if (in_section) break;
            in_section = SameName(name, section);
            if (in_section) section_end = i + 1;
            continue;
        }
        if (!in_section) continue;
        if (KeyValue(lines[i], k, v) && SameName(k, key)) {
            lines[i] = entry;
            written = true;
        } else if (!Trim(lines[i]).empty()) {
            section_end = i + 1;
        }
    }
    if (!written) {
        if (section_end == std::string::npos) {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + long(section_end), entry);
        }
    }
    std::ostringstream text;
    for (const std::string& line : lines)
        text << line << (file.crlf ? "\r\n" : "\n");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text.str();
    return bool(out.flush());
}

}  // namespace kest::platform
