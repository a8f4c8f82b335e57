// The command-line host: one control on a headless window, driven by the
// dispatch interface, printing JSON lines.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"

namespace kestctl {

// A usage or dispatch error: printed, and the program ends with exit code 2.
struct UsageError {
    std::string message;
};

class Host final : public kest::_DKestEvents {
  public:
    Host();
    ~Host() override;

    kest::CKestCtrl& ctrl() { return *ctrl_; }
    kest::platform::EventLoop& loop() { return loop_; }

    // Sets a writable property from its text form; throws UsageError.
    void SetProperty(const std::string& name, const std::string& value);
    // The JSON line of a property read; throws UsageError.
    std::string GetProperty(const std::string& name);

    // Calls a method with arguments in their command-line forms; returns the
    // JSON line and the method result. Throws UsageError.
    std::string Call(const std::string& method, const std::vector<std::string>& args,
                     int16_t& result);

    // Runs the message loop; events are printed as they fire. Ends early once
    // interrupted.
    void Wait(uint32_t ms);
    // From now on SIGINT and SIGTERM end the waits (the command's own loops
    // ask interrupted()) instead of the program, so that a long-running
    // command can still undo what it set up on the camera.
    static void CatchInterrupts();
    static bool interrupted();
    // Runs until the named event fires or ms pass; true when it fired.
    bool WaitEvent(const std::string& name, uint32_t ms);
    void RunPending() { loop_.RunPending(); }

    void OnEvent(const kest::MemberInfo& event, std::span<const kest::Variant> args) override;
    // Whether events print as JSON lines (they do unless switched off), and
    // a hook that sees every event first.
    void set_print_events(bool on) { print_events_ = on; }
    void set_event_hook(
        std::function<void(const kest::MemberInfo&, std::span<const kest::Variant>)> hook) {
        event_hook_ = std::move(hook);
    }
    uint64_t events_seen() const { return events_seen_; }

  private:
    kest::platform::EventLoop loop_;
    std::unique_ptr<kest::CKestCtrl> ctrl_;
    std::vector<std::vector<uint8_t>> buffers_;  // storage for buffer arguments of a call
    int32_t awaited_dispid_ = 0;
    bool awaited_fired_ = false;
    uint64_t events_seen_ = 0;
    bool print_events_ = true;
    std::function<void(const kest::MemberInfo&, std::span<const kest::Variant>)> event_hook_;
};

std::string VariantJson(const kest::Variant& v);

// One redraw of the download progress bar: "\r[####....] 12/201 pages".
std::string ProgressBar(int32_t received, int32_t count);

}  // namespace kestctl
