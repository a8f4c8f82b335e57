// The Qt host under the offscreen platform: message window, events as
// signals, mouse input, painting.
#include "widget/kest_widget.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <thread>

#include "control/stream/window_messages.h"
#include "platform/udp_socket.h"
#include "widget/qt_message_window.h"

namespace kest::qt {
namespace {

void ProcessFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Recorder : kest::platform::MessageHandler {
    std::vector<std::pair<uint32_t, uintptr_t>> messages;
    std::vector<uint32_t> timers;
    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t) override {
        messages.emplace_back(message, wparam);
        return 0;
    }
    void OnTimer(uint32_t id) override { timers.push_back(id); }
};

TEST(QtMessageWindow, PostsArriveInOrderTimersRepeatSocketsWaitForRearm) {
    QWidget widget;
    Recorder r;
    QtMessageWindow window(&widget, &r);
    std::thread poster([&] {
        for (uintptr_t i = 0; i < 50; ++i)
            window.Post(0x5F5, i, 0);
    });
    poster.join();
    ProcessFor(20);
    ASSERT_EQ(r.messages.size(), 50u);
    for (uintptr_t i = 0; i < 50; ++i)
        EXPECT_EQ(r.messages[i].second, i);

    window.SetTimer(1524, 10);
    ProcessFor(60);
    window.KillTimer(1524);
    const size_t fired = r.timers.size();
    EXPECT_GE(fired, 2u);
    ProcessFor(30);
    EXPECT_EQ(r.timers.size(), fired);

    r.messages.clear();
    kest::platform::UdpSocket receiver, sender;
    ASSERT_TRUE(receiver.Open() && receiver.Bind(0x7F000001, 0));
    ASSERT_TRUE(sender.Open());
    window.WatchSocket(receiver.fd(), 0x590);
    sender.SendTo("x", 1, kest::platform::MakeAddress(0x7F000001, receiver.LocalPort()));
    ProcessFor(40);
    EXPECT_EQ(r.messages.size(), 1u);  // unread, but only one message
    window.RearmSocket(receiver.fd());
    ProcessFor(40);
    EXPECT_EQ(r.messages.size(), 2u);
    window.UnwatchSocket(receiver.fd());
}

TEST(KestWidget, ControlEventsBecomeSignals) {
    KestWidget widget;
    QSignalSpy events(&widget, &KestWidget::controlEvent);
    QSignalSpy ended(&widget, &KestWidget::endDownloading);
    widget.control().window()->Post(kest::kStatusMessage, 1, 0);
    widget.control().window()->Post(kest::kStatusMessage, 10, 101);
    ProcessFor(20);
    ASSERT_EQ(events.count(), 2);
    EXPECT_EQ(events[0][1].toString(), "ChangeFrameSize");
    EXPECT_EQ(events[0][2].toList(), (QVariantList{640, 480}));
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0][0].toInt(), 101);
}

TEST(KestWidget, MouseInputFiresTheStandardEvents) {
    KestWidget widget;
    widget.resize(320, 240);
    widget.show();
    QSignalSpy events(&widget, &KestWidget::controlEvent);
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 40));
    std::vector<QString> names;
    for (const auto& e : events)
        names.push_back(e[1].toString());
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], "MouseDown");
    EXPECT_EQ(events[0][2].toList(), (QVariantList{1, 1, 30, 40}));
    EXPECT_EQ(names[names.size() - 2], "MouseUp");
    EXPECT_EQ(names.back(), "Click");
}

TEST(KestWidget, CallsAndPropertiesThroughDispatch) {
    KestWidget widget;
    QVariantList args{QVariant(), QVariant()};
    QString error;
    EXPECT_EQ(widget.call("GetVersion", args, &error), 7);  // no address
    EXPECT_EQ(widget.call("NoSuchMethod", args, &error), -1);
    EXPECT_EQ(error, "member not found");
    EXPECT_TRUE(widget.setProperty("CameraPort", 4100));
    EXPECT_EQ(widget.control().CameraPort(), 4100);
    EXPECT_FALSE(widget.setProperty("Bogus", 1));
}

TEST(KestWidget, PaintsThePictureWithTheFaceColourRightOfAndBelowIt) {
    KestWidget widget;
    widget.resize(400, 300);
    QImage image = widget.grab().toImage();
    const QColor face = widget.palette().color(QPalette::Button);
    // The placeholder picture is 320 x 240 at the top-left.
    EXPECT_EQ(image.pixelColor(350, 10), face);
    EXPECT_EQ(image.pixelColor(10, 280), face);
    EXPECT_EQ(image.pixelColor(399, 299), face);
    bool picture_differs = false;
    for (int y = 0; y < 240 && !picture_differs; y += 7) {
        for (int x = 0; x < 320 && !picture_differs; x += 7) {
            picture_differs = image.pixelColor(x, y) != face;
        }
    }
    EXPECT_TRUE(picture_differs);
    // Stretched, the picture covers the whole control.
    widget.control().SetStretch(true);
    image = widget.grab().toImage();
    int face_pixels = 0, samples = 0;
    for (int y = 0; y < 300; y += 10) {
        for (int x = 320; x < 400; x += 10, ++samples)
            face_pixels += image.pixelColor(x, y) == face;
    }
    EXPECT_LT(face_pixels, samples);
}

}  // namespace
}  // namespace kest::qt

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
