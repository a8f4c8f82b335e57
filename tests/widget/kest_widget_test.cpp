// The Qt host under the offscreen platform: message window, events as
// signals, mouse input, painting.
#include "widget/kest_widget.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <thread>

#include "control/stream/window_messages.h"
#include "platform/udp_socket.h"
#include "sim/simulator.h"
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
    EXPECT_EQ(widget.call(15, args, &error), 7);            // the same, by DISPID
    EXPECT_EQ(widget.call("NoSuchMethod", args, &error), -1);
    EXPECT_EQ(error, "member not found");
    EXPECT_EQ(widget.call(9999, args, &error), -1);
    EXPECT_TRUE(widget.setControlProperty("CameraPort", 4100));
    EXPECT_EQ(widget.control().CameraPort(), 4100);
    EXPECT_EQ(widget.controlProperty("CameraPort").toInt(), 4100);
    EXPECT_TRUE(widget.setControlProperty(7, "127.0.0.9"));  // RemoteIPAddress
    EXPECT_EQ(widget.controlProperty("RemoteIPAddress").toString(), "127.0.0.9");
    EXPECT_FALSE(widget.setControlProperty("Bogus", 1));
    EXPECT_FALSE(widget.controlProperty("Password").isValid());  // write-only
    // QObject's own dynamic properties stay usable beside the control's.
    widget.setProperty("styleHint", 3);
    EXPECT_EQ(widget.property("styleHint").toInt(), 3);
}

// Buffers cross both ways: what the host passes is what the camera receives,
// and what the method writes comes back in the argument list.
TEST(KestWidget, BuffersGoInAndComeBackWritten) {
    sim::SimConfig config;
    config.port = 0;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    KestWidget widget;
    widget.setControlProperty("RemoteIPAddress", "127.0.0.1");
    widget.setControlProperty("CameraPort", camera.port());

    QByteArray areas(40, 0);
    areas[0] = char(0x81);
    areas[39] = char(0x40);
    QVariantList set{areas};
    ASSERT_EQ(widget.call("SetAreaInformation", set), 0);
    EXPECT_EQ(set[0].toByteArray(), areas);  // read, not changed

    QVariantList get{QByteArray(40, char(0xEE))};
    ASSERT_EQ(widget.call(61, get), 0);  // GetAreaInformation
    EXPECT_EQ(get[0].toByteArray(), areas);

    QVariantList font{QByteArray(60, 0)};
    ASSERT_EQ(widget.call("GetTimeStampFont", font), 0);
    EXPECT_EQ(font[0].toByteArray().size(), 60);
    EXPECT_NE(font[0].toByteArray(), QByteArray(60, 0));

    // A buffer shorter than its layout is refused without traffic; a number
    // where a buffer belongs is a type error, not a crash.
    const size_t before = camera.ReceivedCount();
    QVariantList short_area{QByteArray(39, 0)};
    EXPECT_EQ(widget.call("GetAreaInformation", short_area), 100);
    QVariantList wrong{5};
    QString error;
    EXPECT_EQ(widget.call("GetAreaInformation", wrong, &error), -1);
    EXPECT_EQ(error, "type mismatch");
    EXPECT_EQ(camera.ReceivedCount(), before);
}

// A long call runs on a control of the worker's own: the host's thread keeps
// handling events meanwhile, and the result comes back as a signal.
TEST(KestWidget, BackgroundCallKeepsTheEventLoopRunning) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 11;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    camera.DelayReplies(300);
    KestWidget widget;
    widget.setControlProperty("RemoteIPAddress", "127.0.0.1");
    widget.setControlProperty("CameraPort", camera.port());
    widget.setControlProperty("Timeout", 2000);
    QSignalSpy finished(&widget, &KestWidget::backgroundCallFinished);
    ASSERT_TRUE(widget.callInBackground(15, {QVariant(), QVariant()}));  // GetVersion
    EXPECT_TRUE(widget.backgroundCallRunning());
    EXPECT_FALSE(widget.callInBackground(15, {QVariant(), QVariant()}));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_GT(ticks, 3);  // the loop ran while the worker waited for the camera
    EXPECT_FALSE(widget.backgroundCallRunning());
    EXPECT_EQ(finished[0][0].toInt(), 15);
    EXPECT_EQ(finished[0][1].toInt(), 0);
    EXPECT_EQ(finished[0][2].toList().value(0).toInt(), 11);
    EXPECT_TRUE(finished[0][3].toString().isEmpty());
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
