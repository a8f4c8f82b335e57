// One camera search of a search dialog. The search holds the caller for the
// whole search time (up to 30 s), so it runs on a worker thread with a
// control of its own (KestWidget::callInBackground), the dialog keeps
// painting, and a label counts down the seconds left. What goes on the wire
// is the search's own: ten passes over the search time.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "setup/KestMethods.h"

class QLabel;

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class CameraSearch final : public QObject {
    Q_OBJECT
  public:
    // status: the dialog's status line (lblKestSearch); timeLeft: the
    // seconds left beside it.
    CameraSearch(kest::qt::KestWidget* control, QLabel* status, QLabel* timeLeft, QObject* parent);

    // Starts method (SearchPALOMIR or SearchMulticastIP) with a buffer of
    // bufferSize bytes for seconds: the status line says it searches, the
    // pointer is the hourglass. False (and the status line says why) when
    // the demo's search address is not a loopback address; false too while a
    // search of the control still runs.
    bool start(Method method, int bufferSize, int seconds);
    bool running() const { return m_running; }

    // The demo refuses to search anywhere but loopback: true when searches
    // may go where KEST.INI in the current directory sends them.
    static bool SearchAddressAllowed();

  signals:
    void runningChanged(bool running);
    // The search ended and the status line says how many it found: entries
    // holds count entries of the buffer, at most as many as it has room for
    // (none after a failed search, which has been reported).
    void found(const QByteArray& entries, int count);

  private:
    void onFinished(int dispid, int result, const QVariantList& args);
    void tick();

    kest::qt::KestWidget* m_control;
    QLabel* m_status;
    QLabel* m_timeLeft;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_seconds = 0;
    int m_entrySize = 0;
    Method m_method = Method::SearchPALOMIR;
    bool m_running = false;
};

}  // namespace kestcfg
