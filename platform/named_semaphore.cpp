#include "platform/named_semaphore.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace kest::platform {

struct NamedSemaphore::State {
    std::mutex mutex;
    std::condition_variable cv;
    int count = 0;
    int maximum = 1;
};

namespace {

// The registry holds weak references: a semaphore lives while a handle exists.
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<NamedSemaphore::State>> states;
};

Registry& GetRegistry() {
    static Registry* registry = new Registry;  // never destroyed: handles may outlive statics
    return *registry;
}

}  // namespace

NamedSemaphore::NamedSemaphore(std::string name, std::shared_ptr<State> state)
    : name_(std::move(name)), state_(std::move(state)) {}

NamedSemaphore::~NamedSemaphore() {
    Registry& reg = GetRegistry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.states.find(name_);
    if (it != reg.states.end() && it->second.use_count() <= 1) reg.states.erase(it);
}

std::shared_ptr<NamedSemaphore> NamedSemaphore::Create(const std::string& name, int initial,
                                                       int maximum) {
    Registry& reg = GetRegistry();
    std::lock_guard lock(reg.mutex);
    auto& weak = reg.states[name];
    std::shared_ptr<State> state = weak.lock();
    if (!state) {
        state = std::make_shared<State>();
        state->count = initial;
        state->maximum = maximum < 1 ? 1 : maximum;
        weak = state;
    }
    return std::shared_ptr<NamedSemaphore>(new NamedSemaphore(name, state));
}

std::shared_ptr<NamedSemaphore> NamedSemaphore::Open(const std::string& name) {
    Registry& reg = GetRegistry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.states.find(name);
    if (it == reg.states.end()) return nullptr;
    std::shared_ptr<State> state = it->second.lock();
    if (!state) return nullptr;
    return std::shared_ptr<NamedSemaphore>(new NamedSemaphore(name, state));
}

bool NamedSemaphore::Wait(uint32_t timeout_ms) {
    std::unique_lock lock(state_->mutex);
    auto ready = [this] { return state_->count > 0; };
    if (timeout_ms == kInfinite) {
        state_->cv.wait(lock, ready);
    } else if (!state_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
        return false;
    }
    --state_->count;
    return true;
}

bool NamedSemaphore::Release() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->count >= state_->maximum) return false;
        ++state_->count;
    }
    state_->cv.notify_one();
    return true;
}

}  // namespace kest::platform
