// The search dialogs against simulated cameras: searches go to a loopback
// responder that KEST.INI in the test's folder names (and run in the
// isolated network namespace all the same).
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <mutex>

#include "platform/profile.h"
#include "setup/CameraSearch.h"
#include "setup/Global.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"
#include "setup/frmWork_KestSearch.h"
#include "setup/frmWork_MultiCastSearch.h"
#include "sim/search_responder.h"
#include "sim/services.h"
#include "tests/setup/setup_fixture.h"

namespace kestcfg::test {
namespace {

using ui::Find;

class SearchDialogs : public SetupTest {
  protected:
    void SetUp() override {
        SetupTest::SetUp();
        first_ = StartCamera(11);
        second_ = StartCamera(20);
        {
            std::lock_guard lock(second_->state_mutex());
            auto& services = second_->State<kest::sim::ServicesState>();
            services.multicast_mode = 1;
            services.multicast_address = {239, 10, 20, 30};
        }
        responder_ = std::make_unique<kest::sim::SearchResponder>(
            std::vector<kest::sim::Simulator*>{first_.get(), second_.get()});
        ASSERT_TRUE(responder_->Start());
        // The control reads KEST.INI in the current folder.
        previous_folder_ = QDir::currentPath();
        QDir::setCurrent(folder_.path());
        PointSearchesAt("127.0.0.1:" + std::to_string(responder_->port()));
    }
    void TearDown() override {
        QDir::setCurrent(previous_folder_);
        SetupTest::TearDown();
    }
    void PointSearchesAt(const std::string& target) {
        kest::platform::WriteProfileString(folder_.filePath("KEST.INI").toStdString(), "udp",
                                           "search_address", target);
    }
    // Types the search time, presses Search and waits for the result.
    void Search(QWidget* form, const char* box, const char* button, const QString& seconds) {
        ui::Type(Find(form, box), seconds);
        ui::Click(form, button);
        ui::WaitFor([&] { return Find<QPushButton>(form, button)->isEnabled(); }, 20000);
    }
    QStringList Listed(frmWork_KestSearch& form) {
        QStringList items;
        auto* list = Find<QListWidget>(&form, "lstListKest");
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }
    QString Address(const kest::sim::Simulator& s) { return QString::fromStdString(s.address()); }

