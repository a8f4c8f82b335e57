// KestWidget: a QWidget that hosts one camera control. It owns the control,
// gives it a window on Qt's event loop and Qt dialogs, turns mouse input into
// the control's mouse events, and re-emits every control event as a signal.
#pragma once

#include <QString>
#include <QVariantList>
#include <QWidget>
#include <memory>

#include "control/facade/ctrl.h"

namespace kest::qt {

class QtHostUi;

class KestWidget final : public QWidget, public kest::_DKestEvents {
    Q_OBJECT
  public:
    explicit KestWidget(QWidget* parent = nullptr);
    ~KestWidget() override;

    kest::CKestCtrl& control() { return *m_ctrl; }

    // Calls a method by name with dispatch; out parameters come back in args.
    // Returns the method result, or -1 with *error set on a dispatch error.
    int call(const QString& method, QVariantList& args, QString* error = nullptr);
    bool setProperty(const QString& name, const QVariant& value);

    QSize sizeHint() const override { return {320, 240}; }

  signals:
    // Every event of the control, in firing order.
    void controlEvent(int dispid, const QString& name, const QVariantList& args);
    void newImage();
    void endDownloading(int errorCode);
    void alarm(const QString& ipAddress, int alarmType);
    void stopRec(int errorCode, int moreInfo);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void OnEvent(const kest::MemberInfo& event, std::span<const kest::Variant> args) override;
    void fireMouse(int32_t dispid, QMouseEvent* event);

    std::unique_ptr<QtHostUi> m_ui;
    std::unique_ptr<kest::CKestCtrl> m_ctrl;
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
