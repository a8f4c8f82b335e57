#include "setup/demo/DemoCameras.h"

#include <QDateTime>
#include <QDir>
#include <cstring>
#include <mutex>

#include "include/kest_records.h"
#include "platform/profile.h"
#include "sim/alarms.h"
#include "sim/imaging.h"
#include "sim/loopback_address.h"
#include "sim/search_responder.h"
#include "sim/services.h"
#include "sim/simulator.h"

namespace kestcfg {

namespace {

struct DemoCamera {
    int model;
    int program_version;
    const char* preferred;  // the address it gets when that one is free
};

// A camera the tool serves, and two it refuses (so the search lists three
// and the connect dialog's message 248 can be seen).
constexpr DemoCamera kDemoCameras[] = {
    {11, 20, "127.0.0.11"},
    {20, 20, "127.0.0.12"},
    {13, 30, "127.0.0.13"},
};

constexpr uint16_t kCameraPort = 4000;

void Put(uint8_t* record, int offset, int width, int value) {
    for (int b = 0; b < width; ++b)
        record[offset + b] = uint8_t(value >> (8 * b));
}

// What the first camera's alarm, recording and detection dialogs show: a
// block of detection areas, two alarm recipients, alarm input 1 driving the
// output, and timer recording on weekdays from 8:00 to 18:00.
void SetUpFirstCamera(kest::sim::Simulator& camera) {
    std::lock_guard lock(camera.state_mutex());
    auto& imaging = camera.State<kest::sim::ImagingState>();
    for (int row = 6; row <= 9; ++row) {
        for (int column = 12; column <= 16; ++column) {
            const int area = row * 20 + column;
            imaging.areas[size_t(area / 8)] |= uint8_t(1u << (area % 8));
        }
    }
    imaging.area_y = 40, imaging.area_percent = 10, imaging.area_diff_average = 8;
    auto& alarms = camera.State<kest::sim::AlarmState>();
    alarms.count = 1;  // the alarm output's repeat count
    alarms.recipients = {{0x7F000001, 5010}, {0x7F000001, 5011}};
    uint8_t* setting = alarms.setting.data();
    Put(setting, KEST_ALARMSETTING_INPUT1_ON, 2, 1);
    Put(setting, KEST_ALARMSETTING_INPUT1_ARMED, 2, 1);
    Put(setting, KEST_ALARMSETTING_INPUT1_ALARM_OUT, 2, 1);
    Put(setting, KEST_ALARMSETTING_OUTPUT_MODE, 2, 2);
    Put(setting, KEST_ALARMSETTING_OUTPUT_LEVEL, 2, 1);
    Put(setting, KEST_ALARMSETTING_OUTPUT_ON_TIME, 2, 1000);
    auto& services = camera.State<kest::sim::ServicesState>();
    uint8_t* timer = services.timer_rec.data();
    Put(timer, KEST_TIMERREC_ROW0_ENABLE, 2, 1);
    Put(timer, KEST_TIMERREC_ROW0_DAY, 2, 8);
    Put(timer, KEST_TIMERREC_ROW0_START, 4, 8 * 60);
    Put(timer, KEST_TIMERREC_ROW0_STOP, 4, 18 * 60);
    services.trigger = 0x01000000;      // motion detection
    services.alarm_rec = 5 | 20 << 16;  // 5 s before, 20 s after
    services.time_lapse = 60 << 16;     // off, one picture a minute
}

}  // namespace

DemoCameras::DemoCameras() = default;

DemoCameras::~DemoCameras() {
    if (m_responder) m_responder->Stop();
    for (auto& camera : m_cameras)
        camera->Stop();
    if (!m_previousFolder.isEmpty()) QDir::setCurrent(m_previousFolder);
}

bool DemoCameras::Start(QString* error) {
    if (!m_folder.isValid()) {
        *error = QStringLiteral("no working folder: ") + m_folder.errorString();
        return false;
    }
    m_previousFolder = QDir::currentPath();
    if (!QDir::setCurrent(m_folder.path())) {
        *error = QStringLiteral("cannot go to ") + m_folder.path();
        return false;
    }
    std::vector<kest::sim::Simulator*> all;
    for (const DemoCamera& d : kDemoCameras) {
        kest::sim::SimConfig config;
        config.bind_address = kest::sim::FreeLoopbackAddress(kCameraPort, {d.preferred});
        config.port = kCameraPort;
        config.model_code = d.model;
        config.program_version = d.program_version;
        auto camera = std::make_unique<kest::sim::Simulator>(config);
        if (config.bind_address.empty() || !camera->Start()) {
            *error = QStringLiteral("no loopback address with a free port %1").arg(kCameraPort);
            return false;
        }
        all.push_back(camera.get());
        m_cameras.push_back(std::move(camera));
    }
    {
        // The tool logs in with the super password, blank-padded as it sends it.
        kest::sim::Simulator& first = *m_cameras.front();
        std::lock_guard lock(first.state_mutex());
        auto& password = first.State<kest::sim::IdentityState>().passwords[2];
        password.block.fill(' ');
        std::memcpy(password.block.data(), kSuperPassword, std::strlen(kSuperPassword));
        password.enabled = true;
    }
    {
        // The first camera detects motion, so its live view can be opened.
        kest::sim::Simulator& first = *m_cameras.front();
        std::lock_guard lock(first.state_mutex());
        first.State<kest::sim::ImagingState>().motion_detect = 1;
    }
    for (auto& camera : m_cameras) {
        // Each camera's clock runs a little behind the PC's, as cameras' do.
        const QDateTime clock = QDateTime::currentDateTime().addSecs(-42);
        std::lock_guard lock(camera->state_mutex());
        auto& time = camera->State<kest::sim::ServicesState>().date_time;
        const int fields[] = {clock.date().year(),          clock.date().month(),
                              clock.date().dayOfWeek() % 7, clock.date().day(),
                              clock.time().hour(),          clock.time().minute(),
                              clock.time().second()};
        for (size_t i = 0; i < std::size(fields); ++i) {
            time[2 * i] = uint8_t(fields[i]);
            time[2 * i + 1] = uint8_t(fields[i] >> 8);
        }
        camera->State<kest::sim::ClockState>().set_at = std::chrono::steady_clock::now();
    }
    SetUpFirstCamera(*m_cameras.front());
    {
        // The third camera sends to its multicast group.
        kest::sim::Simulator& third = *m_cameras.back();
        std::lock_guard lock(third.state_mutex());
        auto& services = third.State<kest::sim::ServicesState>();
        services.multicast_mode = 1;
        services.multicast_address = {239, 192, 0, 13};
    }
    m_responder = std::make_unique<kest::sim::SearchResponder>(all);
    if (!m_responder->Start("127.0.0.1", 0)) {
        *error = QStringLiteral("the search responder cannot listen on 127.0.0.1");
        return false;
    }
    const std::string ini =
        QDir(m_folder.path()).filePath(QStringLiteral("KEST.INI")).toStdString();
    const std::string target = "127.0.0.1:" + std::to_string(m_responder->port());
    if (!kest::platform::WriteProfileString(ini, "udp", "search_address", target)) {
        *error = QStringLiteral("cannot write KEST.INI in ") + m_folder.path();
        return false;
    }
    return true;
}

QString DemoCameras::address(int index) const {
    return QString::fromStdString(m_cameras[size_t(index)]->address());
}

QString DemoCameras::Describe() const {
    QString text = QStringLiteral("kestcfg demo: working folder %1\n").arg(m_folder.path());
    for (int i = 0; i < count(); ++i) {
        text += QStringLiteral("  camera %1: model %2 at %3:%4%5\n")
                    .arg(i + 1)
                    .arg(m_cameras[size_t(i)]->model_code())
                    .arg(address(i))
                    .arg(kCameraPort)
                    .arg(i == 0 ? QStringLiteral(", super password \"%1\"")
                                      .arg(QLatin1String(kSuperPassword))
                                : QString());
    }
    text += QStringLiteral("  searches answered at 127.0.0.1:%1\n").arg(m_responder->port());
    return text;
}

}  // namespace kestcfg
