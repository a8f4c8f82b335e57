// A headless event loop and message window for tests and command-line hosts.
//
// The loop runs on the thread that calls Run*; windows made from it deliver
// their messages, timers and socket notifications there. Built on poll(2)
// with an eventfd for posted messages and a timerfd for window timers.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_window.h"

namespace kest::platform {

class HeadlessWindow;

class EventLoop {
  public:
    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // A window whose messages go to handler. The window must not outlive the loop.
    std::unique_ptr<HeadlessWindow> CreateWindow(MessageHandler* handler);

    // Delivers everything that is due now without waiting.
    void RunPending();
    // Runs for duration_ms, delivering as things become due.
    void RunFor(uint32_t duration_ms);
    // Runs until done() is true or timeout_ms passes; returns done().
    bool RunUntil(const std::function<bool()>& done, uint32_t timeout_ms);

  private:
    friend class HeadlessWindow;
    struct Posted {
        HeadlessWindow* window;
        uint64_t window_serial;
        uint32_t message;
        uintptr_t wparam;
        intptr_t lparam;
    };
    struct Timer {
        HeadlessWindow* window;
        uint32_t id;
        uint32_t interval_ms;
        uint64_t due_us;
    };
    struct Watch {
        HeadlessWindow* window;
        uint32_t message;
        bool armed;
    };

    bool Post(HeadlessWindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
    void Forget(HeadlessWindow* window);
    // One round: wait up to wait_ms for something, then deliver what is due.
    void Step(int wait_ms);
    void DeliverPosted();
    void DeliverTimers();
    int NextTimerWaitMs() const;

    int event_fd_ = -1;
    std::mutex mutex_;  // guards posted_ and live_
    std::deque<Posted> posted_;
    std::map<HeadlessWindow*, uint64_t> live_;
    uint64_t next_serial_ = 1;

    // Owner thread only.
    std::vector<Timer> timers_;
    std::map<int, Watch> watches_;
};

class HeadlessWindow final : public MessageWindow {
  public:
    ~HeadlessWindow() override;

    bool Post(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    bool SetTimer(uint32_t timer_id, uint32_t interval_ms) override;
    void KillTimer(uint32_t timer_id) override;
    bool WatchSocket(int fd, uint32_t message) override;
    void RearmSocket(int fd) override;
    void UnwatchSocket(int fd) override;
    void Invalidate() override { ++invalidations_; }
    bool IsAlive() const override { return true; }

    uint64_t invalidations() const { return invalidations_; }
    MessageHandler* handler() const { return handler_; }

  private:
    friend class EventLoop;
    HeadlessWindow(EventLoop* loop, MessageHandler* handler) : loop_(loop), handler_(handler) {}
    EventLoop* loop_;
    MessageHandler* handler_;
    uint64_t invalidations_ = 0;
};

}  // namespace kest::platform
