// The network and service dialogs: each applies one change, and the test
// reads what the simulated camera received (its state, its datagram log);
// the checks of each dialog's entries; the common shape (failed read,
// failed write, OK and Apply enabled by a change); the record layouts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <cstring>
#include <mutex>

#include "kest_records.h"
#include "platform/profile.h"
#include "setup/ClockRecords.h"
#include "setup/Global.h"
#include "setup/RecordBytes.h"
#include "setup/SubDialogs.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"
#include "sim/services.h"
#include "tests/setup/setup_fixture.h"

namespace kestcfg::test {
namespace {

using kest::sim::ServicesState;
using ui::Find;

class NetworkDialogs : public SetupTest {
  protected:
    void SetUp() override {
        SetupTest::SetUp();
        camera_ = StartCamera(11);
        Global::CameraAddress = QString::fromStdString(camera_->address());
        Global::TypeNumber = 11;
    }
    // Opens the dialog named form as the main settings form does.
    QWidget* Open(const char* form) {
        dialog_ = OpenSubDialog(QLatin1String(form));
        EXPECT_TRUE(dialog_);
        if (dialog_) QApplication::setActiveWindow(dialog_);
        return dialog_;
    }
    void TearDown() override {
        delete dialog_.data();
        SetupTest::TearDown();
    }
    template <typename T>
    T Services(T ServicesState::*field) {
        std::lock_guard lock(camera_->state_mutex());
        return camera_->State<ServicesState>().*field;
    }
    void Edit(const char* box, const QString& text) { ui::Type(Find(dialog_, box), text); }
    void SetRow(const char* prefix, const QString& address) {
        const QStringList parts = address.split('.');
        for (int i = 0; i < 4; ++i)
            ui::Type(Find(dialog_, QStringLiteral("%1_%2").arg(prefix).arg(i)), parts[i]);
    }
    // Apply; the message numbers it showed.
    std::vector<int> Apply(const char* button = "cmdApply") {
        ui::Click(dialog_, button);
        return TakeMessages();
    }

