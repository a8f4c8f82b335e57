// The RTSP requests the client sends, as exact texts.
//
// The camera's RTSP server knows these texts byte for byte, including the two
// blanks after "fr-FR" in SETUP, the fixed client ports and the fixed play
// range, so they are formatted from fixed templates and nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kest::rtsp {

enum class Method { kOptions, kDescribe, kSetup, kPlay, kPause, kTeardown };

// The accepted method names; nullopt for any other.
std::optional<Method> MethodFromName(std::string_view name);
std::string_view MethodName(Method method);
// DESCRIBE and PLAY replies carry a body that the request reads.
bool TakesBody(Method method);

std::string DescribeText(const std::string& address, const std::string& port,
                         const std::string& presentation, uint32_t cseq);
// SETUP with a session: always stream 1, the session text follows "Session: ".
std::string SetupWithSessionText(const std::string& address, const std::string& port,
                                 const std::string& presentation, uint32_t cseq,
                                 const std::string& session);
// SETUP without a session: the stream number is part of the URL.
std::string SetupText(const std::string& address, const std::string& port,
                      const std::string& presentation, const std::string& stream, uint32_t cseq);
std::string PlayText(const std::string& address, const std::string& port,
                     const std::string& presentation, uint32_t cseq, const std::string& session);
std::string TeardownText(const std::string& address, const std::string& port,
                         const std::string& presentation, uint32_t cseq,
                         const std::string& session);

}  // namespace kest::rtsp
