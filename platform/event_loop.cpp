#include "platform/event_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/ticks.h"

namespace kest::platform {

EventLoop::EventLoop() {
    event_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

EventLoop::~EventLoop() {
    if (event_fd_ >= 0) close(event_fd_);
}

std::unique_ptr<HeadlessWindow> EventLoop::CreateWindow(MessageHandler* handler) {
    auto window = std::unique_ptr<HeadlessWindow>(new HeadlessWindow(this, handler));
    std::lock_guard lock(mutex_);
    live_[window.get()] = next_serial_++;
    return window;
}

bool EventLoop::Post(HeadlessWindow* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    {
        std::lock_guard lock(mutex_);
        auto it = live_.find(window);
        if (it == live_.end()) return false;
        posted_.push_back(Posted{window, it->second, message, wparam, lparam});
    }
    const uint64_t one = 1;
    ssize_t n = write(event_fd_, &one, sizeof one);
    (void)n;
    return true;
}

void EventLoop::Forget(HeadlessWindow* window) {
    {
        std::lock_guard lock(mutex_);
        live_.erase(window);
    }
    std::erase_if(timers_, [window](const Timer& t) { return t.window == window; });
    std::erase_if(watches_, [window](const auto& w) { return w.second.window == window; });
}

void EventLoop::DeliverPosted() {
    // Deliver only what was queued before this round started, so a handler that
    // posts to itself cannot keep the loop from returning.
    size_t budget;
    {
        std::lock_guard lock(mutex_);
        budget = posted_.size();
    }
    while (budget-- > 0) {
        Posted p;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) return;
            p = posted_.front();
            posted_.pop_front();
            auto it = live_.find(p.window);
            if (it == live_.end() || it->second != p.window_serial) continue;
        }
        p.window->handler()->OnMessage(p.message, p.wparam, p.lparam);
    }
}

void EventLoop::DeliverTimers() {
    const uint64_t now = MonotonicMicros();
    // Collect first: a handler may set or kill timers.
    std::vector<std::pair<HeadlessWindow*, uint32_t>> due;
    for (Timer& t : timers_) {
        if (t.due_us <= now) {
            due.emplace_back(t.window, t.id);
            t.due_us = now + uint64_t(t.interval_ms) * 1000u;
        }
    }
    for (const auto& entry : due) {
        HeadlessWindow* const window = entry.first;
        const uint32_t id = entry.second;
        bool still = std::any_of(timers_.begin(), timers_.end(),
                                 [&](const Timer& t) { return t.window == window && t.id == id; });
        if (still) window->handler()->OnTimer(id);
    }
}

int EventLoop::NextTimerWaitMs() const {
    if (timers_.empty()) return -1;
    const uint64_t now = MonotonicMicros();
    uint64_t next = UINT64_MAX;
    for (const Timer& t : timers_)
        next = std::min(next, t.due_us);
    if (next <= now) return 0;
    return int((next - now + 999) / 1000);
}

void EventLoop::Step(int wait_ms) {
    const int timer_wait = NextTimerWaitMs();
    if (timer_wait >= 0 && (wait_ms < 0 || timer_wait < wait_ms)) wait_ms = timer_wait;

    std::vector<pollfd> fds;
    fds.push_back({event_fd_, POLLIN, 0});
    for (auto& [fd, w] : watches_) {
        if (w.armed) fds.push_back({fd, POLLIN, 0});
    }
    int n = poll(fds.data(), fds.size(), wait_ms);
    if (n < 0 && errno != EINTR) return;

    if (fds[0].revents & POLLIN) {
        uint64_t count;
        ssize_t r = read(event_fd_, &count, sizeof count);
        (void)r;
    }
    // Readable sockets become posted messages, disarmed until the reader rearms.
    for (size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLERR | POLLHUP))) continue;
        auto it = watches_.find(fds[i].fd);
        if (it == watches_.end() || !it->second.armed) continue;
        it->second.armed = false;
        Post(it->second.window, it->second.message, uintptr_t(fds[i].fd),
             MessageWindow::kSocketRead);
    }
    DeliverPosted();
    DeliverTimers();
}

void EventLoop::RunPending() {
    Step(0);
}

void EventLoop::RunFor(uint32_t duration_ms) {
    const uint64_t end = MonotonicMicros() + uint64_t(duration_ms) * 1000u;
    for (;;) {
        const uint64_t now = MonotonicMicros();
        if (now >= end) break;
        Step(int((end - now + 999) / 1000));
    }
    RunPending();
}

bool EventLoop::RunUntil(const std::function<bool()>& done, uint32_t timeout_ms) {
    const uint64_t end = MonotonicMicros() + uint64_t(timeout_ms) * 1000u;
    RunPending();
    while (!done()) {
        const uint64_t now = MonotonicMicros();
        if (now >= end) return false;
        Step(int(std::min<uint64_t>((end - now + 999) / 1000, 50)));
    }
    return true;
}

HeadlessWindow::~HeadlessWindow() {
    loop_->Forget(this);
}

bool HeadlessWindow::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return loop_->Post(this, message, wparam, lparam);
}

bool HeadlessWindow::SetTimer(uint32_t timer_id, uint32_t interval_ms) {
    KillTimer(timer_id);
    loop_->timers_.push_back(
        {this, timer_id, interval_ms, MonotonicMicros() + uint64_t(interval_ms) * 1000u});
    return true;
}

void HeadlessWindow::KillTimer(uint32_t timer_id) {
    std::erase_if(loop_->timers_,
                  [&](const EventLoop::Timer& t) { return t.window == this && t.id == timer_id; });
}

bool HeadlessWindow::WatchSocket(int fd, uint32_t message) {
    if (fd < 0) return false;
    loop_->watches_[fd] = {this, message, true};
    return true;
}

void HeadlessWindow::RearmSocket(int fd) {
    auto it = loop_->watches_.find(fd);
    if (it != loop_->watches_.end() && it->second.window == this) it->second.armed = true;
}

void HeadlessWindow::UnwatchSocket(int fd) {
    auto it = loop_->watches_.find(fd);
    if (it != loop_->watches_.end() && it->second.window == this) loop_->watches_.erase(it);
}

}  // namespace kest::platform
