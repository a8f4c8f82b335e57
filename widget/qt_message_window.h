// The control's window on Qt's event loop: posted messages become Qt events,
// window timers QTimers, watched sockets QSocketNotifiers.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <map>

#include "platform/message_window.h"

class QSocketNotifier;
class QTimer;

namespace kest::qt {

class QtMessageWindow final : public QObject, public kest::platform::MessageWindow {
    Q_OBJECT
  public:
    // Messages go to handler on the thread of widget; invalidating repaints widget.
    QtMessageWindow(QWidget* widget, kest::platform::MessageHandler* handler);
    ~QtMessageWindow() override;

    bool Post(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    bool SetTimer(uint32_t timerId, uint32_t intervalMs) override;
    void KillTimer(uint32_t timerId) override;
    bool WatchSocket(int fd, uint32_t message) override;
    void RearmSocket(int fd) override;
    void UnwatchSocket(int fd) override;
    void Invalidate() override;
    bool IsAlive() const override { return true; }

  protected:
    void customEvent(QEvent* event) override;

  private:
    QPointer<QWidget> m_widget;
    kest::platform::MessageHandler* m_handler;
    std::map<uint32_t, QTimer*> m_timers;
    std::map<int, QSocketNotifier*> m_sockets;
};

}  // namespace kest::qt
