#include "setup/CameraSearch.h"

#include <QDir>
#include <QLabel>
#include <algorithm>

#include "platform/profile.h"
#include "platform/udp_socket.h"
#include "setup/Common_Function.h"
#include "setup/Cport_Function.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

// The search dialogs share their status texts.
QString Status(int key) {
    return GetLangString(QStringLiteral("WORK_KESTSEARCH_A"), QString::number(key));
}

}  // namespace

CameraSearch::CameraSearch(kest::qt::KestWidget* control, QLabel* status, QLabel* timeLeft,
                           QObject* parent)
    : QObject(parent), m_control(control), m_status(status), m_timeLeft(timeLeft) {
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &CameraSearch::tick);
    connect(m_control, &kest::qt::KestWidget::backgroundCallFinished, this,
            [this](int dispid, int result, const QVariantList& args, const QString&) {
                onFinished(dispid, result, args);
            });
}

bool CameraSearch::SearchAddressAllowed() {
    if (!Global::DemoMode) return true;
    const std::string path = QDir::current().filePath(QStringLiteral("KEST.INI")).toStdString();
    std::string text = kest::platform::GetProfileString(path, "udp", "search_address", "");
    text = text.substr(0, text.find(':'));
    uint32_t address = 0;
    return kest::platform::ParseIpv4(text, address) && (address >> 24) == 127;
}

bool CameraSearch::start(Method method, int bufferSize, int seconds) {
    if (m_control->backgroundCallRunning()) return false;
    if (!SearchAddressAllowed()) {
        m_status->setText(GetLangString(QLatin1String(kOwnSection), QStringLiteral("3")));
        return false;
    }
    m_status->setText(Status(7));
    m_status->repaint();
    m_method = method;
    m_entrySize =
        method == Method::SearchMulticastIP ? kMulticastSearchEntrySize : kSearchEntrySize;
    const QVariantList args{QByteArray(bufferSize, '\0'), bufferSize, 0, seconds};
    if (!m_control->callInBackground(int(method), args)) return false;
    m_running = true;
    m_seconds = seconds;
    m_clock.start();
    tick();
    m_timer.start();
    MousePointer::Hourglass();
    emit runningChanged(true);
    return true;
}

void CameraSearch::tick() {
    const qint64 left = std::max<qint64>(0, (m_seconds * 1000 - m_clock.elapsed() + 999) / 1000);
    m_timeLeft->setText(GetLangString(QLatin1String(kOwnSection), QStringLiteral("2")).arg(left));
}

void CameraSearch::onFinished(int dispid, int result, const QVariantList& args) {
    if (!m_running || dispid != int(m_method)) return;
    m_running = false;
    m_timer.stop();
    m_timeLeft->clear();
    MousePointer::Default();
    emit runningChanged(false);
    if (result < 0) {
        ReportResult(int16_t(result));
        return;
    }
    const QByteArray buffer = args.value(0).toByteArray();
    // Never more entries than the buffer holds, whatever count says.
    int count = std::clamp(args.value(2).toInt(), 0, int(buffer.size()) / m_entrySize);
    if (result != kResultOk) count = 0;
    m_status->setText(count == 0 ? Status(9)
                                 : Status(8) + QLatin1Char(' ') + QString::number(count));
    emit found(buffer.left(count * m_entrySize), count);
}

}  // namespace kestcfg
