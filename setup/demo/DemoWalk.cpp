#include "setup/demo/DemoWalk.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "setup/Global.h"
#include "setup/MessageService.h"
#include "setup/demo/DemoCameras.h"
#include "setup/demo/UiDriver.h"
#include "setup/frmMain_IP.h"
#include "widget/kest_widget.h"

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

// A press, a move and a release on a picture, as a hand makes them.
void Drag(QWidget* picture, QPoint from, QPoint to, Qt::MouseButton button) {
    const auto send = [picture](QEvent::Type type, QPoint at, Qt::MouseButton b,
                                Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), picture->mapToGlobal(QPointF(at)), b, held,
                          Qt::NoModifier);
        QApplication::sendEvent(picture, &event);
    };
    send(QEvent::MouseButtonPress, from, button, button);
    send(QEvent::MouseMove, to, Qt::NoButton, button);
    send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

// Opens the dialog behind a button of the main settings form, keeps its
// picture and closes it with closer (a button, or the window).
void Visit(Walk& walk, QWidget* setting, const QString& button, const QString& form,
           const QString& closer, const std::function<void(QWidget*)>& inside = {}) {
    ui::Click(setting, button);
    QWidget* dialog = ui::WaitForWindow(form, kWindowWait);
    walk.Step(dialog != nullptr, QStringLiteral("%1 opens %2").arg(button, form));
    if (!dialog) return;
    if (inside) inside(dialog);
    walk.Picture(dialog);
    if (closer.isEmpty() || !ui::Click(dialog, closer)) dialog->close();
    walk.Step(ui::WaitFor([&] { return setting->isVisible(); }, kWindowWait),
              QStringLiteral("back at the main settings form"));
}

// The live view with areas picked by mouse, its detection settings and the
// reference picture; the alarm, recording and memory dialogs.
void WalkDetectionDialogs(Walk& walk, QWidget* setting) {
    Visit(
        walk, setting, QStringLiteral("cmdMotionDetection"), QStringLiteral("frmView"),
        QStringLiteral("cmdCancel"), [&](QWidget* view) {
            auto* picture = ui::Find<kest::qt::KestWidget>(view, QStringLiteral("vn_View"));
            int pictures = 0;
            QObject::connect(picture, &kest::qt::KestWidget::newImage, view,
                             [&pictures] { ++pictures; });
            walk.Step(ui::WaitFor([&] { return pictures >= 2; }, kWindowWait),
                      QStringLiteral("the live view shows the camera's pictures"));
            // Cells are 32 pixels on a 640 x 480 picture: select a row of
            // areas, clear two of them.
            Drag(picture, {2 * 32 + 16, 3 * 32 + 16}, {8 * 32 + 16, 3 * 32 + 16}, Qt::LeftButton);
            Drag(picture, {4 * 32 + 16, 3 * 32 + 16}, {5 * 32 + 16, 3 * 32 + 16}, Qt::RightButton);
            const int seen = pictures;
            ui::WaitFor([&] { return pictures >= seen + 2; }, kWindowWait);
            walk.Picture(view, QStringLiteral("frmView_areas"));
            ui::Click(view, QStringLiteral("cmdDetail"));
            QWidget* detail =
                ui::WaitForWindow(QStringLiteral("frmSub_MotionDetection"), kWindowWait);
            walk.Step(detail != nullptr, QStringLiteral("the detection settings open"));
            if (!detail) return;
            walk.Picture(detail);
            bool referShown = false;
            ui::WhenShown(QStringLiteral("frmRefer_View"), [&](QWidget* refer) {
                referShown = refer != nullptr;
                if (!refer) return;
                ui::WaitFor([] { return false; }, 300);  // its first picture
                walk.Picture(refer);
                ui::Click(refer, QStringLiteral("cmd_Close"));
            });
            ui::Click(detail, QStringLiteral("cmdReference"));
            walk.Step(referShown, QStringLiteral("the reference picture shows"));
            ui::Click(detail, QStringLiteral("cmdOK"));
        });
    Visit(walk, setting, QStringLiteral("cmdAlarm"), QStringLiteral("frmAlmSet"),
          QStringLiteral("cmdCancel"), [&](QWidget* alarm) {
              bool listed = false;
              ui::WhenShown(QStringLiteral("frmList"), [&](QWidget* list) {
                  auto* rows = ui::Find<QListWidget>(list, QStringLiteral("List1"));
                  listed = rows && rows->count() == 2;
                  walk.Picture(list);
                  ui::Click(list, QStringLiteral("Command1"));
              });
              ui::Click(alarm, QStringLiteral("cmbList"));
              walk.Step(listed, QStringLiteral("the recipient list shows 2 recipients"));
          });
    Visit(walk, setting, QStringLiteral("cmdRec"), QStringLiteral("frmSub_Recording"),
          QStringLiteral("cmdCancel"), [&](QWidget* recording) {
              auto* tabs = ui::Find<QTabWidget>(recording, QStringLiteral("tbRecording"));
              if (!tabs) return;
              tabs->setCurrentIndex(1);
              walk.Picture(recording, QStringLiteral("frmSub_Recording_timer"));
              tabs->setCurrentIndex(0);
          });
    Visit(walk, setting, QStringLiteral("cmdCFInfo"), QStringLiteral("frmSub_CFinfo"),
          QStringLiteral("cmdOK"));
    Visit(walk, setting, QStringLiteral("cmdMemory"), QStringLiteral("frmSub_Memory_Info"),
          QStringLiteral("cmdOK"));
}

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
    if (setting) WalkDetectionDialogs(walk, setting);
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
