#include "setup/SubDialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/SubDialog.h"
#include "setup/frmAlmSet.h"
#include "setup/frmSub_CFinfo.h"
#include "setup/frmSub_Memory_Info.h"
#include "setup/frmSub_Recording.h"
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
    {"frmSub_DHCP", nullptr},
    {"frmSub_Web", nullptr},
    {"frmSub_FTPServer", nullptr},
    {"frmSub_FTPSetting_Sable", nullptr},
    {"frmSub_MultiCast", nullptr},
    {"frmSub_Mpeg4_Setting", nullptr},
    {"frmSub_NTP", nullptr},
    {"frmSub_SetTime", nullptr},
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
