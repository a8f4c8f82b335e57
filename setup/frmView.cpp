#include "setup/frmView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "control/facade/events.h"
#include "setup/Common_Function.h"
#include "setup/Forms.h"
#include "setup/Global.h"
#include "setup/MacroData.h"
#include "setup/frmSub_MotionDetection.h"
#include "ui_frmView.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

QString Own(int key) {
    return GetLangString(QLatin1String(kOwnSection), QString::number(key));
}

// Picture sizes a camera reports; anything else keeps the size there is.
bool PlausibleSize(int width, int height) {
    return width >= 16 && width <= 2048 && height >= 16 && height <= 2048;
}

constexpr int kAreaBytes = 40;
constexpr int kRateIntervalMs = 1000;

}  // namespace

// The keyboard's cell on the picture: an outline over it, drawn above the
// control's picture, that never takes the mouse.
class AreaCursor final : public QWidget {
  public:
    explicit AreaCursor(QWidget* picture) : QWidget(picture) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }
    int place() const { return m_place; }
    void step(int columns, int rows) {
        const int column =
            std::clamp(m_place % frmView::kColumns + columns, 0, frmView::kColumns - 1);
        const int row = std::clamp(m_place / frmView::kColumns + rows, 0, frmView::kRows - 1);
        m_place = row * frmView::kColumns + column;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const int w = width() / frmView::kColumns, h = height() / frmView::kRows;
        const QRect cell((m_place % frmView::kColumns) * w, (m_place / frmView::kColumns) * h, w,
                         h);
        QPainter p(this);
        // White inside black, so the cell shows on any picture.
        p.setPen(QPen(Qt::black, 3));
        p.drawRect(cell.adjusted(1, 1, -1, -1));
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(cell.adjusted(1, 1, -1, -1));
    }

  private:
    int m_place = 0;
};

frmView::frmView(QWidget* parent)
    : SubDialog(parent),
      m_ui(std::make_unique<Ui::frmView>()),
      m_restart(new QTimer(this)),
      m_rate(new QTimer(this)) {
    m_ui->setupUi(this);
    kest::qt::KestWidget* view = m_ui->vn_View;
    // What the form shows over the picture lets the mouse through to it.
    m_noPicture = new QLabel(view);
    m_noPicture->setObjectName(QStringLiteral("lblNoPicture"));
    m_noPicture->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_noPicture->setAlignment(Qt::AlignCenter);
    m_noPicture->setWordWrap(true);
    m_noPicture->setAutoFillBackground(true);
    QPalette dark = m_noPicture->palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    m_noPicture->setPalette(dark);
    m_noPicture->hide();
    m_cursor = new AreaCursor(view);
    view->installEventFilter(this);
    view->setToolTip(Own(26));

    m_restart->setSingleShot(true);
    connect(m_restart, &QTimer::timeout, this, &frmView::RestartAttempt);
    m_rate->setInterval(kRateIntervalMs);
    connect(m_rate, &QTimer::timeout, this, &frmView::ShowFrameRate);
    connect(m_ui->cmdDetail, &QPushButton::clicked, this, &frmView::cmdDetail_Click);
    connect(view, &kest::qt::KestWidget::newImage, this, &frmView::NewImage);
    connect(view, &kest::qt::KestWidget::endDownloading, this, &frmView::vn_View_EndDownloading);
    connect(view, &kest::qt::KestWidget::controlEvent, this,
            [this](int dispid, const QString&, const QVariantList& a) {
                switch (kest::EventId(dispid)) {
                    case kest::EventId::ChangeFrameSize:
                        vn_View_ChangeFrameSize(a.value(0).toInt(), a.value(1).toInt());
                        break;
                    case kest::EventId::ChangeUpsideDown:
                        vn_View_ChangeUpsideDown(a.value(0).toInt());
                        break;
                    case kest::EventId::MouseDown:
                        vn_View_MouseDown(a.value(0).toInt(), a.value(1).toInt(),
                                          a.value(2).toInt(), a.value(3).toInt());
                        break;
                    case kest::EventId::MouseMove:
                        vn_View_MouseMove(a.value(0).toInt(), a.value(1).toInt(),
                                          a.value(2).toInt(), a.value(3).toInt());
                        break;
                    case kest::EventId::MouseUp:
                        m_dragButton = 0;
                        break;
                    default:
                        break;
                }
            });
    Form_Load();
}

frmView::~frmView() = default;

frmSub_MotionDetection* frmView::detailDialog() const {
    return m_detail;
}

kest::qt::KestWidget* frmView::viewControl() const {
    return m_ui->vn_View;
}

