// kestview: live pictures of one or more cameras in a grid.
//   kestview 127.0.0.1 127.0.0.2:4000 ...
//   kestview --demo [N]     N simulated cameras on loopback (default 4)
#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "sim/simulator.h"
#include "widget/kest_widget.h"

namespace {

// One camera: its picture and a status line.
class CameraTile final : public QWidget {
  public:
    CameraTile(const QString& address, int port, QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        m_view = new kest::qt::KestWidget(this);
        m_view->setObjectName("cameraView");
        m_view->setMinimumSize(320, 240);
        m_status = new QLabel(this);
        m_status->setObjectName("cameraStatus");
        layout->addWidget(m_view, 1);
        layout->addWidget(m_status);
        m_address = address + ":" + QString::number(port);
        m_view->setControlProperty("RemoteIPAddress", address);
        m_view->setControlProperty("CameraPort", port);
        m_view->setControlProperty("Stretch", true);
        connect(m_view, &kest::qt::KestWidget::controlEvent, this,
                [this](int, const QString& name, const QVariantList& args) {
                    if (name == "NewImage") {
                        ++m_frames;
                        return;
                    }
                    m_last = name;
                    if (name == "EndDownloading") m_end = args.value(0).toInt();
                });
        m_clock.start();
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { UpdateStatus(); });
        timer->start(1000);
    }

    void Start() {
        QVariantList none;
        const int result = m_view->call("StartDownloading", none);
        if (result != 0) m_last = QString("StartDownloading gave %1").arg(result);
        UpdateStatus();
    }

  private:
    void UpdateStatus() {
        const double seconds = std::max(0.001, m_clock.restart() / 1000.0);
        const double fps = (m_frames - m_counted) / seconds;
        m_counted = m_frames;
        m_status->setText(QString("%1  %2 fps  last event: %3%4")
                              .arg(m_address)
                              .arg(fps, 0, 'f', 1)
                              .arg(m_last.isEmpty() ? "-" : m_last)
                              .arg(m_end >= 0 ? QString("  end code %1").arg(m_end) : QString()));
    }

    kest::qt::KestWidget* m_view;
    QLabel* m_status;
    QString m_address;
    QString m_last;
    int m_end = -1;
    long m_frames = 0, m_counted = 0;
    QElapsedTimer m_clock;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::pair<QString, int>> cameras;
    std::vector<std::unique_ptr<kest::sim::Simulator>> simulated;
    QStringList args = app.arguments().mid(1);
    // --snapshot FILE: after two seconds, save the window as a picture and quit.
    QString snapshot;
    if (args.size() >= 2 && args[0] == "--snapshot") {
        snapshot = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty() || args[0] == "--help") {
        std::fprintf(args.isEmpty() ? stderr : stdout,
                     "usage: kestview ADDR[:PORT] ...\n"
                     "       kestview --demo [N]   N simulated cameras on loopback (default 4)\n"
                     "       kestview --snapshot FILE ...  save the window after 2 s and quit\n");
        return args.isEmpty() ? 2 : 0;
    }
    if (args[0] == "--demo") {
        const int n = args.size() > 1 ? std::clamp(args[1].toInt(), 1, 16) : 4;
        for (int i = 0; i < n; ++i) {
            kest::sim::SimConfig config;
            config.port = 0;
            config.model_code = i % 2 ? 11 : 20;
            simulated.push_back(std::make_unique<kest::sim::Simulator>(config));
            if (!simulated.back()->Start()) {
                std::fprintf(stderr, "kestview: cannot start a simulated camera\n");
                return 1;
            }
            cameras.emplace_back("127.0.0.1", simulated.back()->port());
        }
    } else {
        for (const QString& a : args) {
            const QStringList parts = a.split(':');
            cameras.emplace_back(parts[0], parts.size() > 1 ? parts[1].toInt() : 4000);
        }
    }
    QWidget window;
    window.setWindowTitle("kestview");
    auto* grid = new QGridLayout(&window);
    const int columns = int(std::ceil(std::sqrt(double(cameras.size()))));
    std::vector<CameraTile*> tiles;
    for (size_t i = 0; i < cameras.size(); ++i) {
        auto* tile = new CameraTile(cameras[i].first, cameras[i].second, &window);
        grid->addWidget(tile, int(i) / columns, int(i) % columns);
        tiles.push_back(tile);
    }
    window.show();
    for (CameraTile* t : tiles)
        t->Start();
    if (!snapshot.isEmpty()) {
        QTimer::singleShot(2000, &window, [&] {
            const bool saved = window.grab().save(snapshot);
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
