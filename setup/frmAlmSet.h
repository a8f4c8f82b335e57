// frmAlmSet, the alarm settings: alarm inputs 1 and 2 with what each does
// (drive the alarm output, move to a preset position), the combined input,
// the alarm output itself, the motion-detection alarm with its FTP upload,
// the output test and the recipient list. Command1 writes all of it and
// closes.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <cstdint>
#include <memory>

#include "setup/SubDialog.h"

namespace Ui {
class frmAlmSet;
}

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

class RangeBox;
class RecordBytes;
class frmList;

class frmAlmSet final : public SubDialog {
    Q_OBJECT
  public:
    // The preset positions an alarm can move to; 0 in the record moves nowhere.
    static constexpr int kPositionMin = 1;
    static constexpr int kPositionMax = 6;
    static constexpr int kRepeatMin = 1;
    static constexpr int kRepeatMax = 3;
    static constexpr int kOnTimeMax = 5000;

    explicit frmAlmSet(QWidget* parent = nullptr);
    ~frmAlmSet() override;

    kest::qt::KestWidget* alarmControl() const;
    // The recipient list while it is open.
    frmList* listForm() const;

  public slots:
    void Command1_Click();
    void Command2_Click();
    void cmbList_Click();
    void chkFTPUpload_Click();
    void cmbDual1_Click();
    void cmbDual2_Click();

  private:
    void Form_Load();
    void ShowRecord(const RecordBytes& record);
    RecordBytes BuildRecord() const;
    // What the dependent controls may take, from the options chosen.
    void EnableDependents();
    void ErrorBox(const QString& text);
    // The box of a call that failed.
    void CallFailed(int16_t result);

    std::unique_ptr<Ui::frmAlmSet> m_ui;
    RangeBox* m_position[3];
    RangeBox* m_minute;
    RangeBox* m_second;
    // As read: the alarm settings record, the motion-detection values and
    // the motion-detection action.
    QByteArray m_read;
    int16_t m_motion[4] = {};
    int16_t m_action[3] = {};
    QPointer<frmList> m_list;
};

}  // namespace kestcfg