void frmView::Form_Load() {
    MousePointer::Hourglass();
    // Only this form receives pictures.
    for (kest::qt::KestWidget* other : {SettingControl(), ConnectControl()}) {
        if (other) Call(other, Method::StopDownloading);
    }
    InitDialog(m_ui->vn_View, QStringLiteral("SUB_MOTIONDETECTION_A"));
    setWindowTitle(Key(11));
    m_ui->cmdDetail->setText(Key(10));
    m_ui->cmdCancel->setText(GetLangString(QStringLiteral("BUTTON_A"), QStringLiteral("6")));

    bool clean = true;
    QVariantList upsideDown{false};
    clean &= CallControl(Method::GetCameraUpsideDown, upsideDown) == kResultOk;
    m_upsideDown = upsideDown.value(0).toBool();
    m_rateClock.start();
    m_rate->start();
    StartStream();
    const auto& c = Global::MotionColours;
    QVariantList colours{1, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]};
    CallControl(Method::DisplayMotionDetection, colours);
    QVariantList size{0, 0};
    if (CallControl(Method::GetFrameSize, size) == kResultOk) {
        SizeToPicture(size.value(0).toInt(), size.value(1).toInt());
    } else {
        clean = false;
        SizeToPicture(320, 240);
    }
    QVariantList area{QByteArray(kAreaBytes, '\0')};
    if (CallControl(Method::GetAreaInformation, area) == kResultOk &&
        area.value(0).toByteArray().size() >= kAreaBytes) {
        const QByteArray bytes = area.value(0).toByteArray();
        std::copy_n(bytes.constData(), kAreaBytes, reinterpret_cast<char*>(m_areas.data()));
    } else {
        clean = false;
    }
    MousePointer::Default();
    if (!clean) ShowMessage(kMsgReadFailed);
}

void frmView::SizeToPicture(int width, int height) {
    if (!PlausibleSize(width, height)) return;
    // The picture and its lattice cover the whole control: the pointer's
    // place in the control is its place in the lattice.
    m_ui->vn_View->setFixedSize(width, height);
    m_noPicture->setGeometry(0, 0, width, height);
    m_cursor->setGeometry(0, 0, width, height);
    adjustSize();
}

void frmView::vn_View_ChangeFrameSize(int width, int height) {
    SizeToPicture(width, height);
}

void frmView::vn_View_ChangeUpsideDown(int upsideDown) {
    m_upsideDown = upsideDown != 0;
}

int frmView::AreaAt(const QPoint& point) const {
    const int w = m_ui->vn_View->width(), h = m_ui->vn_View->height();
    if (w <= 0 || h <= 0 || point.x() < 0 || point.y() < 0 || point.x() >= w || point.y() >= h) {
        return -1;
    }
    const int place = point.y() * kRows / h * kColumns + point.x() * kColumns / w;
    // A turned picture shows area n where area 299 - n would be.
    return m_upsideDown ? kAreas - 1 - place : place;
}

bool frmView::AreaSelected(int area) const {
    return (m_areas[size_t(area / 8)] >> (area % 8)) & 1;
}

bool frmView::PickArea(int area, int enable) {
    QVariantList args{area, enable};
    if (CallControl(Method::SetSingleAreaInformation, args) != kResultOk) {
        // One message for a failing drag, not one per area.
        m_dragButton = 0;
        WriteFailed();
        return false;
    }
    uint8_t& byte = m_areas[size_t(area / 8)];
    const auto bit = uint8_t(1u << (area % 8));
    byte = enable ? uint8_t(byte | bit) : uint8_t(byte & ~bit);
    return true;
}

void frmView::vn_View_MouseDown(int button, int, int x, int y) {
    // Left (1) selects, right (2) clears; other buttons do nothing.
    if (button != 1 && button != 2) return;
    m_dragButton = button;
    m_lastPoint = QPoint(x, y);
    m_lastArea = AreaAt(m_lastPoint);
    if (m_lastArea >= 0) PickArea(m_lastArea, button == 1 ? 1 : 0);
}

void frmView::vn_View_MouseMove(int button, int, int x, int y) {
    if (button != 1 && button != 2) {
        m_dragButton = 0;
        return;
    }
    if (m_dragButton != button) {
        // A drag that began outside the picture, or with the other button.
        m_dragButton = button;
        m_lastPoint = QPoint(x, y);
        m_lastArea = -1;
    }
    PickAlong(QPoint(x, y), button == 1 ? 1 : 0);
}

