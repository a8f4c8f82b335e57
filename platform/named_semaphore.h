// Named binary semaphores shared within the process.
//
// The camera object guards its command channel and its presented picture with
// semaphores that are found by name ("Packet/<token>/LockPackSemaphore"). Any
// thread may release a semaphore, not only the one that acquired it: the
// presentation lock is taken on the receive thread and released on the host's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kest::platform {

class NamedSemaphore {
  public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    // Creates the semaphore, or opens it when one of that name exists already.
    static std::shared_ptr<NamedSemaphore> Create(const std::string& name, int initial,
                                                  int maximum);
    // Opens an existing semaphore; null when none of that name exists.
    static std::shared_ptr<NamedSemaphore> Open(const std::string& name);

    // True when the count was taken within timeout_ms (kInfinite: no limit).
    bool Wait(uint32_t timeout_ms);
    // Adds one to the count; false when it is at its maximum already.
    bool Release();

    const std::string& name() const { return name_; }
    ~NamedSemaphore();

    struct State;

  private:
    NamedSemaphore(std::string name, std::shared_ptr<State> state);
    std::string name_;
    std::shared_ptr<State> state_;
};

}  // namespace kest::platform
