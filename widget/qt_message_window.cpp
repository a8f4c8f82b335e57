#include "widget/qt_message_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

namespace kest::qt {

namespace {

const QEvent::Type kMessageEvent = QEvent::Type(QEvent::registerEventType());

// One posted window message.
class MessageEvent final : public QEvent {
  public:
    MessageEvent(uint32_t message, uintptr_t wparam, intptr_t lparam)
        : QEvent(kMessageEvent), message(message), wparam(wparam), lparam(lparam) {}
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

}  // namespace

QtMessageWindow::QtMessageWindow(QWidget* widget, kest::platform::MessageHandler* handler)
    : QObject(widget), m_widget(widget), m_handler(handler) {}

QtMessageWindow::~QtMessageWindow() {
    // Pending posted events of this object are discarded with it.
    for (auto& [id, timer] : m_timers)
        delete timer;
    for (auto& [fd, notifier] : m_sockets)
        delete notifier;
}

bool QtMessageWindow::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    // Thread-safe; events of one object arrive in posting order on its thread.
    QCoreApplication::postEvent(this, new MessageEvent(message, wparam, lparam));
    return true;
}

void QtMessageWindow::customEvent(QEvent* event) {
    if (event->type() != kMessageEvent) return;
    auto* m = static_cast<MessageEvent*>(event);
    m_handler->OnMessage(m->message, m->wparam, m->lparam);
}

bool QtMessageWindow::SetTimer(uint32_t timerId, uint32_t intervalMs) {
    KillTimer(timerId);
    auto* timer = new QTimer(this);
    timer->setInterval(int(intervalMs));
    connect(timer, &QTimer::timeout, this, [this, timerId] { m_handler->OnTimer(timerId); });
    timer->start();
    m_timers[timerId] = timer;
    return true;
}

void QtMessageWindow::KillTimer(uint32_t timerId) {
    auto it = m_timers.find(timerId);
    if (it == m_timers.end()) return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

bool QtMessageWindow::WatchSocket(int fd, uint32_t message) {
    if (fd < 0) return false;
    UnwatchSocket(fd);
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, fd, message] {
        // One notification until the reader re-arms, as with an asynchronous select.
        notifier->setEnabled(false);
        m_handler->OnMessage(message, uintptr_t(fd), kSocketRead);
    });
    m_sockets[fd] = notifier;
    return true;
}

void QtMessageWindow::RearmSocket(int fd) {
    auto it = m_sockets.find(fd);
    if (it != m_sockets.end()) it->second->setEnabled(true);
}

void QtMessageWindow::UnwatchSocket(int fd) {
    auto it = m_sockets.find(fd);
    if (it == m_sockets.end()) return;
    it->second->setEnabled(false);
    it->second->deleteLater();
    m_sockets.erase(it);
}

void QtMessageWindow::Invalidate() {
    if (m_widget) m_widget->update();
}

}  // namespace kest::qt
