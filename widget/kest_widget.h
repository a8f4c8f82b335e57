// KestWidget: a QWidget that hosts one camera control. It owns the control,
// gives it a window on Qt's event loop and Qt dialogs, turns mouse input into
// the control's mouse events, and re-emits every control event as a signal.
#pragma once

#include <QString>
#include <QVariantList>
#include <QWidget>
#include <memory>
#include <thread>

#include "control/facade/ctrl.h"
#include "control/facade/events.h"

namespace kest::qt {

class QtHostUi;

class KestWidget final : public QWidget, public kest::_DKestEvents {
    Q_OBJECT
  public:
    explicit KestWidget(QWidget* parent = nullptr);
    ~KestWidget() override;

    kest::CKestCtrl& control() { return *m_ctrl; }

    // Calls a method by DISPID or by name. Arguments go by position: an int
    // for a 16- or 32-bit number, a bool, a QString for a text, a QByteArray
    // for a buffer (the method reads it and may write into it). Out
    // parameters, and every buffer with the bytes the method left in it, come
    // back in args. Returns the method's result, or -1 with *error set when
    // the call could not be made (unknown method, wrong argument count or
    // type).
    int call(int dispid, QVariantList& args, QString* error = nullptr);
    int call(const QString& method, QVariantList& args, QString* error = nullptr);

    // The control's own properties (RemoteIPAddress, Timeout, Password ...),
    // by name or DISPID. Named apart from QObject::setProperty, which Designer
    // forms and style sheets use on every widget.
    bool setControlProperty(const QString& name, const QVariant& value);
    bool setControlProperty(int dispid, const QVariant& value);
    QVariant controlProperty(const QString& name) const;

    // Runs one method call that may take long (a camera search) without
    // blocking this thread: a worker thread creates a control of its own with
    // this one's address, port, time-out and password, calls the method on
    // it and destroys it, so each control is only ever called on the thread
    // that owns it. backgroundCallFinished reports the result and the
    // arguments as call() would leave them. False while another one runs.
    bool callInBackground(int dispid, const QVariantList& args);
    bool backgroundCallRunning() const { return m_worker.joinable(); }

    QSize sizeHint() const override { return {320, 240}; }

  signals:
    // Every event of the control, in firing order; dispid is a kest::EventId.
    void controlEvent(int dispid, const QString& name, const QVariantList& args);
    void newImage();
    void endDownloading(int errorCode);
    void alarm(const QString& ipAddress, int alarmType);
    void stopRec(int errorCode, int moreInfo);
    void backgroundCallFinished(int dispid, int result, const QVariantList& args,
                                const QString& error);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void OnEvent(const kest::MemberInfo& event, std::span<const kest::Variant> args) override;
    void fireMouse(kest::EventId id, QMouseEvent* event);
    void finishBackgroundCall(int dispid, int result, const QVariantList& args,
                              const QString& error);

    std::unique_ptr<QtHostUi> m_ui;
    std::unique_ptr<kest::CKestCtrl> m_ctrl;
    std::thread m_worker;
    bool m_pressed = false;
};

// The Qt dialogs for the control: message boxes, the font chooser, the about box.
class QtHostUi final : public kest::platform::HostUi {
  public:
    explicit QtHostUi(QWidget* parent) : m_parent(parent) {}
    Answer MessageBox(const std::string& text, const std::string& caption,
                      Buttons buttons) override;
    bool ChooseFont(kest::platform::LogFont& font) override;
    void AboutBox(const std::string& text) override;

  private:
    QWidget* m_parent;
};

}  // namespace kest::qt
