// Decoding on a receive thread and rendering on the host's thread, handed
// over under the presentation lock as the picture stream does it, while
// another thread changes the process-wide settings.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "control/stream/camera.h"
#include "control/stream/picdec_binding.h"
#include "control/stream/render.h"
#include "control/stream/window_messages.h"
#include "platform/event_loop.h"
#include "tests/control/stream/camera_jpeg.h"

namespace kest {
namespace {

using test::Bytes;

Bytes Frame(int w, int h, uint32_t seed) {
    const auto scan = test::EncodeCameraScan(test::TestPicture(w, h, seed), w, h, 1, 50);
    return test::BuildCameraFile(scan, w, h, 1, 50, seed & 1, {2024, 1, 2, 3, 4, 5, int16_t(seed)});
}

// The host's side: each new-image message renders, copies the surface out
// and releases the presentation lock.
class Host final : public CameraListener, public platform::MessageHandler {
  public:
    Host(CKestCamera& camera, platform::EventLoop& loop)
        : camera_(camera), window_(loop.CreateWindow(this)) {}
    platform::MessageWindow* listener_window() override { return window_.get(); }
    intptr_t OnMessage(uint32_t message, uintptr_t, intptr_t) override {
        if (message != kNewImageMessage) return 0;
        camera_.RenderFrame();
        camera_.CopySurface(target_, {0, 0, 320, 240});
        order_.push_back(camera_.presented_time().millisecond);
        ++rendered_;
        camera_.LockPresentation(2);
        return 0;
    }
    void OnTimer(uint32_t) override {}
    int rendered() const { return rendered_; }
    const std::vector<int16_t>& order() const { return order_; }

  private:
    CKestCamera& camera_;
    std::unique_ptr<platform::HeadlessWindow> window_;
    platform::Surface target_{320, 240};
    int rendered_ = 0;
    std::vector<int16_t> order_;  // the time stamps rendered, one per frame
};

TEST(RenderThreads, DecodeOnTheReceiveThreadRenderOnTheHostsThread) {
    if (!ProcessPicdec().can_decode()) GTEST_SKIP() << "picdec.spi is not built next to kest";
    const Bytes frames[] = {Frame(320, 240, 1), Frame(320, 240, 2), Frame(160, 120, 3)};
    CKestCamera camera("render-threads");
    platform::EventLoop loop;
    Host host(camera, loop);
    camera.AddListener(&host);

    constexpr int kFrames = 30;
    std::atomic<bool> done{false};
    std::thread settings([&] {
        for (int i = 0; !done.load(); ++i) {
            SetTimeStampSettings({i % 2 == 0, 0xFFFFFF, 0, i % 7, 1 + i % 2, i % 50, 10});
            SetLatticeSettings({i % 3 == 0, 0x00FF00, 0xFF, 0xFF00});
            std::this_thread::yield();
        }
    });
    std::thread receive([&] {
        for (int i = 0; i < kFrames; ++i) {
            const Bytes& f = frames[i % 3];
            camera.frame_record().reverse = i & 1;
            int32_t w = 0, h = 0;
            camera.DecodeFrame(f.data(), f.size(), &w, &h);
            if (!camera.LockPresentation(1)) break;
            camera.PresentFrame(f.data(), f.size());
            camera.PostToListeners(kNewImageMessage, 0, 0);
        }
    });
    EXPECT_TRUE(loop.RunUntil([&] { return host.rendered() == kFrames; }, 60000));
    receive.join();
    done.store(true);
    settings.join();
    // Every frame was rendered once, in order: none overwritten while shown.
    ASSERT_EQ(host.order().size(), size_t(kFrames));
    for (int i = 0; i < kFrames; ++i)
        EXPECT_EQ(host.order()[size_t(i)], 1 + i % 3) << i;
    camera.RemoveListener(&host);
}

}  // namespace
}  // namespace kest
