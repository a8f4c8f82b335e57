// frmList, the camera's alarm recipients ("address    port" a line), read
// through the alarm dialog's control; a recipient can be taken off the
// camera's list.
#pragma once

#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "setup/SetupForm.h"

namespace Ui {
class frmList;
}

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

// One recipient record of AlarmGetList: the address (4 bytes, first number
// first) at 0, the port (16-bit) at 4; the other 6 bytes are the camera's.
struct AlarmRecipient {
    std::array<uint8_t, 4> address{};
    uint16_t port = 0;
};
inline constexpr int kAlarmRecipientSize = 12;
// The camera keeps at most this many.
inline constexpr int kAlarmRecipientsMax = 10;

// The recipients in a list buffer that AlarmGetList filled for count: at
// most as many records as the buffer holds and the camera can keep.
std::vector<AlarmRecipient> ParseAlarmList(const QByteArray& list, int count);
QString RecipientLine(const AlarmRecipient& recipient);

class frmList final : public SetupForm {
    Q_OBJECT
  public:
    frmList(kest::qt::KestWidget* control, QWidget* parent = nullptr);
    ~frmList() override;

  public slots:
    void Command1_Click();
    void Command2_Click();

  private:
    void Form_Load();
    void ReadList();

    std::unique_ptr<Ui::frmList> m_ui;
    QPointer<kest::qt::KestWidget> m_control;
    std::vector<AlarmRecipient> m_recipients;
};

}  // namespace kestcfg
