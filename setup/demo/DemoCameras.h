// The cameras of kestcfg --demo: three simulated cameras in this process, on
// loopback addresses at the cameras' port 4000, and one search responder
// that answers for all of them. The demo works in a folder of its own whose
// KEST.INI points the control's searches at the responder, so a search in
// the demo never broadcasts.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace kest::sim {
class Simulator;
class SearchResponder;
}  // namespace kest::sim

namespace kestcfg {

class DemoCameras {
  public:
    // The first camera's super password, the one the connect dialog checks.
    static constexpr char kSuperPassword[] = "demo";

    DemoCameras();
    ~DemoCameras();
    DemoCameras(const DemoCameras&) = delete;
    DemoCameras& operator=(const DemoCameras&) = delete;

    // Makes the working folder and goes there, starts the cameras and the
    // responder, and writes KEST.INI. False, with error set, when any of it
    // fails.
    bool Start(QString* error);

    QString folder() const { return m_folder.path(); }
    int count() const { return int(m_cameras.size()); }
    QString address(int index) const;
    kest::sim::Simulator& camera(int index) const { return *m_cameras[size_t(index)]; }
    // What the demo started, for the terminal.
    QString Describe() const;

  private:
    QTemporaryDir m_folder;
    QString m_previousFolder;
    std::vector<std::unique_ptr<kest::sim::Simulator>> m_cameras;
    std::unique_ptr<kest::sim::SearchResponder> m_responder;
};

}  // namespace kestcfg