void frmView::PickAlong(const QPoint& point, int enable) {
    // Moves come some pixels apart: walk the line between them, so no area
    // the pointer crossed is left out.
    const QPoint from = m_lastPoint;
    const int steps = std::max({std::abs(point.x() - from.x()), std::abs(point.y() - from.y()), 1});
    for (int i = 1; i <= steps && m_dragButton != 0; ++i) {
        const QPoint p(from.x() + (point.x() - from.x()) * i / steps,
                       from.y() + (point.y() - from.y()) * i / steps);
        const int area = AreaAt(p);
        if (area < 0 || area == m_lastArea) continue;
        m_lastArea = area;
        PickArea(area, enable);
    }
    m_lastPoint = point;
}

bool frmView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_ui->vn_View) return SubDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::FocusOut:
            m_cursor->hide();
            break;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const std::pair<int, int> moves[] = {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            int move = 0;
            switch (key->key()) {
                case Qt::Key_Left:
                    move = 1;
                    break;
                case Qt::Key_Right:
                    move = 2;
                    break;
                case Qt::Key_Up:
                    move = 3;
                    break;
                case Qt::Key_Down:
                    move = 4;
                    break;
                case Qt::Key_Space: {
                    m_cursor->show();
                    const int place = m_cursor->place();
                    const int area = m_upsideDown ? kAreas - 1 - place : place;
                    PickArea(area, AreaSelected(area) ? 0 : 1);
                    return true;
                }
                default:
                    return false;
            }
            m_cursor->show();
            m_cursor->step(moves[move].first, moves[move].second);
            return true;
        }
        default:
            break;
    }
    return false;
}

void frmView::cmdDetail_Click() {
    if (!m_detail) m_detail = new frmSub_MotionDetection(this);
    m_detail->show();
    m_detail->raise();
    m_detail->activateWindow();
}

void frmView::vn_View_EndDownloading(int errorCode) {
    if (m_unloading) return;
    // 101 ends a stop this form or its dialogs asked for; codes beyond 100
    // are not the camera's.
    if (errorCode < 0 || errorCode > 100) return;
    switch (errorCode) {
        case 0:
        case 1:
        case 2:
        case 4:
            if (m_restart->isActive()) return;
            m_attempt = 0;
            RestartAttempt();
            return;
        case 3:
            NoPicture(GetLangString(QStringLiteral("MSG_EXCLAMATION"), QStringLiteral("207")));
            ShowMessage(kMsgDownloadRefused);
            return;
        default:
            NoPicture(GetLangString(QStringLiteral("MSG_CRITICAL"), QStringLiteral("301")));
            ShowMessage(301);
            close();
            return;
    }
}

void frmView::StopStream() {
    m_restart->stop();
    m_attempt = 0;
    Call(m_ui->vn_View, Method::StopDownloading);
}

void frmView::StartStream() {
    if (m_unloading || m_restart->isActive()) return;
    if (CallControl(Method::StartDownloading) == kResultOk) return;
    // That start was the first attempt.
    m_attempt = 1;
    NoPicture(Own(21).arg(m_attempt).arg(kRestartAttempts));
    m_restart->start(m_restartPause);
}

void frmView::RestartAttempt() {
    if (m_unloading) return;
    ++m_attempt;
    NoPicture(Own(21).arg(m_attempt).arg(kRestartAttempts));
    if (CallControl(Method::StartDownloading) == kResultOk) {
        // The picture shows again with the next image.
        m_attempt = 0;
        return;
    }
    if (m_attempt >= kRestartAttempts) {
        NoPicture(Own(22));
        return;
    }
    m_restart->start(m_restartPause);
}

void frmView::NoPicture(const QString& text) {
    m_noPicture->setText(text);
    m_noPicture->show();
    m_noPicture->raise();
    m_cursor->raise();
}

void frmView::NewImage() {
    ++m_frames;
    if (m_noPicture->isVisible() && m_attempt == 0) m_noPicture->hide();
}

void frmView::ShowFrameRate() {
    const qint64 ms = std::max<qint64>(m_rateClock.restart(), 1);
    m_ui->lblFrameRate->setText(Own(20).arg(double(m_frames) * 1000.0 / double(ms), 0, 'f', 1));
    m_frames = 0;
}

void frmView::Unloading() {
    m_unloading = true;
    m_restart->stop();
    m_rate->stop();
    Call(m_ui->vn_View, Method::StopDownloading);
    // The detection dialog, and the reference picture it may show, belong
    // to the live view.
    if (m_detail) m_detail->close();
    ShowSettingForm();
}

}  // namespace kestcfg
