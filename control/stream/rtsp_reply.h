// Parsing of the camera's RTSP replies: the status line, the header lines
// that the client keeps, and the SETUP values that StartStreaming uses.
//
// Lines come from the client's line reader: the LF is gone, a CR before it
// stays.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kest::rtsp {

// A reply as the client records it.
struct RtspReply {
    int32_t result = 0;          // 0 for 200 and 204, else the status's negative code
    int32_t content_length = 0;  // from "Content-length"
    int32_t content_type = -1;   // index in the content-type table, -1 unknown
    uint32_t timeout_ms = 0;     // the time-out the request ran with
};

// Bodies announced longer than this are refused instead of allocated.
constexpr int32_t kMaxContentLength = 1 << 20;

// The status code of a status line: nullopt when the line has no "RTSP/",
// 0 when the three digits after it are not there.
std::optional<int> StatusFromLine(std::string_view line);

// 0 for 200 and 204; -404, -202, -400, -401, -405, -414, -505 for those; -500
// for every other status.
int32_t StatusResult(int status);

// "video/mpeg" 0, "image/jpeg" 1, "text/plain" 2; -1 otherwise. The value is
// compared up to its CR or LF.
int32_t ContentTypeIndex(std::string_view value);

// True for the empty line that ends the headers.
bool IsEndOfHeaders(std::string_view line);

// The header values a SETUP reply hands back: the Session value, and the
// server_port parameter of the Transport header from its "=".
struct HeaderValues {
    std::string session;
    std::string server_port;
};
constexpr size_t kMaxHeaderValue = 255;

// Applies one header line of a 200 or 204 reply: the content length and type
// to the reply, the Session and server_port values to values.
void ApplyHeaderLine(std::string_view line, RtspReply& reply, HeaderValues& values);

// The header-value output of a request: the session value, CR, the server
// port value, CR; the session comes first whatever the header order was.
std::string ComposeHeaderValues(const HeaderValues& values);

// What StartStreaming takes from the SETUP header values: the session text up
// to the first CR, and the server port text after the next "=" up to the
// following CR, at most 11 characters.
struct SetupValues {
    std::string session;
    std::string server_port;
};
constexpr size_t kMaxServerPortText = 11;
SetupValues SplitHeaderValues(std::string_view header_values);

}  // namespace kest::rtsp
