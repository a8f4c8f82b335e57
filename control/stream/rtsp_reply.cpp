#include "control/stream/rtsp_reply.h"

#include <strings.h>

#include <array>

namespace kest::rtsp {

namespace {

struct StatusCode {
    int status;
    int32_t result;
};
constexpr std::array<StatusCode, 9> kStatusResults = {{
    {200, 0},
    {204, 0},
    {202, -202},
    {400, -400},
    {401, -401},
    {404, -404},
    {405, -405},
    {414, -414},
    {505, -505},
}};
constexpr int32_t kOtherStatus = -500;

constexpr std::array<std::string_view, 3> kContentTypes = {"video/mpeg", "image/jpeg",
                                                           "text/plain"};

std::string_view UpToLineEnd(std::string_view text) {
    const size_t end = text.find_first_of("\r\n");
    return end == std::string_view::npos ? text : text.substr(0, end);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

size_t FindNoCase(std::string_view text, std::string_view what) {
    for (size_t i = 0; i + what.size() <= text.size(); ++i) {
        if (SameName(text.substr(i, what.size()), what)) return i;
    }
    return std::string_view::npos;
}

// Leading decimal digits; saturates just above the body limit.
int32_t ParseLength(std::string_view text) {
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > kMaxContentLength) return kMaxContentLength + 1;
    }
    return int32_t(v);
}

std::string Value(std::string_view text) {
    return std::string(UpToLineEnd(text).substr(0, kMaxHeaderValue));
}

}  // namespace

std::optional<int> StatusFromLine(std::string_view line) {
    const size_t at = line.find("RTSP/");
    if (at == std::string_view::npos) return std::nullopt;
    // "RTSP/1.0 200 OK": the code is the three characters 9 to 11 from "RTSP/".
    if (line.size() < at + 12) return 0;
    int status = 0;
    for (size_t i = at + 9; i < at + 12; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        status = status * 10 + (line[i] - '0');
    }
    return status;
}

int32_t StatusResult(int status) {
    for (const StatusCode& s : kStatusResults) {
        if (s.status == status) return s.result;
    }
    return kOtherStatus;
}

int32_t ContentTypeIndex(std::string_view value) {
    const std::string_view v = UpToLineEnd(value);
    for (size_t i = 0; i < kContentTypes.size(); ++i) {
        if (v == kContentTypes[i]) return int32_t(i);
    }
    return -1;
}

bool IsEndOfHeaders(std::string_view line) {
    return line.empty() || line == "\r";
}

void ApplyHeaderLine(std::string_view line, RtspReply& reply, HeaderValues& values) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    // Header names are compared without case: cameras write "Content-Length".
    if (SameName(name, "Content-length")) {
        reply.content_length = ParseLength(value);
    } else if (SameName(name, "Content-Type")) {
        reply.content_type = ContentTypeIndex(value);
    } else if (SameName(name, "Session")) {
        values.session = Value(value);
    }
    // server_port is a parameter of the Transport header.
    const size_t port = FindNoCase(value, "server_port");
    if (port != std::string_view::npos) {
        const std::string_view rest = value.substr(port);
        const size_t eq = rest.find('=');
        if (eq != std::string_view::npos) values.server_port = Value(rest.substr(eq));
    }
}

std::string ComposeHeaderValues(const HeaderValues& values) {
    return values.session + "\r" + values.server_port + "\r";
}

SetupValues SplitHeaderValues(std::string_view header_values) {
    SetupValues out;
    const size_t cr = header_values.find('\r');
    out.session = std::string(header_values.substr(0, cr));
    if (cr == std::string_view::npos) return out;
    const std::string_view rest = header_values.substr(cr + 1);
    const size_t eq = rest.find('=');
    if (eq == std::string_view::npos) return out;
    std::string_view port = rest.substr(eq + 1);
    port = port.substr(0, port.find('\r'));
    out.server_port = std::string(port.substr(0, kMaxServerPortText));
    return out;
}

}  // namespace kest::rtsp
