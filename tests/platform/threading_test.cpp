// Named semaphores and the headless message window.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <thread>

#include "platform/event_loop.h"
#include "platform/named_semaphore.h"
#include "platform/ticks.h"
#include "platform/udp_socket.h"

namespace kest::platform {
namespace {

TEST(NamedSemaphore, OpenFindsTheSameSemaphoreByName) {
    auto a = NamedSemaphore::Create("Packet/sem-test/LockPackSemaphore", 1, 1);
    auto b = NamedSemaphore::Open("Packet/sem-test/LockPackSemaphore");
    ASSERT_TRUE(b);
    EXPECT_TRUE(a->Wait(0));
    EXPECT_FALSE(b->Wait(0));
    EXPECT_TRUE(b->Release());
    EXPECT_FALSE(a->Release());  // at its maximum
    EXPECT_EQ(NamedSemaphore::Open("Packet/nobody/LockPackSemaphore"), nullptr);
}

TEST(NamedSemaphore, TimedWaitEndsAndAnotherThreadMayRelease) {
    auto sem = NamedSemaphore::Create("Packet/sem-test2/LockJPEGSemaphore", 0, 1);
    const uint32_t start = TickCount();
    EXPECT_FALSE(sem->Wait(50));
    EXPECT_GE(TickCount() - start, 49u);
    // Taken on one thread, released on another: the presentation hand-over.
    ASSERT_TRUE(sem->Release());
    ASSERT_TRUE(sem->Wait(0));
    std::thread releaser([&] {
        SleepMs(20);
        sem->Release();
    });
    EXPECT_TRUE(sem->Wait(NamedSemaphore::kInfinite));
    releaser.join();
}

struct Recorder : MessageHandler {
    std::vector<std::pair<uint32_t, uintptr_t>> messages;
    std::vector<uint32_t> timers;
    MessageWindow* window = nullptr;
    bool read_on_message = true;
    int fd = -1;

    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t) override {
        messages.emplace_back(message, wparam);
        if (message == 0x590 && read_on_message) {
            char buf[64];
            while (recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
            }
            window->RearmSocket(fd);
        }
        return 0;
    }
    void OnTimer(uint32_t id) override { timers.push_back(id); }
};

TEST(EventLoop, PostedMessagesArriveInOrderOnTheLoopThread) {
    EventLoop loop;
    Recorder r;
    auto window = loop.CreateWindow(&r);
    std::thread poster([&] {
        for (uintptr_t i = 0; i < 100; ++i)
            window->Post(0x5F5, i, 0);
    });
    poster.join();
    loop.RunPending();
    ASSERT_EQ(r.messages.size(), 100u);
    for (uintptr_t i = 0; i < 100; ++i)
        EXPECT_EQ(r.messages[i].second, i);
}

TEST(EventLoop, MessagesToADestroyedWindowAreDropped) {
    EventLoop loop;
    Recorder r;
    auto window = loop.CreateWindow(&r);
    window->Post(1, 0, 0);
    window.reset();
    loop.RunPending();
    EXPECT_TRUE(r.messages.empty());
}

TEST(EventLoop, TimersRepeatUntilKilled) {
    EventLoop loop;
    Recorder r;
    auto window = loop.CreateWindow(&r);
    window->SetTimer(1524, 10);
    loop.RunFor(55);
    window->KillTimer(1524);
    const size_t fired = r.timers.size();
    EXPECT_GE(fired, 3u);
    loop.RunFor(30);
    EXPECT_EQ(r.timers.size(), fired);
}

TEST(EventLoop, WatchedSocketGivesOneMessageUntilRearmed) {
    EventLoop loop;
    Recorder r;
    auto window = loop.CreateWindow(&r);
    r.window = window.get();
    UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.Open() && receiver.Bind(0x7F000001, 0));
    ASSERT_TRUE(sender.Open());
    r.fd = receiver.fd();
    r.read_on_message = false;
    ASSERT_TRUE(window->WatchSocket(receiver.fd(), 0x590));
    const sockaddr_in to = MakeAddress(0x7F000001, receiver.LocalPort());
    sender.SendTo("x", 1, to);
    loop.RunFor(30);
    // Nobody read: one message, not a spin.
    EXPECT_EQ(r.messages.size(), 1u);
    r.read_on_message = true;
    window->RearmSocket(receiver.fd());
    loop.RunFor(20);
    EXPECT_EQ(r.messages.size(), 2u);  // the datagram still waiting, now read
    sender.SendTo("y", 1, to);
    loop.RunFor(20);
    EXPECT_EQ(r.messages.size(), 3u);
    EXPECT_EQ(r.messages.back().second, uintptr_t(receiver.fd()));
}

TEST(EventLoop, RunUntilStopsWhenDone) {
    EventLoop loop;
    Recorder r;
    auto window = loop.CreateWindow(&r);
    std::thread poster([&] {
        SleepMs(20);
        window->Post(7, 0, 0);
    });
    EXPECT_TRUE(loop.RunUntil([&] { return !r.messages.empty(); }, 5000));
    poster.join();
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 20));
}

}  // namespace
}  // namespace kest::platform
