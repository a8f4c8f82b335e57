#include "widget/kest_widget.h"

#include <QApplication>
#include <QFontDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <cstring>
#include <mutex>
#include <vector>

#include "widget/qt_message_window.h"

namespace kest::qt {

namespace {

QVariant ToQt(const kest::Variant& v) {
    switch (v.type()) {
        case kest::VarType::kI2:
        case kest::VarType::kI4:
            return v.integer();
        case kest::VarType::kBool:
            return v.boolean();
        case kest::VarType::kText:
            return QString::fromLatin1(v.text().data(), qsizetype(v.text().size()));
        case kest::VarType::kBuffer:
            return QByteArray(reinterpret_cast<const char*>(v.buffer().data),
                              qsizetype(v.buffer().size));
        case kest::VarType::kEmpty:
            break;
    }
    return {};
}

kest::Variant FromQt(const QVariant& q, kest::ParamType type) {
    switch (type) {
        case kest::ParamType::kI2:
        case kest::ParamType::kI4:
            if (!q.isValid()) return {};
            return kest::Variant::I4(q.toInt());
        case kest::ParamType::kBool:
            return q.isValid() ? kest::Variant::Bool(q.toBool()) : kest::Variant();
        case kest::ParamType::kText: {
            const QByteArray bytes = q.toString().toLatin1();
            return kest::Variant::Text(std::string(bytes.constData(), size_t(bytes.size())));
        }
        case kest::ParamType::kBuffer:
            break;  // a buffer is a QByteArray, copied by Marshal
    }
    return {};
}

// Visual Basic's button and shift codes, which the mouse events carry.
int16_t ButtonCode(Qt::MouseButtons b) {
    return int16_t((b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
                   (b & Qt::MiddleButton ? 4 : 0));
}
int16_t ShiftCode(Qt::KeyboardModifiers m) {
    return int16_t((m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
                   (m & Qt::AltModifier ? 4 : 0));
}

// Arguments converted for a call: buffers are copies of the host's bytes,
// written back into the argument list after the call.
struct Marshalled {
    std::vector<kest::Variant> values;
    std::vector<QByteArray> buffers;
};

Marshalled Marshal(const kest::MemberInfo& m, const QVariantList& args) {
    Marshalled out;
    out.buffers.reserve(size_t(args.size()));  // their bytes must not move
    for (int i = 0; i < args.size(); ++i) {
        if (size_t(i) >= m.params.size()) {
            out.values.emplace_back();
        } else if (m.params[size_t(i)].type == kest::ParamType::kBuffer &&
                   args[i].typeId() == QMetaType::QByteArray) {
            QByteArray& bytes = out.buffers.emplace_back(args[i].toByteArray());
            bytes.detach();
            out.values.push_back(kest::Variant::Buffer(bytes.data(), size_t(bytes.size())));
        } else {
            out.values.push_back(FromQt(args[i], m.params[size_t(i)].type));
        }
    }
    return out;
}

void Unmarshal(const kest::MemberInfo& m, const Marshalled& in, QVariantList& args) {
    size_t buffer = 0;
    for (int i = 0; i < args.size() && size_t(i) < m.params.size(); ++i) {
        const kest::ParamInfo& p = m.params[size_t(i)];
        if (p.type == kest::ParamType::kBuffer &&
            in.values[size_t(i)].type() == kest::VarType::kBuffer) {
            args[i] = in.buffers[buffer++];
        } else if (p.out) {
            args[i] = ToQt(in.values[size_t(i)]);
        }
    }
}

// One call on ctrl; the result, or -1 with error set.
int Call(kest::CKestCtrl& ctrl, const kest::MemberInfo* m, QVariantList& args, QString* error) {
    if (!m) {
        if (error)
            *error = QString::fromLatin1(kest::DispErrorName(kest::DispError::kMemberNotFound));
        return -1;
    }
    Marshalled v = Marshal(*m, args);
    int16_t result = 0;
    const kest::DispError e = ctrl.Invoke(m->dispid, v.values, &result);
    if (e != kest::DispError::kOk) {
        if (error) *error = QString::fromLatin1(kest::DispErrorName(e));
        return -1;
    }
    Unmarshal(*m, v, args);
    return result;
}

// Workers of widgets that were destroyed while their call ran.
std::mutex g_orphans_mutex;
std::vector<std::thread> g_orphans;

void JoinOrphans() {
    std::vector<std::thread> orphans;
    {
        std::lock_guard lock(g_orphans_mutex);
        orphans.swap(g_orphans);
    }
    for (std::thread& t : orphans)
        t.join();
}

void AdoptWorker(std::thread worker) {
    std::lock_guard lock(g_orphans_mutex);
    if (g_orphans.empty()) qAddPostRoutine(JoinOrphans);
    g_orphans.push_back(std::move(worker));
}

}  // namespace

KestWidget::KestWidget(QWidget* parent)
    : QWidget(parent),
      m_ui(std::make_unique<QtHostUi>(this)),
      m_ctrl(std::make_unique<kest::CKestCtrl>()) {
    m_ctrl->SetHostUi(m_ui.get());
    m_ctrl->AttachWindow(std::make_unique<QtMessageWindow>(this, m_ctrl.get()));
    m_ctrl->Advise(this);
    setMouseTracking(true);
}

KestWidget::~KestWidget() {
    // A search may still run on the worker: closing a dialog must not wait
    // for it. The worker ends by itself and is joined when the application
    // ends; its result finds no widget and is dropped.
    if (m_worker.joinable()) AdoptWorker(std::move(m_worker));
    m_ctrl->Unadvise(this);
    m_ctrl.reset();
}

int KestWidget::call(int dispid, QVariantList& args, QString* error) {
    return Call(*m_ctrl, kest::FindMember(dispid, kest::MemberKind::kMethod), args, error);
}

int KestWidget::call(const QString& method, QVariantList& args, QString* error) {
    return Call(*m_ctrl, kest::FindMember(method.toStdString(), kest::MemberKind::kMethod), args,
                error);
}

bool KestWidget::setControlProperty(const QString& name, const QVariant& value) {
    const kest::MemberInfo* m = kest::FindMember(name.toStdString(), kest::MemberKind::kProperty);
    return m && setControlProperty(m->dispid, value);
}

bool KestWidget::setControlProperty(int dispid, const QVariant& value) {
    const kest::MemberInfo* m = kest::FindMember(dispid, kest::MemberKind::kProperty);
    if (!m) return false;
    return m_ctrl->PutProperty(m->dispid, FromQt(value, m->property_type)) == kest::DispError::kOk;
}

QVariant KestWidget::controlProperty(const QString& name) const {
    kest::Variant value;
    if (m_ctrl->GetProperty(name.toStdString(), value) != kest::DispError::kOk) return {};
    return ToQt(value);
}

bool KestWidget::callInBackground(int dispid, const QVariantList& args) {
    if (m_worker.joinable()) return false;
    const kest::MemberInfo* m = kest::FindMember(dispid, kest::MemberKind::kMethod);
    struct Settings {
        std::string address, password;
        int32_t port, timeout;
    } settings{m_ctrl->RemoteIPAddress(), m_ctrl->Password(), m_ctrl->CameraPort(),
               m_ctrl->Timeout()};
    QPointer<KestWidget> self(this);
    m_worker = std::thread([self, m, dispid, args, settings] {
        QVariantList out = args;
        QString error;
        int result = -1;
        {
            kest::CKestCtrl ctrl;
            ctrl.SetRemoteIPAddress(settings.address);
            ctrl.SetPassword(settings.password);
            ctrl.SetCameraPort(settings.port);
            ctrl.SetTimeout(settings.timeout);
            result = Call(ctrl, m, out, &error);
        }
        // Posted to the application, which outlives every widget; the widget
        // may be gone by the time it runs.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, dispid, result, out, error] {
                if (self) self->finishBackgroundCall(dispid, result, out, error);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void KestWidget::finishBackgroundCall(int dispid, int result, const QVariantList& args,
                                      const QString& error) {
    // The worker posted this as its last act.
    if (m_worker.joinable()) m_worker.join();
    emit backgroundCallFinished(dispid, result, args, error);
}

void KestWidget::OnEvent(const kest::MemberInfo& event, std::span<const kest::Variant> args) {
    QVariantList list;
    for (const kest::Variant& a : args)
        list.push_back(ToQt(a));
    emit controlEvent(event.dispid, QString::fromStdString(event.name), list);
    switch (kest::EventId(event.dispid)) {
        case kest::EventId::NewImage:
            emit newImage();
            break;
        case kest::EventId::Alarm:
            emit alarm(list.value(0).toString(), list.value(1).toInt());
            break;
        case kest::EventId::StopRec:
            emit stopRec(list.value(0).toInt(), list.value(1).toInt());
            break;
        case kest::EventId::EndDownloading:
            emit endDownloading(list.value(0).toInt());
            break;
        default:
            break;
    }
}

void KestWidget::paintEvent(QPaintEvent*) {
    const QColor face = palette().color(QPalette::Button);
    kest::platform::Surface surface(width(), height());
    QPainter painter(this);
    if (surface.empty()) return;
    m_ctrl->Draw(surface, {0, 0, width(), height()},
                 {uint8_t(face.red()), uint8_t(face.green()), uint8_t(face.blue())});
    // The surface's rows are blue-green-red, top row first.
    const QImage image(surface.row(0), surface.width(), surface.height(),
                       qsizetype(surface.stride()), QImage::Format_BGR888);
    painter.drawImage(0, 0, image);
}

void KestWidget::fireMouse(kest::EventId id, QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const Qt::MouseButtons buttons =
        id == kest::EventId::MouseUp ? event->button() : event->buttons() | event->button();
    m_ctrl->FireEvent(id, {kest::Variant::I2(ButtonCode(buttons)),
                           kest::Variant::I2(ShiftCode(event->modifiers())),
                           kest::Variant::I4(p.x()), kest::Variant::I4(p.y())});
}

void KestWidget::mousePressEvent(QMouseEvent* event) {
    m_pressed = true;
    fireMouse(kest::EventId::MouseDown, event);
}

void KestWidget::mouseMoveEvent(QMouseEvent* event) {
    fireMouse(kest::EventId::MouseMove, event);
}

void KestWidget::mouseReleaseEvent(QMouseEvent* event) {
    fireMouse(kest::EventId::MouseUp, event);
    // A click is a press and release inside the control.
    if (m_pressed && rect().contains(event->position().toPoint())) {
        m_ctrl->FireEvent(kest::EventId::Click, {});
    }
    m_pressed = false;
}

void KestWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    fireMouse(kest::EventId::MouseDown, event);
    m_ctrl->FireEvent(kest::EventId::DblClick, {});
}

QtHostUi::Answer QtHostUi::MessageBox(const std::string& text, const std::string& caption,
                                      Buttons buttons) {
    QMessageBox::StandardButtons b = QMessageBox::Ok;
    if (buttons == Buttons::kOkCancel) b = QMessageBox::Ok | QMessageBox::Cancel;
    if (buttons == Buttons::kYesNo) b = QMessageBox::Yes | QMessageBox::No;
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(caption.c_str()),
                    QString::fromLatin1(text.c_str()), b, m_parent);
    box.setObjectName("kestMessageBox");
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::kOk;
        case QMessageBox::Yes:
            return Answer::kYes;
        case QMessageBox::No:
            return Answer::kNo;
        default:
            return Answer::kCancel;
    }
}

bool QtHostUi::ChooseFont(kest::platform::LogFont& font) {
    QFont initial(QString::fromLatin1(font.face_name),
                  font.height < 0 ? -font.height : font.height);
    initial.setPixelSize(font.height < 0 ? -font.height : (font.height ? font.height : 12));
    initial.setWeight(font.weight >= 700 ? QFont::Bold : QFont::Normal);
    initial.setItalic(font.italic);
    initial.setUnderline(font.underline);
    initial.setStrikeOut(font.strike_out);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, m_parent);
    if (!ok) return false;
    const QByteArray face = chosen.family().toLatin1();
    std::memset(font.face_name, 0, sizeof font.face_name);
    std::memcpy(font.face_name, face.constData(),
                std::min<size_t>(size_t(face.size()), sizeof font.face_name - 1));
    font.height = -(chosen.pixelSize() > 0 ? chosen.pixelSize() : chosen.pointSize());
    font.weight = chosen.bold() ? 700 : 400;
    font.italic = chosen.italic();
    font.underline = chosen.underline();
    font.strike_out = chosen.strikeOut();
    return true;
}

void QtHostUi::AboutBox(const std::string& text) {
    QMessageBox::about(m_parent, QStringLiteral("About kest"), QString::fromLatin1(text.c_str()));
}

}  // namespace kest::qt
