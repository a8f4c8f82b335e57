#include "widget/kest_widget.h"

#include <QApplication>
#include <QFontDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <cstring>

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
            break;  // buffers need the caller's memory: not from QVariant
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
    m_ctrl->Unadvise(this);
    m_ctrl.reset();
}

int KestWidget::call(const QString& method, QVariantList& args, QString* error) {
    const QByteArray name = method.toLatin1();
    const kest::MemberInfo* m = kest::FindMember(name.toStdString(), kest::MemberKind::kMethod);
    std::vector<kest::Variant> v;
    if (m) {
        for (int i = 0; i < args.size() && size_t(i) < m->params.size(); ++i) {
            v.push_back(FromQt(args[i], m->params[size_t(i)].type));
        }
        for (size_t i = v.size(); i < size_t(args.size()); ++i)
            v.emplace_back();
    }
    int16_t result = 0;
    const kest::DispError e =
        m ? m_ctrl->Invoke(m->dispid, v, &result) : kest::DispError::kMemberNotFound;
    if (e != kest::DispError::kOk) {
        if (error) *error = QString::fromLatin1(kest::DispErrorName(e));
        return -1;
    }
    for (int i = 0; i < args.size(); ++i) {
        if (m->params[size_t(i)].out) args[i] = ToQt(v[size_t(i)]);
    }
    return result;
}

bool KestWidget::setProperty(const QString& name, const QVariant& value) {
    const kest::MemberInfo* m = kest::FindMember(name.toStdString(), kest::MemberKind::kProperty);
    if (!m) return false;
    return m_ctrl->PutProperty(m->dispid, FromQt(value, m->property_type)) == kest::DispError::kOk;
}

void KestWidget::OnEvent(const kest::MemberInfo& event, std::span<const kest::Variant> args) {
    QVariantList list;
    for (const kest::Variant& a : args)
        list.push_back(ToQt(a));
    emit controlEvent(event.dispid, QString::fromStdString(event.name), list);
    switch (event.dispid) {
        case 2:
            emit newImage();
            break;
        case 3:
            emit alarm(list.value(0).toString(), list.value(1).toInt());
            break;
        case 14:
            emit stopRec(list.value(0).toInt(), list.value(1).toInt());
            break;
        case 15:
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

void KestWidget::fireMouse(int32_t dispid, QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const Qt::MouseButtons buttons =
        dispid == -607 ? event->button() : event->buttons() | event->button();
    m_ctrl->FireEvent(dispid, {kest::Variant::I2(ButtonCode(buttons)),
                               kest::Variant::I2(ShiftCode(event->modifiers())),
                               kest::Variant::I4(p.x()), kest::Variant::I4(p.y())});
}

void KestWidget::mousePressEvent(QMouseEvent* event) {
    m_pressed = true;
    fireMouse(-605, event);
}

void KestWidget::mouseMoveEvent(QMouseEvent* event) {
    fireMouse(-606, event);
}

void KestWidget::mouseReleaseEvent(QMouseEvent* event) {
    fireMouse(-607, event);
    // A click is a press and release inside the control.
    if (m_pressed && rect().contains(event->position().toPoint())) m_ctrl->FireEvent(-600, {});
    m_pressed = false;
}

void KestWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    fireMouse(-605, event);
    m_ctrl->FireEvent(-601, {});
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
