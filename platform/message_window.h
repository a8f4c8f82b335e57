// The control's window, reduced to what the library needs of it: posted
// messages, timers, socket readability as a message, repaint requests.
//
// Messages are delivered in posting order on the thread that owns the window.
// A watched socket gives one readability message; the next comes only after
// the handler has read from it and called RearmSocket, so a socket that nobody
// reads cannot make the owning thread spin.
#pragma once

#include <cstdint>

namespace kest::platform {

// What a window delivers to its owner. Runs on the window's thread.
class MessageHandler {
  public:
    virtual ~MessageHandler() = default;
    virtual intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
    virtual void OnTimer(uint32_t timer_id) = 0;
};

class MessageWindow {
  public:
    virtual ~MessageWindow() = default;

    // Thread-safe: queues a message for the window's thread. False when the
    // window is gone.
    virtual bool Post(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;

    // Window's thread only.
    virtual bool SetTimer(uint32_t timer_id, uint32_t interval_ms) = 0;
    virtual void KillTimer(uint32_t timer_id) = 0;
    // Readability of fd arrives as message(wparam = fd, lparam = kSocketRead).
    virtual bool WatchSocket(int fd, uint32_t message) = 0;
    virtual void RearmSocket(int fd) = 0;
    virtual void UnwatchSocket(int fd) = 0;
    virtual void Invalidate() = 0;
    virtual bool IsAlive() const = 0;

    static constexpr intptr_t kSocketRead = 1;  // the FD_READ network event
};

}  // namespace kest::platform
