#include "setup/SubDialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/SubDialog.h"
#include "setup/frmAlmSet.h"
#include "setup/frmSub_CFinfo.h"
#include "setup/frmSub_DHCP.h"
#include "setup/frmSub_FTPServer.h"
#include "setup/frmSub_FTPSetting_Sable.h"
#include "setup/frmSub_Memory_Info.h"
#include "setup/frmSub_Mpeg4_Setting.h"
#include "setup/frmSub_MultiCast.h"
#include "setup/frmSub_NTP.h"
#include "setup/frmSub_Recording.h"
#include "setup/frmSub_SetTime.h"
#include "setup/frmSub_Web.h"
#include "setup/frmView.h"

namespace kestcfg {

namespace {

// A dialog of this version's forms that is not built yet: a window under
// the dialog's name that says so and returns to the main settings form.
class PlaceholderForm final : public SubDialog {
  public:
    explicit PlaceholderForm(const QString& name) {
        setObjectName(name);
        setWindowTitle(GetLangString(QLatin1String(kTitleSection), QStringLiteral("1")));
        auto* layout = new QVBoxLayout(this);
        auto* text = new QLabel(GetLangString(QLatin1String(kOwnSection), QStringLiteral("1")));
        text->setObjectName(QStringLiteral("lblPlaceholder"));
        text->setWordWrap(true);
        layout->addWidget(text);
        auto* close = new QPushButton(this);
        close->setObjectName(QStringLiteral("cmdClose"));
        layout->addWidget(close);
        InitDialog(nullptr, QString());
        setMinimumWidth(320);
    }
};

struct Row {
    const char* form;
    QWidget* (*make)();
};

constexpr Row kDialogs[] = {
    // Network and service dialogs.
    {"frmSub_DHCP", []() -> QWidget* { return new frmSub_DHCP; }},
    {"frmSub_Web", []() -> QWidget* { return new frmSub_Web; }},
    {"frmSub_FTPServer", []() -> QWidget* { return new frmSub_FTPServer; }},
    {"frmSub_FTPSetting_Sable", []() -> QWidget* { return new frmSub_FTPSetting_Sable; }},
    {"frmSub_MultiCast", []() -> QWidget* { return new frmSub_MultiCast; }},
    {"frmSub_Mpeg4_Setting", []() -> QWidget* { return new frmSub_Mpeg4_Setting; }},
    {"frmSub_NTP", []() -> QWidget* { return new frmSub_NTP; }},
    {"frmSub_SetTime", []() -> QWidget* { return new frmSub_SetTime; }},
    // Detection, alarm and recording dialogs, and the live view.
    {"frmView", []() -> QWidget* { return new frmView(); }},
    {"frmAlmSet", []() -> QWidget* { return new frmAlmSet(); }},
    {"frmSub_Recording", []() -> QWidget* { return new frmSub_Recording(); }},
    {"frmSub_CFinfo", []() -> QWidget* { return new frmSub_CFinfo(); }},
    {"frmSub_Memory_Info", []() -> QWidget* { return new frmSub_Memory_Info(); }},
};

}  // namespace

QWidget* OpenSubDialog(const QString& form) {
    for (const Row& row : kDialogs) {
        if (form != QLatin1String(row.form)) continue;
        QWidget* dialog = row.make ? row.make() : new PlaceholderForm(form);
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
        return dialog;
    }
    return nullptr;
}

}  // namespace kestcfg
