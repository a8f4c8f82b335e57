// The names are the contract: every form and control of the setup tool under
// its name and kind, every text the tool reads in its language file, every
// method it calls under the control's DISPID.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "control/facade/typelib.h"
#include "setup/Common_Function.h"
#include "setup/Global.h"
#include "setup/KestMethods.h"
#include "setup/SubDialogs.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmAlmSet.h"
#include "setup/frmList.h"
#include "setup/frmMain_IP.h"
#include "setup/frmMain_Setting_Marten.h"
#include "setup/frmRefer_View.h"
#include "setup/frmSub_CFinfo.h"
#include "setup/frmSub_Memory_Info.h"
#include "setup/frmSub_MotionDetection.h"
#include "setup/frmSub_Password.h"
#include "setup/frmSub_Recording.h"
#include "setup/frmView.h"
#include "setup/frmWork_KestSearch.h"
#include "setup/frmWork_MultiCastSearch.h"
#include "setup/frmWork_Password_Cport.h"
#include "tests/setup/setup_fixture.h"
#include "widget/kest_widget.h"

namespace kestcfg::test {
namespace {

struct Control {
    const char* name;
    const char* kind;  // the Qt class it is, or inherits
};

struct FormRow {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
    std::vector<Control> controls;
    bool showsPicture = false;  // its control is the picture
};

const char* kLabel = "QLabel";
const char* kText = "QLineEdit";
const char* kButton = "QPushButton";
const char* kFrame = "QGroupBox";
const char* kUpDown = "kestcfg::UpDown";
const char* kKest = "kest::qt::KestWidget";
// A dialog the main settings form opens, made as it makes it.
std::unique_ptr<QWidget> SubDialog(const char* form) {
    return std::unique_ptr<QWidget>(OpenSubDialog(QLatin1String(form)));
}

const char* kCheck = "QCheckBox";
const char* kOption = "QRadioButton";
const char* kCombo = "QComboBox";
const char* kSlider = "QSlider";
const char* kScroll = "QScrollBar";

// The recording dialog: its fixed controls and the rows of the timer schedule.
std::vector<Control> RecordingControls() {
    std::vector<Control> c = {
        {"tbRecording", "QTabWidget"},
        {"frTrigger", kFrame},
        {"chkTrigger_Alarm1", kCheck},
        {"chkTrigger_Alarm2", kCheck},
        {"chkTrigger_Relay", kCheck},
        {"chkTrigger_Motion", kCheck},
        {"frRecordingTime", kFrame},
        {"lblBeforeTrigger", kLabel},
        {"txtBeforeTrigger", kText},
        {"lblAfterTrigger", kLabel},
        {"txtAftertrigger", kText},
        {"lblUnit_0", kLabel},
        {"lblUnit_1", kLabel},
        {"frTimerRec", kFrame},
        {"frFrameRate", kFrame},
        {"chkChangeFPS_Trigger", kCheck},
        {"cmbChangefps_Trigger", kCombo},
        {"lblfps", kLabel},
        {"chkChangeFPS_Timer", kCheck},
        {"cmbChangefps_Timer", kCombo},
        {"frCF", kFrame},
        {"opStop", kOption},
        {"opDelete", kOption},
        {"lblDelete", kLabel},
        {"txtBefore", kText},
        {"frTimelapse", kFrame},
        {"chkTimelapse", kCheck},
        {"lblTimelapse", kLabel},
        {"txtTimelapse", kText},
        {"lblNotes", kLabel},
        {"cmdOK", kButton},
        {"cmdCancel", kButton},
        {"cmdApply", kButton},
        {"vn_Recording", kKest},
    };
    // The names outlive the table: they are kept here.
    static std::vector<std::string> names;
    if (names.empty()) {
        for (int i = 0; i < frmSub_Recording::kTimerRows; ++i) {
            for (const char* prefix : {"chkTimer_", "cmb_", "dtpStart_", "dtpStop_"})
                names.push_back(prefix + std::to_string(i));
        }
    }
    for (const std::string& n : names) {
        const char* kind = n.starts_with("chk")   ? kCheck
                           : n.starts_with("cmb") ? kCombo
                                                  : "QTimeEdit";
        c.push_back({n.c_str(), kind});
    }
    return c;
}

std::vector<FormRow> Forms() {
    return {
        {"frmMain_IP",
         [] { return std::make_unique<frmMain_IP>(); },
         {{"lblKestStart", kLabel},
          {"LabelIPaddress", kLabel},
          {"LabelConnectTimeout", kLabel},
          {"LabelSec", kLabel},
          {"txtIP_0", kText},
          {"txtIP_1", kText},
          {"txtIP_2", kText},
          {"txtIP_3", kText},
          {"FrameTimeOut", kFrame},
          {"TextTimeOut", kText},
          {"UpDownTimeOut", kUpDown},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"cmdSearch", kButton},
          {"vn_MainIP", kKest}}},
        {"frmWork_KestSearch",
         [] { return std::make_unique<frmWork_KestSearch>(); },
         {{"fraSearch", kFrame},
          {"txtSearch", kText},
          {"UpDownLimitSec", kUpDown},
          {"lblSearch_0", kLabel},
          {"lblSearch_1", kLabel},
          {"cmdSearch", kButton},
          {"cmdMultiCastSearch", kButton},
          {"fraList", kFrame},
          {"lstListKest", "QListWidget"},
          {"lblKestSearch", kLabel},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"mn_RightClickMenu", "QMenu"},
          {"mn_MACAddress", "QAction"},
          {"vn_Search", kKest}}},
        {"frmWork_MultiCastSearch",
         [] {
             auto owner = new frmWork_KestSearch();
             auto form = std::make_unique<frmWork_MultiCastSearch>(owner);
             form->setParent(nullptr, Qt::Dialog);
             QObject::connect(form.get(), &QObject::destroyed, [owner] { delete owner; });
             return form;
         },
         {{"fraSearch", kFrame},
          {"txtMultiCastSearch", kText},
          {"MultiCastUpDownLimitSec", kUpDown},
          {"lblMultiCastSearch_0", kLabel},
          {"lblMultiCastSearch_1", kLabel},
          {"cmdMultiCastSearch", kButton},
          {"fraMultiCast", kFrame},
          {"lvMultiCast", "QTreeWidget"},
          {"lblKestSearch", kLabel},
          {"cmdClose", kButton}}},
        {"frmWork_Password_Cport",
         [] { return std::make_unique<frmWork_Password_Cport>(); },
         {{"fraPassword", kFrame},
          {"lblLabel", kLabel},
          {"lblLabel_UserName", kLabel},
          {"txtUserName", kText},
          {"lblLabel_Password", kLabel},
          {"txtPassword", kText},
          {"cmdOK", kButton},
          {"cmdCancel", kButton}}},
        {"frmSub_Password",
         [] {
             // The main settings form's control, which it works with.
             auto control = std::make_unique<kest::qt::KestWidget>();
             auto form = std::make_unique<frmSub_Password>(control.get());
             control.release()->setParent(form.get());
             form->findChild<kest::qt::KestWidget*>()->hide();
             return form;
         },
         {{"fraSetPassword", kFrame},
          {"lblLabel_Form", kLabel},
          {"lblLabel_NewPass", kLabel},
          {"txtNewPassword", kText},
          {"lblLabel_ConPass", kLabel},
          {"txtConfirmPassword", kText},
          {"cmdOK", kButton},
          {"cmdCancel", kButton}}},
        {"frmMain_Setting_Marten",
         [] { return std::make_unique<frmMain_Setting_Marten>(); },
         {{"fraCurrent", kFrame},
          {"lblIpAddress", kLabel},
          {"lblMacAddress", kLabel},
          {"lblCamID", kLabel},
          {"lblLabel_IP", kLabel},
          {"lblLabel_Mac", kLabel},
          {"lblLabel_CamID", kLabel},
          {"fraIpAddress", kFrame},
          {"txtIP_0", kText},
          {"txtIP_1", kText},
          {"txtIP_2", kText},
          {"txtIP_3", kText},
          {"fraSubnet", kFrame},
          {"txtSub_0", kText},
          {"txtSub_1", kText},
          {"txtSub_2", kText},
          {"txtSub_3", kText},
          {"FraDefaultGateway", kFrame},
          {"txtGateIP_0", kText},
          {"txtGateIP_1", kText},
          {"txtGateIP_2", kText},
          {"txtGateIP_3", kText},
          {"fraCamID", kFrame},
          {"txtCamID", kText},
          {"fraPassword", kFrame},
          {"cmdSetPassword_0", kButton},
          {"cmdSetPassword_1", kButton},
          {"cmdSetPassword_2", kButton},
          {"OptDHCP", kOption},
          {"OptDHCP_OFF", kOption},
          {"cmdDHCP", kButton},
          {"fraPictMode", kFrame},
          {"optMode_Jpeg", kOption},
          {"optMode_Mpeg4", kOption},
          {"cmdMPEG4_Setting", kButton},
          {"cmdAlarm", kButton},
          {"cmdMotionDetection", kButton},
          {"cmdRec", kButton},
          {"cmdSetTime", kButton},
          {"cmdCFInfo", kButton},
          {"cmdFTP", kButton},
          {"cmdMultiCast", kButton},
          {"cmdFTP_Server", kButton},
          {"cmdDefaultPage", kButton},
          {"cmdMemory", kButton},
          {"cmdNTP", kButton},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"vn_Setting", kKest}}},
        {"frmSub_DHCP",
         [] { return SubDialog("frmSub_DHCP"); },
         {{"lblDHCP_ServerIP", kLabel},
          {"txtDHCP_IP_0", kText},
          {"txtDHCP_IP_1", kText},
          {"txtDHCP_IP_2", kText},
          {"txtDHCP_IP_3", kText},
          {"lblLease_Obtain", kLabel},
          {"txtLease_Obtain", kText},
          {"lblLease_Expires", kLabel},
          {"txtLease_Expires", kText},
          {"cmdOK", kButton},
          {"vn_DHCP", kKest}}},
        {"frmSub_Web",
         [] { return SubDialog("frmSub_Web"); },
         {{"fraDefaultPage", kFrame},
          {"optDefaultPageOn", kOption},
          {"optDefaultPageOFF", kOption},
          {"lblDir", kLabel},
          {"txtFileName", kText},
          {"lbl_html", kLabel},
          {"lblMaxChar", kLabel},
          {"fraHttpPort", kFrame},
          {"lblPort", kLabel},
          {"txtPort", kText},
          {"fraCache", kFrame},
          {"chkCache", kCheck},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"cmdApply", kButton},
          {"vn_DefaultPage", kKest}}},
        {"frmSub_FTPServer",
         [] { return SubDialog("frmSub_FTPServer"); },
         {{"fraFTP_Server", kFrame},
          {"optFTP_ON", kOption},
          {"optFTP_OFF", kOption},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"cmdApply", kButton},
          {"vn_FTP_Server", kKest}}},
        {"frmSub_FTPSetting_Sable",
         [] { return SubDialog("frmSub_FTPSetting_Sable"); },
         {{"frFTP", kFrame},
          {"optFTP_ON", kOption},
          {"optFTP_OFF", kOption},
          {"frUserName", kFrame},
          {"txtUserName", kText},
          {"lblUserName_Char", kLabel},
          {"frPassword", kFrame},
          {"txtPassword", kText},
          {"lblPassword_Char", kLabel},
          {"frServerIP", kFrame},
          {"txtIPAd_0", kText},
          {"txtIPAd_1", kText},
          {"txtIPAd_2", kText},
          {"txtIPAd_3", kText},
          {"frFTP_Port", kFrame},
          {"txtFTP_Port", kText},
          {"lblFTP_Port_Default", kLabel},
          {"frFTP_Folder", kFrame},
          {"txtFTP_Folder", kText},
          {"lblFTP_Folder_Char", kLabel},
          {"frUpload", kFrame},
          {"txtUpload", kText},
          {"lblUpload_Sec", kLabel},
          {"chkFTP_Disconnect", kCheck},
          {"frFTP_Error", kFrame},
          {"frConnectError", kFrame},
          {"optRetry_Infinite", kOption},
          {"optRetry", kOption},
          {"txtRetry", kText},
          {"lblRetry_Period", kLabel},
          {"frTransError", kFrame},
          {"chkFTP_Unavailable", kCheck},
          {"frFileName", kFrame},
          {"optTimeStamp", kOption},
          {"optFileName", kOption},
          {"txtFileName", kText},
          {"lblExtension", kLabel},
          {"lblFileName_Char", kLabel},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"cmdApply", kButton},
          {"vn_FTP", kKest}}},
        {"frmSub_MultiCast",
         [] { return SubDialog("frmSub_MultiCast"); },
         {{"optUnicast", kOption},
          {"optMultiCast", kOption},
          {"fraMultiCastAddress", kFrame},
          {"txtMultiCastAddress_0", kText},
          {"txtMultiCastAddress_1", kText},
          {"txtMultiCastAddress_2", kText},
          {"txtMultiCastAddress_3", kText},
          {"lblMultiCast", kLabel},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"vn_MultiCast", kKest}}},
        {"frmSub_Mpeg4_Setting",
         [] { return SubDialog("frmSub_Mpeg4_Setting"); },
         {{"fraFrameRate", kFrame},
          {"cmbFrameRate", "QComboBox"},
          {"lblFrameRate_Unit", kLabel},
          {"fraBitRate", kFrame},
          {"txtBitRate", kText},
          {"lblBitRate_Unit", kLabel},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"cmdApply", kButton},
          {"vn_Mpeg4", kKest}}},
        {"frmSub_NTP",
         [] { return SubDialog("frmSub_NTP"); },
         {{"optNTP", kOption},
          {"lblNTP_IPaddress", kLabel},
          {"txtNTP_IPAddress_0", kText},
          {"txtNTP_IPAddress_1", kText},
          {"txtNTP_IPAddress_2", kText},
          {"txtNTP_IPAddress_3", kText},
          {"lblTimeZone", kLabel},
          {"cmbTimeZone", "QComboBox"},
          {"lblAdjust", kLabel},
          {"lblDay", kLabel},
          {"lblHour", kLabel},
          {"lblEvery", kLabel},
          {"cmbAdjustDay", "QComboBox"},
          {"cmbAdjustHour", "QComboBox"},
          {"optNotNTP", kOption},
          {"dtp_Date", "QDateEdit"},
          {"dtp_Time", "QTimeEdit"},
          {"cmdSetLocalTime", kButton},
          {"cmdSetGMT", kButton},
          {"frSetTime", kFrame},
          {"fraSetTime", kFrame},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"cmdApply", kButton},
          {"vn_NTP", kKest}}},
        {"frmSub_SetTime",
         [] { return SubDialog("frmSub_SetTime"); },
         {{"frSetTime", kFrame},
          {"fraSetTime", kFrame},
          {"dtp_Date", "QDateEdit"},
          {"dtp_Time", "QTimeEdit"},
          {"cmdSetLocalTime", kButton},
          {"cmdSetGMT", kButton},
          {"cmdApply", kButton},
          {"cmdClose", kButton},
          {"Timer1", "QTimer"},
          {"vn_SetTime", kKest}}},
        // Detection, alarms, recording, memory, live view and reference picture.
        {"frmView",
         [] { return std::make_unique<frmView>(); },
         {{"fraView", kFrame}, {"vn_View", kKest}, {"cmdDetail", kButton}, {"cmdCancel", kButton}},
         true},
        {"frmSub_MotionDetection",
         [] {
             auto* view = new frmView();
             auto form = std::make_unique<frmSub_MotionDetection>(view);
             form->setParent(nullptr, Qt::Dialog);
             QObject::connect(form.get(), &QObject::destroyed, [view] { delete view; });
             return form;
         },
         {{"fraMotionDetection", kFrame},
          {"chkMotionDetection", kCheck},
          {"lblReload", kLabel},
          {"txtReload", kText},
          {"lblDistinct", kLabel},
          {"txtDistinct", kText},
          {"lblUnit", kLabel},
          {"chkMask", kCheck},
          {"frthreshold", kFrame},
          {"lblThreshold", kLabel},
          {"sldThreshold", kSlider},
          {"txtThreshold", kText},
          {"lblPercent", kLabel},
          {"sldPercent", kSlider},
          {"txtPercent", kText},
          {"lblNoiseFilter", kLabel},
          {"sldNoiseFilter", kSlider},
          {"txtNoiseFilter", kText},
          {"lblRange_0", kLabel},
          {"lblRange_1", kLabel},
          {"lblRange_2", kLabel},
          {"cmdReload", kButton},
          {"cmdReference", kButton},
          {"cmdOK", kButton},
          {"cmdCancel", kButton},
          {"vn_MotionDetection", kKest}}},
        {"frmRefer_View",
         [] { return std::make_unique<frmRefer_View>(nullptr); },
         {{"vn_ReferView", kKest},
          {"cmdReload", kButton},
          {"chkAuto_Reload", kCheck},
          {"txtInterval", kText},
          {"lblsec", kLabel},
          {"Timer1", "QTimer"},
          {"cmd_Close", kButton}},
         true},
        {"frmAlmSet",
         [] { return std::make_unique<frmAlmSet>(); },
         {{"opAlm1Enbl", kOption},
          {"opAlm1Unenbl", kOption},
          {"opAlm2Enbl", kOption},
          {"opAlm2Unenbl", kOption},
          {"ckAlarmOut_0", kCheck},
          {"ckAlarmOut_1", kCheck},
          {"ckAlarmOut_2", kCheck},
          {"ckAlarmPos_0", kCheck},
          {"ckAlarmPos_1", kCheck},
          {"ckAlarmPos_2", kCheck},
          {"scrlAlarmPos_0", kScroll},
          {"scrlAlarmPos_1", kScroll},
          {"scrlAlarmPos_2", kScroll},
          {"txtAlarmPos_0", kText},
          {"txtAlarmPos_1", kText},
          {"txtAlarmPos_2", kText},
          {"chkFTPUpload", kCheck},
          {"ckDual", kCheck},
          {"cmbDual1", kCombo},
          {"cmbDual2", kCombo},
          {"txtMinute", kText},
          {"txtSecond", kText},
          {"opOutEnbl", kOption},
          {"opOutUnenbl", kOption},
          {"opOutH", kOption},
          {"opOutL", kOption},
          {"opOutini", kOption},
          {"opOutNotini", kOption},
          {"txtOut", kText},
          {"txtTimes", kText},
          {"optMotionAlarmEnbl", kOption},
          {"optMotionAlarmUnenbl", kOption},
          {"cmbList", kButton},
          {"Command1", kButton},
          {"Command2", kButton},
          {"cmdCancel", kButton},
          {"vn_AlmSet", kKest}}},
        {"frmList",
         [] {
             auto control = std::make_unique<kest::qt::KestWidget>();
             auto form = std::make_unique<frmList>(control.get());
             control.release()->setParent(form.get());
             form->findChild<kest::qt::KestWidget*>()->hide();
             return form;
         },
         {{"lbl1", kLabel},
          {"Label2", kLabel},
          {"List1", "QListWidget"},
          {"Command1", kButton},
          {"Command2", kButton}}},
        {"frmSub_Recording", [] { return std::make_unique<frmSub_Recording>(); },
         RecordingControls()},
        {"frmSub_CFinfo",
         [] { return std::make_unique<frmSub_CFinfo>(); },
         {{"lblTotal", kLabel},
          {"lblTotalValue", kLabel},
          {"lblkByte", kLabel},
          {"lblFree", kLabel},
          {"lblFreeValue", kLabel},
          {"lblComment", kLabel},
          {"cmdOK", kButton},
          {"vn_CFinfo", kKest}}},
        {"frmSub_Memory_Info",
         [] { return std::make_unique<frmSub_Memory_Info>(); },
         {{"lblTotal", kLabel},
          {"lblTotalValue", kLabel},
          {"lblkByte", kLabel},
          {"lblFree", kLabel},
          {"lblFreeValue", kLabel},
          {"cmdOK", kButton},
          {"vn_Memory_Info", kKest}}},
    };
}

