// Binding picdec.spi by name, the messages for what is missing, and their
// way to the host through the first control.
#include "control/stream/picdec_binding.h"

#include <gtest/gtest.h>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"

namespace kest {
namespace {

TEST(PicdecBinding, TheProcessBindingFindsThePluginNextToTheLibrary) {
    const PicdecBinding& b = ProcessPicdec();
    ASSERT_TRUE(b.loaded()) << "picdec.spi is built next to the kest library";
    EXPECT_TRUE(b.can_decode());
    EXPECT_TRUE(b.get_plugin_info && b.is_supported);
    EXPECT_TRUE(b.messages().empty());
    EXPECT_EQ(b.path(), PicdecBinding::DefaultCandidates().front());
    char text[64] = {};
    EXPECT_EQ(b.get_plugin_info(2, text, sizeof text), 12);
    EXPECT_STREQ(text, "*.JPG;*.JPEG");
}

TEST(PicdecBinding, MissingPluginIsReportedOnceAndDecodingIsOff) {
    PicdecBinding b({"/nonexistent/picdec.spi", "no-such-picdec.spi"});
    EXPECT_FALSE(b.loaded());
    EXPECT_FALSE(b.can_decode());
    EXPECT_EQ(b.messages(), (std::vector<LoadMessage>{{"Can't Find Jpeg DLL.", "DLL Load ERROR"}}));
}

TEST(PicdecBinding, EachMissingEntryPointHasItsMessage) {
    PicdecBinding b({"/nonexistent/picdec.spi", PARTIAL_PLUGIN_PATH});
    EXPECT_TRUE(b.loaded());
    EXPECT_EQ(b.path(), PARTIAL_PLUGIN_PATH);
    EXPECT_FALSE(b.can_decode());
    EXPECT_TRUE(b.get_picture_info && b.is_supported);
    EXPECT_EQ(b.messages(), (std::vector<LoadMessage>{
                                {"Can't Find GetPluginInfo() from Jpeg DLL.", "DLL Load ERROR"},
                                {"Can't Find GetPicture() from Jpeg DLL.", "DLL Load ERROR"}}));
}

struct RecordingUi : platform::HostUi {
    std::vector<LoadMessage> shown;
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons) override {
        shown.push_back({text, caption});
        return Answer::kOk;
    }
    bool ChooseFont(platform::LogFont&) override { return false; }
    void AboutBox(const std::string&) override {}
};

TEST(PicdecBinding, LoadMessagesReachTheFirstControlsHostOnce) {
    TakeLoadMessages();
    PicdecBinding b({"/nonexistent/picdec.spi"});
    QueueLoadMessages(b.messages());

    RecordingUi first_ui, second_ui;
    CKestCtrl first, second;
    first.SetHostUi(&first_ui);
    second.SetHostUi(&second_ui);
    EXPECT_EQ(first_ui.shown, b.messages());
    EXPECT_TRUE(second_ui.shown.empty());

    // A control that gets a window but no dialogs of its host shows them
    // through the headless default (stderr).
    QueueLoadMessages(b.messages());
    platform::EventLoop loop;
    CKestCtrl third;
    third.AttachWindow(loop.CreateWindow(&third));
    EXPECT_TRUE(TakeLoadMessages().empty());
}

}  // namespace
}  // namespace kest
