#include "setup/demo/UiDriver.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <memory>

namespace kestcfg::ui {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= ms) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

QWidget* Window(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible()) return w;
    }
    return nullptr;
}

QWidget* WaitForWindow(const QString& objectName, int ms) {
    QWidget* found = nullptr;
    WaitFor([&] { return (found = Window(objectName)) != nullptr; }, ms);
    return found;
}

void WhenShown(const QString& objectName, std::function<void(QWidget*)> action, int ms) {
    // Polled, never waited for: the action may run inside a modal loop that
    // only ends once the step after it has run.
    auto* poll = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* w = Window(objectName);
        if (!w && clock->elapsed() < ms) return;
        poll->stop();
        poll->deleteLater();
        action(w);
    });
    poll->start();
}

void Type(QWidget* box, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(box);
    if (!edit) return;
    edit->setFocus();
    edit->selectAll();
    edit->del();
    for (const QChar c : text) {
        // Printable ASCII keys have the upper-case character's code.
        const int key = c.unicode() < 0x80 ? c.toUpper().unicode() : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QCoreApplication::sendEvent(edit, &release);
    }
}

bool Click(QWidget* form, const QString& objectName) {
    auto* button = Find<QAbstractButton>(form, objectName);
    if (!button || !button->isEnabled()) return false;
    button->click();
    return true;
}

bool SavePicture(QWidget* window, const QString& dir, const QString& name) {
    if (!window || dir.isEmpty() || !QDir().mkpath(dir)) return false;
    // Lay out what changed since the last pass of the event loop.
    QCoreApplication::processEvents();
    const QString file = (name.isEmpty() ? window->objectName() : name) + QStringLiteral(".png");
    return window->grab().save(QDir(dir).filePath(file));
}

}  // namespace kestcfg::ui