class FormsTable : public SetupTest {};

TEST_F(FormsTable, EveryFormAndControlCarriesItsName) {
    for (const FormRow& row : Forms()) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<QWidget> form = row.make();
        EXPECT_EQ(form->objectName(), row.name);
        EXPECT_TRUE(form->isWindow());
        for (const Control& c : row.controls) {
            QObject* found = form->findChild<QObject*>(QLatin1String(c.name));
            ASSERT_NE(found, nullptr) << c.name;
            EXPECT_TRUE(found->inherits(c.kind))
                << c.name << " is a " << found->metaObject()->className();
            // Labels name their boxes for screen readers and keyboard users.
            if (auto* label = qobject_cast<QLabel*>(found); label && label->buddy()) {
                EXPECT_NE(label->buddy()->focusPolicy(), Qt::NoFocus) << c.name;
            }
        }
        // A form's control shows no picture, unless the form is a picture.
        for (auto* kest : form->findChildren<kest::qt::KestWidget*>()) {
            EXPECT_EQ(kest->isHidden(), !row.showsPicture) << kest->objectName().toStdString();
        }
        form->show();
        EXPECT_FALSE(form->windowTitle().isEmpty());
        ui::SavePicture(form.get(), PictureFolder());
    }
}

// What a user sees of a numbered message that takes an extra text.
TEST_F(FormsTable, AMessageBoxShowsTitleTextAndStandardButtons) {
    ShowMessage(201, QStringLiteral("/home/cameras/today.rec"));
    const QList<ShownMessage> shown = MessageService::takeShown();
    ASSERT_EQ(shown.size(), 1);
    std::unique_ptr<QMessageBox> box(MessageService::build(shown[0].spec, nullptr));
    EXPECT_EQ(box->windowTitle(), Lang("TITLE_SETUP", "1"));
    EXPECT_EQ(box->text(), shown[0].spec.text);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    EXPECT_EQ(box->button(QMessageBox::Ok)->text(), Lang("BUTTON_A", "1"));
    box->show();
    ui::SavePicture(box.get(), PictureFolder(), "message_201");
}

