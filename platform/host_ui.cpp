#include "platform/host_ui.h"

#include <cstdio>

namespace kest::platform {

HostUi::Answer StderrHostUi::MessageBox(const std::string& text, const std::string& caption,
                                        Buttons buttons) {
    std::fprintf(stderr, "%s: %s\n", caption.empty() ? "kest" : caption.c_str(), text.c_str());
    return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel;
}

bool StderrHostUi::ChooseFont(LogFont&) {
    return false;
}

void StderrHostUi::AboutBox(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

HostUi& DefaultHostUi() {
    static StderrHostUi ui;
    return ui;
}

}  // namespace kest::platform