    std::unique_ptr<kest::sim::Simulator> camera_;
    QPointer<QWidget> dialog_;
};

TEST_F(NetworkDialogs, DhcpShowsTheServerAndTheLease) {
    {
        std::lock_guard lock(camera_->state_mutex());
        auto& identity = camera_->State<kest::sim::IdentityState>();
        identity.dhcp_server = {127, 0, 9, 1};
        identity.lease_obtained = 1700000000;
        identity.lease_expires = 1700086400;
    }
    Open("frmSub_DHCP");
    EXPECT_EQ(dialog_->windowTitle(), Lang("SUB_DHCP_A", "1"));
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtDHCP_IP_2")->text(), "9");
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtLease_Obtain")->text(), "1700000000");
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtLease_Expires")->text(), "1700086400");
    ui::SavePicture(dialog_, PictureFolder());
    ui::Click(dialog_, "cmdOK");
    EXPECT_TRUE(ui::WaitFor([&] { return dialog_.isNull(); }, 2000));
}

TEST_F(NetworkDialogs, WebServerPortPageAndCache) {
    Open("frmSub_Web");
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtFileName")->text(), "index.html");
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtPort")->text(), "80");
    EXPECT_TRUE(Find<QRadioButton>(dialog_, "optDefaultPageOFF")->isChecked());
    EXPECT_FALSE(Find(dialog_, "txtFileName")->isEnabled());
    EXPECT_FALSE(Find(dialog_, "cmdApply")->isEnabled());  // nothing changed yet
    ui::SavePicture(dialog_, PictureFolder());
    // With the default page off, an empty name does not stop a new port.
    Find<QLineEdit>(dialog_, "txtFileName")->clear();
    Edit("txtPort", "40000");
    EXPECT_TRUE(Find(dialog_, "cmdApply")->isEnabled());
    EXPECT_TRUE(Apply().empty());
    EXPECT_EQ(Services(&ServicesState::http_port), 40000);  // a 16-bit field, taken unsigned
    // With the page on, the name is needed and written.
    ui::Click(dialog_, "optDefaultPageOn");
    EXPECT_TRUE(Find(dialog_, "txtFileName")->isEnabled());
    EXPECT_EQ(Apply(), std::vector<int>{241});
    Edit("txtFileName", "cam/*page");  // refused characters are not typed
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtFileName")->text(), "campage");
    ui::Click(dialog_, "chkCache");
    for (const char* port : {"65536", ""}) {
        Edit("txtPort", port);
        EXPECT_EQ(Apply(), std::vector<int>{250}) << port;
    }
    Edit("txtPort", "8080");
    EXPECT_TRUE(Apply().empty());
    EXPECT_EQ(Services(&ServicesState::http_port), 8080);
    const auto page = Services(&ServicesState::default_page);
    EXPECT_STREQ(reinterpret_cast<const char*>(page.data()), "campage");
    const auto settings = Services(&ServicesState::http_settings);
    EXPECT_EQ(settings[2], 1);  // cache
    EXPECT_EQ(settings[3], 1);  // default page on
}

TEST_F(NetworkDialogs, FtpServerOnAndOff) {
    Open("frmSub_FTPServer");
    EXPECT_TRUE(Find<QRadioButton>(dialog_, "optFTP_OFF")->isChecked());
    ui::SavePicture(dialog_, PictureFolder());
    ui::Click(dialog_, "optFTP_ON");
    EXPECT_TRUE(Apply("cmdOK").empty());
    EXPECT_EQ(Services(&ServicesState::ftp_server), 1);
    EXPECT_TRUE(ui::WaitFor([&] { return dialog_.isNull(); }, 2000));
}

TEST_F(NetworkDialogs, FtpUploadRecordIsByteExact) {
    Open("frmSub_FTPSetting_Sable");
    ui::Click(dialog_, "optFTP_ON");
    Edit("txtUserName", "installer");
    Edit("txtPassword", "pa55");
    SetRow("txtIPAd", "127.0.0.21");
    Edit("txtFTP_Port", "2121");
    Edit("txtFTP_Folder", "cams/door");  // "/" is refused: one folder level
    Edit("txtUpload", "86400");
    ui::Click(dialog_, "chkFTP_Disconnect");
    ui::Click(dialog_, "optRetry");
    Edit("txtRetry", "600");
    ui::Click(dialog_, "optFileName");
    Edit("txtFileName", "door");
    ui::SavePicture(dialog_, PictureFolder());
    EXPECT_TRUE(Apply().empty());

    std::array<uint8_t, KEST_FTPSETTING_SIZE> expected{};
    RecordBytes r(KEST_FTPSETTING_SIZE);
    r.setInteger(KEST_FTPSETTING_UPLOAD_INTERVAL, 4, 86400);
    r.setInteger(KEST_FTPSETTING_DISCONNECT, 2, 1);
    r.setInteger(KEST_FTPSETTING_RETRY_PERIOD, 2, 600);
    r.setInteger(KEST_FTPSETTING_STOP_UNAVAILABLE, 2, 0);
    std::memcpy(expected.data(), r.bytes().constData(), expected.size());
    std::memcpy(&expected[KEST_FTPSETTING_USER_NAME], "installer", 9);
    std::memcpy(&expected[KEST_FTPSETTING_PASSWORD], "pa55", 4);
    std::memcpy(&expected[KEST_FTPSETTING_FOLDER], "camsdoor", 8);
    std::memcpy(&expected[KEST_FTPSETTING_FILE_NAME], "door", 4);
    const auto received = Services(&ServicesState::ftp_setting);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(received[i], expected[i]) << "byte " << i;
    EXPECT_EQ(Services(&ServicesState::ftp_enable), 1);
    EXPECT_EQ(Services(&ServicesState::ftp_port), 2121);
    EXPECT_EQ(Services(&ServicesState::ftp_address), (std::array<uint8_t, 4>{127, 0, 0, 21}));
}

TEST_F(NetworkDialogs, FtpUploadChecks) {
    Open("frmSub_FTPSetting_Sable");
    ui::Click(dialog_, "optFTP_ON");
    SetRow("txtIPAd", "127.0.0.21");
    Edit("txtFTP_Port", "21");
    Edit("txtUpload", "60");
    ui::Click(dialog_, "optRetry_Infinite");
    ui::Click(dialog_, "optTimeStamp");
    struct Row {
        const char* box;
        const char* value;
        int message;
        const char* good;
    };
    const Row rows[] = {
        {"txtIPAd_3", "0", 251, "21"},       {"txtIPAd_3", "255", 251, "21"},
        {"txtIPAd_1", "256", 219, "0"},      {"txtFTP_Port", "0", 238, "21"},
        {"txtFTP_Port", "65536", 238, "21"}, {"txtUpload", "86401", 239, "60"},
    };
    for (const Row& row : rows) {
        Edit(row.box, row.value);
        EXPECT_EQ(Apply(), std::vector<int>{row.message}) << row.box << "=" << row.value;
        EXPECT_TRUE(Find(dialog_, row.box)->hasFocus());
        Edit(row.box, row.good);
    }
    // The retry period counts only with optRetry, the file name only with optFileName.
    Edit("txtRetry", "0");
    EXPECT_TRUE(Apply().empty());
    ui::Click(dialog_, "optRetry");
    EXPECT_EQ(Apply(), std::vector<int>{240});
    Edit("txtRetry", "601");
    EXPECT_EQ(Apply(), std::vector<int>{240});
    Edit("txtRetry", "1");
    ui::Click(dialog_, "optFileName");
    Find<QLineEdit>(dialog_, "txtFileName")->clear();
    EXPECT_EQ(Apply(), std::vector<int>{241});
    // Upload off: nothing is checked.
    ui::Click(dialog_, "optFTP_OFF");
    EXPECT_TRUE(Apply().empty());
    EXPECT_EQ(Services(&ServicesState::ftp_enable), 0);
}

TEST_F(NetworkDialogs, MulticastGroupChecksAndTheRestart) {
    frmMain_IP connect;
    Open("frmSub_MultiCast");
    EXPECT_TRUE(Find<QRadioButton>(dialog_, "optUnicast")->isChecked());
    EXPECT_FALSE(Find(dialog_, "fraMultiCastAddress")->isEnabled());
    ui::Click(dialog_, "optMultiCast");
    EXPECT_TRUE(Find(dialog_, "fraMultiCastAddress")->isEnabled());
    ui::SavePicture(dialog_, PictureFolder());
    for (const char* bad : {"224.1.1.1", "240.0.0.1", "239.1.1.256"}) {
        SetRow("txtMultiCastAddress", bad);
        EXPECT_EQ(Apply("cmdOK"), std::vector<int>{219}) << bad;
    }
    // Question 117 answered Cancel writes nothing.
    SetRow("txtMultiCastAddress", "225.0.0.0");
    MessageService::setNextAnswer(QMessageBox::Cancel);
    EXPECT_EQ(Apply("cmdOK"), std::vector<int>{117});
    EXPECT_EQ(camera_->ReceivedCount(CommandCode("scmd_set_multicast_mode")), 0u);
    // [MultiCast] gives the burst, port and time-to-live, and is written back.
    kest::platform::WriteProfileString(settings_path().toStdString(), "MultiCast", "MultiCastPort",
                                       "40002");
    SetRow("txtMultiCastAddress", "239.255.255.255");
    EXPECT_EQ(Apply("cmdOK"), std::vector<int>{117});
    EXPECT_EQ(Services(&ServicesState::multicast_mode), 1);
    EXPECT_EQ(Services(&ServicesState::multicast_address),
              (std::array<uint8_t, 4>{239, 255, 255, 255}));
    EXPECT_EQ(uint16_t(Services(&ServicesState::multicast_port)), 40002);
    EXPECT_EQ(Services(&ServicesState::burst_count), 2);
    EXPECT_EQ(Services(&ServicesState::ttl), 255);
    EXPECT_EQ(
        kest::platform::GetProfileString(settings_path().toStdString(), "MultiCast", "TTL", ""),
        "255");
    {
        std::lock_guard lock(camera_->state_mutex());
        EXPECT_EQ(camera_->State<kest::sim::IdentityState>().resets, 1);
    }
    // After the restart the tool is back at the connect dialog.
    EXPECT_TRUE(ui::WaitFor([&] { return dialog_.isNull(); }, 2000));
    EXPECT_TRUE(connect.isVisible());
}

TEST_F(NetworkDialogs, Mpeg4BitRateRange) {
    Open("frmSub_Mpeg4_Setting");
    auto* rates = Find<QComboBox>(dialog_, "cmbFrameRate");
    ASSERT_EQ(rates->count(), 3);
    EXPECT_EQ(rates->itemText(2), "7.5");
    EXPECT_EQ(Find<QLineEdit>(dialog_, "txtBitRate")->text(), "512");
    ui::SavePicture(dialog_, PictureFolder());
    for (const char* bad : {"63", "2049", ""}) {
        Edit("txtBitRate", bad);
        EXPECT_EQ(Apply(), std::vector<int>{310}) << bad;
    }
    rates->setCurrentIndex(2);
    for (int good : {64, 2048}) {
        Edit("txtBitRate", QString::number(good));
        EXPECT_TRUE(Apply().empty()) << good;
        EXPECT_EQ(Services(&ServicesState::bitrate), good);
        EXPECT_EQ(Services(&ServicesState::framerate_mode), 2);
    }
}

TEST_F(NetworkDialogs, NetworkTimeRecords) {
    Open("frmSub_NTP");
    auto* zones = Find<QComboBox>(dialog_, "cmbTimeZone");
    ASSERT_EQ(zones->count(), 26);
    EXPECT_EQ(zones->itemText(0), "GMT-12:00");
    EXPECT_EQ(zones->itemText(12), "GMT");
    EXPECT_EQ(zones->itemText(21), "GMT+9:00");
    EXPECT_EQ(zones->itemText(25), "GMT+13:00");
    EXPECT_EQ(Find<QComboBox>(dialog_, "cmbAdjustDay")->count(), 31);
    EXPECT_EQ(Find<QComboBox>(dialog_, "cmbAdjustHour")->count(), 24);
    ui::SavePicture(dialog_, PictureFolder());
    // Years the camera cannot hold.
    ui::Click(dialog_, "optNotNTP");
    auto* date = Find<QDateEdit>(dialog_, "dtp_Date");
    for (int year : {1899, 2080}) {
        date->setDate(QDate(year, 6, 1));
        EXPECT_EQ(Apply("cmdOK"), std::vector<int>{249}) << year;
    }
    // By hand: the pickers' time goes out, the NTP block as read.
    ui::Click(dialog_, "optNotNTP");
    date->setDate(QDate(2026, 12, 6));  // a Sunday
    Find<QTimeEdit>(dialog_, "dtp_Time")->setTime(QTime(7, 8, 9));
    EXPECT_TRUE(Apply().empty());
    const std::array<uint8_t, 16> by_hand{0xEA, 0x07, 12, 0, 0, 0, 6, 0, 7, 0, 8, 0, 9, 0, 0, 0};
    EXPECT_EQ(Services(&ServicesState::date_time), by_hand);
    EXPECT_EQ(Services(&ServicesState::ntp), 0);
    // From a server: zone +9, every 3 days and 4 hours; the date as read.
    ui::Click(dialog_, "optNTP");
    zones->setCurrentIndex(21);
    Find<QComboBox>(dialog_, "cmbAdjustDay")->setCurrentIndex(3);
    Find<QComboBox>(dialog_, "cmbAdjustHour")->setCurrentIndex(4);
    SetRow("txtNTP_IPAddress", "127.0.0.123");
    EXPECT_TRUE(Apply().empty());
    EXPECT_EQ(Services(&ServicesState::ntp), 1);
    EXPECT_EQ(Services(&ServicesState::ntp_signed), 9);
    EXPECT_EQ(Services(&ServicesState::ntp_bytes), (std::array<uint8_t, 6>{3, 4, 127, 0, 0, 123}));
    EXPECT_EQ(Services(&ServicesState::date_time), by_hand);
}

TEST_F(NetworkDialogs, CameraClockAsksAndShowsTheDifference) {
    // The camera's clock runs 75 s behind the PC's.
    const QDateTime camera_time = PcTime(false).addSecs(-75);
    {
        const QByteArray record = ClockRecord(camera_time);
        std::lock_guard lock(camera_->state_mutex());
        std::memcpy(camera_->State<ServicesState>().date_time.data(), record.constData(), 16);
    }
    Open("frmSub_SetTime");
    EXPECT_TRUE(dialog_->findChild<QTimer*>("Timer1")->isActive());
    const QString difference = Find<QLabel>(dialog_, "lblClockDifference")->text();
    EXPECT_TRUE(difference == Lang("KESTCFG_A", "18").arg(75) ||
                difference == Lang("KESTCFG_A", "18").arg(76))
        << difference.toStdString();
    ui::SavePicture(dialog_, PictureFolder());
    // Cancel at the question sends nothing.
    MessageService::setNextAnswer(QMessageBox::Cancel);
    camera_->ClearReceived();
    ui::Click(dialog_, "cmdSetGMT");
    EXPECT_EQ(camera_->ReceivedCount(CommandCode("scmd_set_current_datetime")), 0u);
    // The pickers' time, after the question that names it.
    Find<QDateEdit>(dialog_, "dtp_Date")->setDate(QDate(2027, 1, 2));
    Find<QTimeEdit>(dialog_, "dtp_Time")->setTime(QTime(3, 4, 5));
    MessageService::takeShown();
    ui::Click(dialog_, "cmdApply");
    const QList<ShownMessage> shown = MessageService::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].spec.text, Lang("SUB_SETTIME_A", "6") + "\r\n[2027/1/2 3:4:5]\r\n" +
                                      Lang("MSG_QUESTION", "113"));
    EXPECT_EQ(shown[0].spec.icon, QMessageBox::Question);
    EXPECT_EQ(shown[0].spec.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    const std::array<uint8_t, 16> sent{0xEB, 0x07, 1, 0, 6, 0, 2, 0, 3, 0, 4, 0, 5, 0, 0, 0};
    EXPECT_EQ(Services(&ServicesState::date_time), sent);
}

TEST_F(NetworkDialogs, AFailedReadLeavesOnlyClosing) {
    camera_->DropNextReplies(1 << 20);
    Open("frmSub_Mpeg4_Setting");
    EXPECT_EQ(TakeMessages(), std::vector<int>{215});
    EXPECT_FALSE(Find(dialog_, "txtBitRate")->isEnabled());
    EXPECT_FALSE(Find(dialog_, "cmbFrameRate")->isEnabled());
    EXPECT_FALSE(Find(dialog_, "cmdOK")->isEnabled());
    EXPECT_FALSE(Find(dialog_, "cmdApply")->isEnabled());
    EXPECT_TRUE(Find(dialog_, "cmdCancel")->isEnabled());
    ui::Click(dialog_, "cmdCancel");
    EXPECT_TRUE(ui::WaitFor([&] { return dialog_.isNull(); }, 2000));
}

TEST_F(NetworkDialogs, AFailedWriteKeepsTheDialogOpen) {
    Open("frmSub_FTPServer");
    camera_->Wrap(CommandCode("scmd_set_ftp_server_enable"),
                  [](kest::sim::Simulator&, const kest::sim::Request&, kest::sim::Response& r,
                     const kest::sim::Handler&) { r.status = 1; });
    ui::Click(dialog_, "optFTP_ON");
    EXPECT_EQ(Apply("cmdOK"), std::vector<int>{225});
    EXPECT_TRUE(dialog_->isVisible());
}

TEST(RecordLayouts, FieldsTileEveryRecord) {
    for (const kest_record_layout& layout : kest_record_layouts) {
        SCOPED_TRACE(layout.name);
        unsigned next = 0;
        for (uint16_t i = 0; i < layout.field_count; ++i) {
            const kest_record_field& f = layout.fields[i];
            EXPECT_EQ(f.offset, next) << f.name;  // no gap, no overlap
            EXPECT_GT(f.width, 0) << f.name;
            if (f.kind == KEST_FIELD_INT || f.kind == KEST_FIELD_UINT) {
                EXPECT_TRUE(f.width == 1 || f.width == 2 || f.width == 4) << f.name;
            }
            if (f.kind == KEST_FIELD_ADDRESS) {
                EXPECT_EQ(f.width, 4) << f.name;
            }
            next = f.offset + f.width;
        }
        EXPECT_EQ(next, layout.size);
    }
    EXPECT_EQ(KEST_FTPSETTING_SIZE, 164);
    EXPECT_EQ(KEST_FTPSETTING_FILE_NAME, 130);
    EXPECT_EQ(KEST_NTPSETTING_SERVER, 6);
}

TEST(RecordLayouts, BytesStayInsideTheRecord) {
    RecordBytes r(8);
    r.setInteger(0, 2, -2);
    EXPECT_EQ(r.integer(0, 2), -2);
    EXPECT_EQ(r.unsignedInteger(0, 2), 0xFFFEu);
    r.setInteger(4, 4, 0x7FFFFFFF);
    EXPECT_EQ(r.integer(4, 4), 0x7FFFFFFF);
    r.setInteger(6, 4, 1);  // past the end: nothing written
    EXPECT_EQ(r.integer(4, 4), 0x7FFFFFFF);
    EXPECT_EQ(r.integer(-1, 2), 0);
    r.setText(0, 4, "abcdef");  // cut to the field, no zero
    EXPECT_EQ(r.text(0, 4), "abcd");
    r.setText(0, 4, "ab");
    EXPECT_EQ(r.bytes().left(4), QByteArray("ab\0\0", 4));
    const RecordBytes shortRecord(QByteArray("xy"), 4);  // a short reply reads as zeros
    EXPECT_EQ(shortRecord.size(), 4);
    EXPECT_EQ(shortRecord.unsignedInteger(2, 2), 0u);
}

}  // namespace
}  // namespace kestcfg::test
