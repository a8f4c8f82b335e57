// frmMain_Setting_Marten, the main settings form: the camera's address, MAC
// address and camera ID; the new address, mask, gateway, DHCP, camera ID and
// picture mode; the password buttons and every other settings dialog. OK
// writes what changed, restarts the camera when the network or the picture
// mode changed, and returns to the connect dialog.
#pragma once

#include <QString>
#include <array>
#include <memory>

#include "setup/SetupForm.h"

class QLineEdit;
class QPushButton;

namespace Ui {
class frmMain_Setting_Marten;
}

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

// What OK changed in the camera, for the connect dialog to follow it.
struct CameraChange {
    bool restarted = false;
    bool dhcp = false;  // DHCP on: the new address is the server's choice
    QString oldAddress, newAddress;
    QString mask, gateway;  // written values; empty when unchanged
};

class frmMain_Setting_Marten final : public SetupForm {
    Q_OBJECT
  public:
    explicit frmMain_Setting_Marten(QWidget* parent = nullptr);
    ~frmMain_Setting_Marten() override;

    kest::qt::KestWidget* settingControl() const;

  signals:
    // OK has written the settings (and restarted the camera when needed).
    void applied(const CameraChange& change);

  public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdSetPassword_Click(int index);
    void OptDHCP_Click();
    void OptDHCP_OFF_Click();
    void optMode_Jpeg_Click();
    void optMode_Mpeg4_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Form_Load();
    void EnableByType();
    void SetAddressBoxesEnabled(bool on);
    void OctetChange(QLineEdit* box, QLineEdit* next);
    void OpenDialog(const QString& form);
    // Box index of an octet row ("txtIP", "txtSub", "txtGateIP").
    QLineEdit* row(const char* prefix, int index) const;
    // "Fail": message 225, the form stays open.
    void Fail();
    int16_t CallSetting(Method method, QVariantList& args);
    int16_t CallSetting(Method method);
    // Unloads this form and shows the connect dialog.
    void Unload();

    std::unique_ptr<Ui::frmMain_Setting_Marten> m_ui;
    // As read at load.
    QString m_cameraId;
    QString m_mac;
    QString m_mask;
    QString m_gateway;
    int16_t m_dhcp = 0;
    int16_t m_imageMode = 0;
    int16_t m_motionDetect = 0;
    int16_t m_result = 0;
    bool m_loadCallsFailed = false;
    bool m_unloaded = false;
};

}  // namespace kestcfg
