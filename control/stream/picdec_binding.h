// The binding of the JPEG decoder plug-in "picdec.spi".
//
// One binding per process, made when the kest library is loaded and released
// when it is unloaded. The plug-in is looked for next to the kest library
// first, then by name on the loader's search path. Without it (or without its
// picture entry points) the library keeps working and decoding is skipped;
// the messages saying what is missing wait for the first control, which shows
// them through its host's dialogs.
#pragma once

#include <string>
#include <vector>

#include "picdec/include/picdec.h"

namespace kest {

struct LoadMessage {
    std::string text;
    std::string caption;
    bool operator==(const LoadMessage&) const = default;
};

class PicdecBinding {
  public:
    static constexpr const char* kFileName = "picdec.spi";
    static constexpr const char* kCaption = "DLL Load ERROR";

    // Tries each candidate path in turn; the messages tell what failed.
    explicit PicdecBinding(const std::vector<std::string>& candidates);
    ~PicdecBinding();
    PicdecBinding(const PicdecBinding&) = delete;
    PicdecBinding& operator=(const PicdecBinding&) = delete;

    // The candidates of the process binding: next to the kest library, then by name.
    static std::vector<std::string> DefaultCandidates();

    bool loaded() const { return module_ != nullptr; }
    // Both picture entry points are there: pictures can be decoded.
    bool can_decode() const { return get_picture_info && get_picture; }
    const std::string& path() const { return path_; }
    const std::vector<LoadMessage>& messages() const { return messages_; }

    decltype(&::GetPluginInfo) get_plugin_info = nullptr;
    decltype(&::GetPictureInfo) get_picture_info = nullptr;
    decltype(&::IsSupported) is_supported = nullptr;
    decltype(&::GetPicture) get_picture = nullptr;

  private:
    void* module_ = nullptr;
    std::string path_;
    std::vector<LoadMessage> messages_;
};

// The binding made when the library was loaded.
const PicdecBinding& ProcessPicdec();

// Messages waiting for a control to show them. The process binding queues
// its own at load; the first control to get its host's dialogs takes them.
void QueueLoadMessages(const std::vector<LoadMessage>& messages);
std::vector<LoadMessage> TakeLoadMessages();

}  // namespace kest