    std::unique_ptr<kest::sim::Simulator> first_, second_;
    std::unique_ptr<kest::sim::SearchResponder> responder_;
    QString previous_folder_;
};

TEST(SearchTime, OneToThirtySecondsPass) {
    for (const char* ok : {"1", "3", "30"})
        EXPECT_TRUE(SearchTimeValid(ok)) << ok;
    for (const char* bad : {"0", "31", "", "99"})
        EXPECT_FALSE(SearchTimeValid(bad)) << bad;
}

TEST_F(SearchDialogs, ASearchTimeOutsideOneToThirtyGives212AndNoSearch) {
    frmWork_KestSearch form;
    form.show();
    QApplication::setActiveWindow(&form);
    for (const char* bad : {"0", "31", ""}) {
        ui::Type(Find(&form, "txtSearch"), bad);
        ui::Click(&form, "cmdSearch");
        EXPECT_EQ(TakeMessages(), std::vector<int>{212}) << bad;
        EXPECT_TRUE(Find(&form, "txtSearch")->hasFocus());
    }
    EXPECT_EQ(responder_->requests(), 0u);
}

TEST_F(SearchDialogs, ListsTheCamerasWhileTheWindowKeepsPainting) {
    frmWork_KestSearch form;
    form.show();
    EXPECT_EQ(Find<QLineEdit>(&form, "txtSearch")->text(), "3");  // the first time
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    ui::Type(Find(&form, "txtSearch"), "1");
    ui::Click(&form, "cmdSearch");
    auto* status = Find<QLabel>(&form, "lblKestSearch");
    auto* left = Find<QLabel>(&form, "lblSearchTimeLeft");
    EXPECT_EQ(status->text(), Lang("WORK_KESTSEARCH_A", "7"));
    EXPECT_EQ(left->text(), Lang("KESTCFG_A", "2").arg(1));
    EXPECT_FALSE(Find<QPushButton>(&form, "cmdSearch")->isEnabled());
    ui::SavePicture(&form, PictureFolder(), "frmWork_KestSearch_searching");
    ui::WaitFor([&] { return Find<QPushButton>(&form, "cmdSearch")->isEnabled(); }, 20000);
    EXPECT_GE(ticks, 10);                    // the event loop ran through the search
    EXPECT_EQ(responder_->requests(), 10u);  // ten passes, as the search makes them
    EXPECT_EQ(Listed(form), (QStringList{Address(*first_), Address(*second_)}));
    EXPECT_EQ(status->text(), Lang("WORK_KESTSEARCH_A", "8") + " 2");
    EXPECT_TRUE(left->text().isEmpty());
    EXPECT_TRUE(TakeMessages().empty());
    ui::SavePicture(&form, PictureFolder(), "frmWork_KestSearch_found");
}

TEST_F(SearchDialogs, ASearchThatFindsNothingSaysSo) {
    kest::sim::SearchResponder nobody({});
    ASSERT_TRUE(nobody.Start());
    PointSearchesAt("127.0.0.1:" + std::to_string(nobody.port()));
    frmWork_KestSearch form;
    form.show();
    Search(&form, "txtSearch", "cmdSearch", "1");
    EXPECT_GT(nobody.requests(), 0u);
    EXPECT_TRUE(Listed(form).isEmpty());
    EXPECT_EQ(Find<QLabel>(&form, "lblKestSearch")->text(), Lang("WORK_KESTSEARCH_A", "9"));
}

TEST_F(SearchDialogs, OkWithoutAnItemAndCancelLeaveTheConnectBoxesAlone) {
    frmMain_IP connect;
    connect.show();
    connect.fillAddress("127.0.0.77");
    // A search, then OK with nothing selected.
    ui::WhenShown("frmWork_KestSearch", [&](QWidget* form) {
        ASSERT_TRUE(form);
        Search(form, "txtSearch", "cmdSearch", "1");
        auto* list = Find<QListWidget>(form, "lstListKest");
        list->clearSelection();
        list->setCurrentItem(nullptr);
        EXPECT_FALSE(Find<QPushButton>(form, "cmdOK")->isEnabled());
        // Picking an item enables OK; after a search that finds nothing it
        // is still enabled, and OK then has no item to take.
        list->setCurrentRow(0);
        EXPECT_TRUE(Find<QPushButton>(form, "cmdOK")->isEnabled());
        list->clearSelection();
        ui::Click(form, "cmdOK");
    });
    ui::Click(&connect, "cmdSearch");
    EXPECT_EQ(Global::SelectedOctets, (std::array<int16_t, 4>{0, 0, 0, 0}));
    EXPECT_FALSE(Global::SearchCancelled);
    EXPECT_EQ(Find<QLineEdit>(&connect, "txtIP_3")->text(), "77");

    // A search, a choice, then Cancel.
    ui::WhenShown("frmWork_KestSearch", [&](QWidget* form) {
        Search(form, "txtSearch", "cmdSearch", "1");
        Find<QListWidget>(form, "lstListKest")->setCurrentRow(1);
        ui::Click(form, "cmdCancel");
    });
    ui::Click(&connect, "cmdSearch");
    EXPECT_TRUE(Global::SearchCancelled);
    EXPECT_EQ(Find<QLineEdit>(&connect, "txtIP_3")->text(), "77");
}

TEST_F(SearchDialogs, TheChosenCameraGoesToTheConnectBoxesAndTheTimeIsKept) {
    frmMain_IP connect;
    connect.show();
    QApplication::setActiveWindow(&connect);
    ui::WhenShown("frmWork_KestSearch", [&](QWidget* form) {
        Search(form, "txtSearch", "cmdSearch", "2");
        auto* list = Find<QListWidget>(form, "lstListKest");
        list->setCurrentRow(1);
        emit list->itemDoubleClicked(list->item(1));  // double-click runs OK
    });
    ui::Click(&connect, "cmdSearch");
    const QStringList octets = Address(*second_).split('.');
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Find<QLineEdit>(&connect, QStringLiteral("txtIP_%1").arg(i))->text(), octets[i]);
    EXPECT_EQ(connect.focusWidget(), Find(&connect, "cmdOK"));