TEST_F(FormsTable, TheMultiCastListHasItsThreeColumns) {
    frmWork_KestSearch owner;
    frmWork_MultiCastSearch form(&owner);
    auto* list = form.findChild<QTreeWidget*>("lvMultiCast");
    ASSERT_EQ(list->columnCount(), 3);
    const QString section = "WORK_MULTICASTSEARCH_A";
    EXPECT_EQ(list->headerItem()->text(0), Lang(section, "10"));
    EXPECT_EQ(list->headerItem()->text(1), Lang(section, "11"));
    EXPECT_EQ(list->headerItem()->text(2), Lang(section, "12"));
}

// Every section and key the forms read, in the language file the tool ships.
TEST(LanguageFile, HoldsEveryKeyTheFormsRead) {
    const std::pair<const char*, const char*> keys[] = {
        {"TITLE_SETUP", "1"},
        {"BUTTON_A", "1,2,4,6,8"},
        {"BUTTON_H", "2,4"},
        {"MAIN_IP_A", "1-4"},
        {"MAIN_SETTING_A", "1-3,7-10,12-15,20,22,24-37"},
        {"WORK_KESTSEARCH_A", "1-11"},
        {"WORK_MULTICASTSEARCH_A", "1-6,10-13"},
        {"WORK_PASSWORD_CPORT_A", "1,3,4,6"},
        {"SUB_PASSWORD_A", "1-5"},
        {"SUB_DHCP_A", "1-4"},
        {"SUB_WEB_A", "1-11"},
        {"SUB_FTP_SERVER_A", "1-4"},
        {"SUB_FTP_A", "1-26"},
        {"SUB_MULTICAST_A", "1-5"},
        {"SUB_MPEG4_A", "1-5"},
        {"SUB_NTP_A", "2-11"},
        {"SUB_SETTIME_A", "1-6"},
        {"SUB_MOTIONDETECTION_A", "1-8,10-12"},
        {"SUB_AREASETTING_A", "2-8"},
        {"SUB_ALARM_A", "1-34"},
        {"SUB_RECORDING_A", "1-38"},
        {"SUB_CFINFO_A", "1-5"},
        {"SUB_MEMORY_INFO_A", "1-4"},
        {"SUB_LIST_A", "1-5"},
        {"SUB_REFERENCE_A", "1-4"},
        {"MSG_QUESTION", "100-119"},
        {"MSG_EXCLAMATION", "201-236,238-251"},
        {"MSG_CRITICAL", "301-326"},
        {"MSG_INFORMATION", "401,402"},
        {"System Error Msg", "-2,-15"},
        {"KESTCFG_A", "1-27"},
    };
    int count = 0;
    for (const auto& [section, list] : keys) {
        for (const QString& range : QString::fromLatin1(list).split(',')) {
            const qsizetype dash = range.indexOf('-', 1);
            const int first = range.left(dash < 0 ? range.size() : dash).toInt();
            const int last = dash < 0 ? first : range.mid(dash + 1).toInt();
            for (int key = first; key <= last; ++key, ++count) {
                const QString text = Lang(section, QString::number(key));
                EXPECT_FALSE(text.isEmpty()) << section << " " << key;
                EXPECT_NE(text, "Error") << section << " " << key;
                // The lookup's buffer holds 259 bytes.
                EXPECT_LT(text.toUtf8().size(), 260) << section << " " << key;
            }
        }
    }
    EXPECT_GT(count, 300);
    QFile file(KESTCFG_LANGUAGE_FILE);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));  // no byte-order mark before the first section
    EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes);  // valid UTF-8
}

// The tool calls its controls by DISPID: each one is the control's own.
TEST(KestMethods, EveryDispidIsTheControlsOwn) {
    struct Row {
        const char* name;
        int dispid;
        kest::MemberKind kind;
    };
    const Row rows[] = {
#define KESTCFG_METHOD(name, dispid) {#name, dispid, kest::MemberKind::kMethod},
#define KESTCFG_PROPERTY(name, dispid) {#name, dispid, kest::MemberKind::kProperty},
#include "setup/KestMethods.def"
#undef KESTCFG_METHOD
#undef KESTCFG_PROPERTY
    };
    for (const Row& row : rows) {
        const kest::MemberInfo* m = kest::FindMember(row.name, row.kind);
        ASSERT_NE(m, nullptr) << row.name;
        EXPECT_EQ(m->name, row.name);  // spelled as the interface spells it
        EXPECT_EQ(m->dispid, row.dispid) << row.name;
    }
    EXPECT_EQ(int(Method::SearchPALOMIR), 88);
    EXPECT_EQ(int(Property::Password), 8);
}

}  // namespace
}  // namespace kestcfg::test
