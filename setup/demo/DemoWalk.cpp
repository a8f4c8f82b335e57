#include "setup/demo/DemoWalk.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <cstdio>

#include "setup/Global.h"
#include "setup/MessageService.h"
#include "setup/demo/DemoCameras.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"

namespace kestcfg {

namespace {

constexpr int kWindowWait = 10000;
constexpr int kSearchWait = 15000;

class Walk {
  public:
    Walk(const QString& dir) : m_dir(dir) {}

    void Step(bool ok, const QString& what) {
        std::printf("walk: %-58s %s\n", qPrintable(what), ok ? "ok" : "FAILED");
        std::fflush(stdout);
        if (!ok) ++m_failures;
    }
    void Picture(QWidget* window, const QString& name = QString()) {
        const QString file = (name.isEmpty() && window ? window->objectName() : name) + ".png";
        Step(ui::SavePicture(window, m_dir, name), QStringLiteral("picture ") + file);
    }
    int failures() const { return m_failures; }

  private:
    QString m_dir;
    int m_failures = 0;
};

bool HasMessage(int number) {
    for (const ShownMessage& m : MessageService::shown()) {
        if (m.spec.number == number) return true;
    }
    return false;
}

}  // namespace

int DemoWalk(frmMain_IP& connect, DemoCameras& cameras, const QString& dir) {
    Walk walk(dir);
    MessageService::setUnattended(true);
    walk.Step(ui::WaitFor([&] { return connect.isVisible(); }, kWindowWait),
              QStringLiteral("connect dialog shows camera 1 at ") + cameras.address(0));
    walk.Step(!connect.windowTitle().isEmpty(),
              QStringLiteral("texts from ") + Global::LanguageFile);
    walk.Picture(&connect);

    // Connect to the model-11 camera: it asks for its super password.
    bool prompted = false;
    ui::WhenShown(QStringLiteral("frmWork_Password_Cport"), [&](QWidget* prompt) {
        prompted = prompt != nullptr;
        if (!prompt) return;
        ui::Type(ui::Find(prompt, QStringLiteral("txtPassword")),
                 QLatin1String(DemoCameras::kSuperPassword));
        walk.Picture(prompt);
        ui::Click(prompt, QStringLiteral("cmdOK"));
    });
    ui::Click(&connect, QStringLiteral("cmdOK"));
    walk.Step(prompted, QStringLiteral("the camera asks for its password"));
    QWidget* setting = ui::WaitForWindow(QStringLiteral("frmMain_Setting_Marten"), kWindowWait);
    walk.Step(setting && !connect.isVisible(), QStringLiteral("logged in: the main settings form"));
    walk.Picture(setting);
    if (setting) {
        // The settings dialogs it opens, each shown and left again.
        const std::pair<const char*, const char*> dialogs[] = {
            {"cmdDefaultPage", "frmSub_Web"},
            {"cmdFTP_Server", "frmSub_FTPServer"},
            {"cmdFTP", "frmSub_FTPSetting_Sable"},
            {"cmdMultiCast", "frmSub_MultiCast"},
            {"cmdNTP", "frmSub_NTP"},
            {"cmdSetTime", "frmSub_SetTime"},
        };
        for (const auto& [button, form] : dialogs) {
            ui::Click(setting, QLatin1String(button));
            QWidget* dialog = ui::WaitForWindow(QLatin1String(form), kWindowWait);
            walk.Step(dialog != nullptr, QStringLiteral("%1 opens %2").arg(button, form));
            walk.Picture(dialog);
            if (dialog) dialog->close();
            ui::WaitFor([&] { return setting->isVisible(); }, kWindowWait);
        }
        ui::WhenShown(QStringLiteral("frmSub_Password"), [&](QWidget* dialog) {
            walk.Picture(dialog);
            if (dialog) ui::Click(dialog, QStringLiteral("cmdCancel"));
        });
        ui::Click(setting, QStringLiteral("cmdSetPassword_2"));
    }
    if (setting) setting->close();
    walk.Step(ui::WaitFor([&] { return connect.isVisible(); }, kWindowWait),
              QStringLiteral("back at the connect dialog"));

    // Both searches, answered for every demo camera.
    int found = 0, multicastRows = 0;
    ui::WhenShown(QStringLiteral("frmWork_KestSearch"), [&](QWidget* search) {
        if (!search) return;
        auto* list = ui::Find<QListWidget>(search, QStringLiteral("lstListKest"));
        ui::Type(ui::Find(search, QStringLiteral("txtSearch")), QStringLiteral("1"));
        ui::Click(search, QStringLiteral("cmdSearch"));
        walk.Picture(search, QStringLiteral("frmWork_KestSearch_searching"));
        ui::WaitFor([&] { return list->count() >= cameras.count(); }, kSearchWait);
        found = list->count();
        ui::WhenShown(QStringLiteral("frmWork_MultiCastSearch"), [&](QWidget* multicast) {
            if (!multicast) return;
            auto* rows = ui::Find<QTreeWidget>(multicast, QStringLiteral("lvMultiCast"));
            ui::Type(ui::Find(multicast, QStringLiteral("txtMultiCastSearch")),
                     QStringLiteral("1"));
            ui::Click(multicast, QStringLiteral("cmdMultiCastSearch"));
            ui::WaitFor([&] { return rows->topLevelItemCount() >= cameras.count(); }, kSearchWait);
            multicastRows = rows->topLevelItemCount();
            walk.Picture(multicast);
            ui::Click(multicast, QStringLiteral("cmdClose"));
        });
        ui::Click(search, QStringLiteral("cmdMultiCastSearch"));
        // Pick the second camera (model 20).
        const auto items = list->findItems(cameras.address(1), Qt::MatchExactly);
        if (!items.isEmpty()) list->setCurrentItem(items.first());
        walk.Picture(search);
        ui::Click(search, QStringLiteral("cmdOK"));
    });
    ui::Click(&connect, QStringLiteral("cmdSearch"));
    walk.Step(found == cameras.count(), QStringLiteral("the search lists %1 cameras").arg(found));
    walk.Step(multicastRows == cameras.count(),
              QStringLiteral("the multicast search lists %1 cameras").arg(multicastRows));
    auto* box3 = ui::Find<QLineEdit>(&connect, QStringLiteral("txtIP_3"));
    walk.Step(box3 && cameras.address(1).endsWith(QLatin1Char('.') + box3->text()),
              QStringLiteral("the chosen camera's address is in the boxes"));
    walk.Picture(&connect, QStringLiteral("frmMain_IP_after_search"));

    // The model-20 camera is not one the tool serves.
    ui::Click(&connect, QStringLiteral("cmdOK"));
    walk.Step(HasMessage(248) && connect.isVisible(),
              QStringLiteral("camera 2 (model 20) is refused with message 248"));

    std::printf("walk: %s, pictures in %s\n", walk.failures() ? "FAILED" : "done",
                qPrintable(QDir(dir).absolutePath()));
    connect.hide();
    MessageService::setUnattended(false);
    return walk.failures() ? 1 : 0;
}

}  // namespace kestcfg