    // Hidden, not unloaded: the dialog shows the last search time again.
    QString shown_time;
    ui::WhenShown("frmWork_KestSearch", [&](QWidget* form) {
        shown_time = Find<QLineEdit>(form, "txtSearch")->text();
        ui::Click(form, "cmdCancel");
    });
    ui::Click(&connect, "cmdSearch");
    EXPECT_EQ(shown_time, "2");
}

TEST_F(SearchDialogs, TheRightClickMenuShowsTheMacAddress) {
    frmWork_KestSearch form;
    form.show();
    Search(&form, "txtSearch", "cmdSearch", "1");
    auto* list = Find<QListWidget>(&form, "lstListKest");
    list->setCurrentRow(0);
    auto* action = form.findChild<QAction*>("mn_MACAddress");
    EXPECT_EQ(action->text(), Lang("WORK_KESTSEARCH_A", "11"));
    EXPECT_TRUE(form.rightClickMenu()->actions().contains(action));
    action->trigger();
    const QList<ShownMessage> shown = MessageService::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].spec.title, Lang("MAIN_SETTING_A", "8"));
    EXPECT_EQ(shown[0].spec.text, "00.80.4B.1E.57.01");
    EXPECT_EQ(shown[0].spec.icon, QMessageBox::Information);

    // A camera that has gone since the search: 218.
    first_->Stop();
    action->trigger();
    EXPECT_EQ(TakeMessages(), std::vector<int>{218});
}

TEST_F(SearchDialogs, TheMulticastSearchShowsGroupsAndWhoSends) {
    frmWork_KestSearch owner;
    owner.show();
    ui::WhenShown("frmWork_MultiCastSearch", [&](QWidget* form) {
        ASSERT_TRUE(form);
        for (const char* bad : {"0", "31"}) {
            ui::Type(Find(form, "txtMultiCastSearch"), bad);
            ui::Click(form, "cmdMultiCastSearch");
            EXPECT_EQ(TakeMessages(), std::vector<int>{212});
        }
        Search(form, "txtMultiCastSearch", "cmdMultiCastSearch", "1");
        auto* rows = Find<QTreeWidget>(form, "lvMultiCast");
        ASSERT_EQ(rows->topLevelItemCount(), 2);
        EXPECT_EQ(rows->topLevelItem(0)->text(0), Address(*first_));
        EXPECT_EQ(rows->topLevelItem(0)->text(1), "239.0.0.1");
        EXPECT_EQ(rows->topLevelItem(0)->text(2), "");  // flag 0
        EXPECT_EQ(rows->topLevelItem(1)->text(1), "239.10.20.30");
        EXPECT_EQ(rows->topLevelItem(1)->text(2), Lang("WORK_MULTICASTSEARCH_A", "13"));
        EXPECT_EQ(Find<QLabel>(form, "lblKestSearch")->text(),
                  Lang("WORK_KESTSEARCH_A", "8") + " 2");
        ui::SavePicture(form, PictureFolder());
        ui::Click(form, "cmdClose");
    });
    ui::Click(&owner, "cmdMultiCastSearch");
    EXPECT_TRUE(owner.isVisible());  // Close hides only the multicast dialog
}

TEST_F(SearchDialogs, TheDemoSearchesOnlyAtALoopbackAddress) {
    Global::DemoMode = true;
    EXPECT_TRUE(CameraSearch::SearchAddressAllowed());
    // In the namespace this address has no route; the demo must not even try.
    PointSearchesAt("192.0.2.1:4000");
    EXPECT_FALSE(CameraSearch::SearchAddressAllowed());
    frmWork_KestSearch form;
    form.show();
    ui::Type(Find(&form, "txtSearch"), "1");
    ui::Click(&form, "cmdSearch");
    EXPECT_EQ(Find<QLabel>(&form, "lblKestSearch")->text(), Lang("KESTCFG_A", "3"));
    EXPECT_TRUE(Find<QPushButton>(&form, "cmdSearch")->isEnabled());
    Global::DemoMode = false;
    EXPECT_TRUE(CameraSearch::SearchAddressAllowed());
}

}  // namespace
}  // namespace kestcfg::test
