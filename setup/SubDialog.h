// What the settings dialogs opened from the main settings form share: their
// own control, captions from their language section, a failure procedure
// for a failed first read, OK and Apply enabled by a change, message 225 for
// a failed write, and the main settings form shown again when they unload.
#pragma once

#include <QString>

#include "setup/SetupForm.h"

class QAbstractButton;

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class SubDialog : public SetupForm {
    Q_OBJECT
  public:
    explicit SubDialog(QWidget* parent = nullptr);

    // The result of the last control call.
    int16_t lastResult() const { return m_result; }

  public slots:
    // Checks the entries and writes them; the dialog stays open.
    void cmdApply_Click();
    // Apply, then unload once the settings are in the camera.
    void cmdOK_Click();
    // Unload without writing.
    void cmdCancel_Click();

  protected:
    // After setupUi: the dialog's control (given the program-wide address,
    // time-out and password) and its language section. Finds cmdOK, cmdApply,
    // cmdCancel and cmdClose by name, captions and connects them.
    void InitDialog(kest::qt::KestWidget* control, const QString& section);
    // After loading, in a dialog that writes: OK and Apply wait for a change
    // of any input.
    void WatchChanges();

    // The text of key in the dialog's section.
    QString Key(int key) const;
    QString Key(const QString& key) const;

    // Calls method on the dialog's control, keeping its result.
    int16_t CallControl(Method method, QVariantList& args);
    int16_t CallControl(Method method);

    // The failure procedure of a failed first read: message 215, then every
    // input, OK and Apply off, so the dialog can only be closed.
    void LoadFailed();
    bool loadFailed() const { return m_loadFailed; }

    // Checks the entries (a failed check shows its message and focuses the
    // box) and writes; false when a check or a write failed. A write whose
    // result is not 0 shows message 225 here.
    virtual bool Apply() { return true; }
    // A write failed: message 225.
    void WriteFailed();
    // One write under the hourglass; false, with message 225, when its
    // result is not 0.
    bool Write(Method method, QVariantList& args);

    // What unloading does besides closing: by default the main settings
    // form shows again.
    virtual void Unloading();

    void reject() override;
    void closeEvent(QCloseEvent* event) override;

    kest::qt::KestWidget* control() const { return m_control; }
    QAbstractButton* okButton() const { return m_ok; }
    QAbstractButton* applyButton() const { return m_apply; }

  private:
    void Changed();

    kest::qt::KestWidget* m_control = nullptr;
    QString m_section;
    QAbstractButton* m_ok = nullptr;
    QAbstractButton* m_apply = nullptr;
    QAbstractButton* m_cancel = nullptr;
    QAbstractButton* m_close = nullptr;
    int16_t m_result = 0;
    bool m_loadFailed = false;
    bool m_unloaded = false;
};

}  // namespace kestcfg
