// frmMain_IP, the connect dialog: the first form of the tool. The installer
// types the camera's address (or picks it in the search dialog); OK
// identifies the camera, checks its password and opens the main settings
// form. It stays loaded, hidden, while the main settings form runs.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>

#include "setup/SetupForm.h"
#include "setup/frmMain_Setting_Marten.h"

class QLineEdit;
class QTimer;

namespace kest::qt {
class KestWidget;
}

namespace Ui {
class frmMain_IP;
}

namespace kestcfg {

class frmWork_KestSearch;

// The octet check and address building of the connect dialog's OK.
struct ConnectAddress {
    int badBox = -1;  // the first box that fails the check, -1 when all pass
    QString address;  // box 0's trimmed text, then the numbers of boxes 1 to 3
    std::array<int16_t, 4> octets{};
};
ConnectAddress CheckConnectAddress(const std::array<QString, 4>& boxes);

class frmMain_IP final : public SetupForm {
    Q_OBJECT
  public:
    explicit frmMain_IP(QWidget* parent = nullptr);
    ~frmMain_IP() override;

    // The one connect dialog of the program (null before it is made).
    static frmMain_IP* instance();

    // Fills the four boxes from a dotted address ("127.0.0.5" or
    // "127.000.000.005"); false, and the boxes unchanged, for anything else.
    bool fillAddress(const QString& address);

    // The main settings form while it is open.
    frmMain_Setting_Marten* settingForm() const;
    frmWork_KestSearch* searchForm() const;
    // vn_MainIP.
    kest::qt::KestWidget* connectControl() const;

    // The status line under the boxes (empty when hidden).
    QString statusText() const;
    bool following() const { return m_stage != Stage::kIdle; }

  signals:
    // Cancel, or the window closed and the closing confirmed.
    void programEnded();

  public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdSearch_Click();
    // After the main settings form restarted the camera: its new address in
    // the boxes, and a status line that says when it answers there (checked
    // at once and every second for up to a minute) and whether the mask and
    // gateway it reads back are the ones written.
    void FollowCamera(const CameraChange& change);
    void cmdFollowStop_Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Form_Load();
    void txtIP_Change(int index);
    void TextTimeOut_LostFocus();
    // Hides this dialog and shows the main settings form, made when needed.
    void showSettingForm();
    QLineEdit* box(int index) const;
    void SetStatus(const QString& text);
    void FollowTick();
    void FollowAnswer(int dispid, int result, const QVariantList& args);
    void StopFollowing();
    void FollowCall(Method method, const QVariantList& args);

    std::unique_ptr<Ui::frmMain_IP> m_ui;
    QPointer<frmWork_KestSearch> m_search;
    QPointer<frmMain_Setting_Marten> m_setting;
    bool m_shownOnce = false;

    // Following a restarted camera.
    enum class Stage { kIdle, kWaiting, kMask, kGateway };
    Stage m_stage = Stage::kIdle;
    CameraChange m_follow;
    QStringList m_differences;
    QTimer* m_followTimer;
    QElapsedTimer m_followClock;
};

}  // namespace kestcfg
