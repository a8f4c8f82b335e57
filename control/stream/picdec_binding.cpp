#include "control/stream/picdec_binding.h"

#include <dlfcn.h>

#include <mutex>

#include "platform/files.h"

namespace kest {

namespace {

std::mutex g_pending_mutex;
std::vector<LoadMessage> g_pending;

const char kAnchor = 0;  // an address inside the kest library

template <typename T>
void Bind(void* module, const char* name, T& slot, std::vector<LoadMessage>& messages) {
    slot = reinterpret_cast<T>(dlsym(module, name));
    if (!slot) {
        messages.push_back(
            {std::string("Can't Find ") + name + "() from Jpeg DLL.", PicdecBinding::kCaption});
    }
}

}  // namespace

PicdecBinding::PicdecBinding(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        module_ = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module_) {
            path_ = candidate;
            break;
        }
    }
    if (!module_) {
        messages_.push_back({"Can't Find Jpeg DLL.", kCaption});
        return;
    }
    Bind(module_, "GetPluginInfo", get_plugin_info, messages_);
    Bind(module_, "GetPictureInfo", get_picture_info, messages_);
    Bind(module_, "IsSupported", is_supported, messages_);
    Bind(module_, "GetPicture", get_picture, messages_);
}

PicdecBinding::~PicdecBinding() {
    if (module_) dlclose(module_);
}

std::vector<std::string> PicdecBinding::DefaultCandidates() {
    std::vector<std::string> candidates;
    const std::string folder = platform::ModuleFolder(&kAnchor);
    if (!folder.empty()) candidates.push_back(platform::JoinPath(folder, kFileName));
    candidates.push_back(kFileName);  // the loader's search path
    return candidates;
}

const PicdecBinding& ProcessPicdec() {
    static const PicdecBinding binding(PicdecBinding::DefaultCandidates());
    static const bool queued = (QueueLoadMessages(binding.messages()), true);
    (void)queued;
    return binding;
}

void QueueLoadMessages(const std::vector<LoadMessage>& messages) {
    std::lock_guard lock(g_pending_mutex);
    g_pending.insert(g_pending.end(), messages.begin(), messages.end());
}

std::vector<LoadMessage> TakeLoadMessages() {
    std::lock_guard lock(g_pending_mutex);
    std::vector<LoadMessage> taken;
    taken.swap(g_pending);
    return taken;
}

namespace {

// Binds the plug-in as the library is loaded; the static binding goes when
// the library is unloaded.
[[maybe_unused]] const bool g_bound = (ProcessPicdec(), true);

}  // namespace

}  // namespace kest
