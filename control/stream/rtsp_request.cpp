#include "control/stream/rtsp_request.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace kest::rtsp {

namespace {

constexpr const char* kDescribe =
    "DESCRIBE RTSP://%s:%s/%s RTSP/1.0\r\nCSeq: %d\r\nAccept: application/sdp\r\nBandwidth: "
    "2147483647\r\nAccept-Language: fr-FR\r\nUser-Agent: QTS (qtver=5.0.2;05=windows NT "
    "5.0)\r\n\r\n";
constexpr const char* kSetupWithSession =
    "SETUP RTSP://%s:%s/%s/streamid=1 RTSP/1.0\r\nCSeq: %d\r\nTransport: "
    "RTP/AVP;unicast;client_port=6970-6971\r\nx-retransmit: our-retransmit\r\nx-transport-options: "
    "late-tolerance=2.484000\r\nSession: %s\r\nUser-Agent: QTS (qtver=5.0.2;05=windows NT "
    "5.0)\r\nAccept-Language: fr-FR  \r\n\r\n";
constexpr const char* kSetup =
    "SETUP RTSP://%s:%s/%s/streamid=%s RTSP/1.0\r\nCSeq: %d\r\nTransport: "
    "RTP/AVP;unicast;client_port=6970-6971\r\nx-retransmit: our-retransmit\r\nx-transport-options: "
    "late-tolerance=2.484000\r\nUser-Agent: QTS (qtver=5.0.2;05=windows NT "
    "5.0)\r\nAccept-Language: "
    "fr-FR  \r\n\r\n";
constexpr const char* kPlay =
    "PLAY RTSP://%s:%s/%s RTSP/1.0\r\nCSeq: %d\r\nRange: npt=0.000000-51.051667\r\nx-prebuffer: "
    "maxtime=2.000000\r\nSession: %s\r\nUser-Agent: QTS (qtver=5.0.2;05=windows NT 5.0)\r\n\r\n";
constexpr const char* kTeardown =
    "TEARDOWN RTSP://%s:%s/%s/ RTSP/1.0\r\nCSeq: %d\r\nSession: %s\r\n\r\n";

constexpr std::array<std::string_view, 6> kMethodNames = {"OPTIONS", "DESCRIBE", "SETUP",
                                                          "PLAY",    "PAUSE",    "TEARDOWN"};

// printf into a string of the exact length.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
    va_end(args);
    return out;
}

}  // namespace

std::optional<Method> MethodFromName(std::string_view name) {
    for (size_t i = 0; i < kMethodNames.size(); ++i) {
        if (kMethodNames[i] == name) return Method(i);
    }
    return std::nullopt;
}

std::string_view MethodName(Method method) {
    return kMethodNames[size_t(method)];
}

bool TakesBody(Method method) {
    return method == Method::kDescribe || method == Method::kPlay;
}

std::string DescribeText(const std::string& address, const std::string& port,
                         const std::string& presentation, uint32_t cseq) {
    return Format(kDescribe, address.c_str(), port.c_str(), presentation.c_str(), int(cseq));
}

std::string SetupWithSessionText(const std::string& address, const std::string& port,
                                 const std::string& presentation, uint32_t cseq,
                                 const std::string& session) {
    return Format(kSetupWithSession, address.c_str(), port.c_str(), presentation.c_str(), int(cseq),
                  session.c_str());
}

std::string SetupText(const std::string& address, const std::string& port,
                      const std::string& presentation, const std::string& stream, uint32_t cseq) {
    return Format(kSetup, address.c_str(), port.c_str(), presentation.c_str(), stream.c_str(),
                  int(cseq));
}

std::string PlayText(const std::string& address, const std::string& port,
                     const std::string& presentation, uint32_t cseq, const std::string& session) {
    return Format(kPlay, address.c_str(), port.c_str(), presentation.c_str(), int(cseq),
                  session.c_str());
}

std::string TeardownText(const std::string& address, const std::string& port,
                         const std::string& presentation, uint32_t cseq,
                         const std::string& session) {
    return Format(kTeardown, address.c_str(), port.c_str(), presentation.c_str(), int(cseq),
                  session.c_str());
}

}  // namespace kest::rtsp
