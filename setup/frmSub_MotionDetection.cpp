#include "setup/frmSub_MotionDetection.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <algorithm>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/RangeBox.h"
#include "setup/frmRefer_View.h"
#include "setup/frmView.h"
#include "ui_frmSub_MotionDetection.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

QString Area(int key) {
    return GetLangString(QStringLiteral("SUB_AREASETTING_A"), QString::number(key));
}

}  // namespace

frmSub_MotionDetection::frmSub_MotionDetection(frmView* view)
    : SubDialog(view), m_ui(std::make_unique<Ui::frmSub_MotionDetection>()), m_view(view) {
    m_ui->setupUi(this);
    auto& u = *m_ui;
    m_threshold = new RangeBox(u.txtThreshold, 0, 255, u.sldThreshold);
    m_percent = new RangeBox(u.txtPercent, 1, 100, u.sldPercent);
    m_noiseFilter = new RangeBox(u.txtNoiseFilter, 0, 255, u.sldNoiseFilter);
    m_reload = new RangeBox(u.txtReload, 0, 255);
    m_distinct = new RangeBox(u.txtDistinct, 0, 255);
    for (RangeBox* area : {m_threshold, m_percent, m_noiseFilter})
        connect(area, &RangeBox::valueChanged, this, &frmSub_MotionDetection::SendArea);
    for (RangeBox* motion : {m_reload, m_distinct})
        connect(motion, &RangeBox::valueChanged, this, &frmSub_MotionDetection::SendMotion);
    for (QCheckBox* motion : {u.chkMotionDetection, u.chkMask})
        connect(motion, &QCheckBox::toggled, this, &frmSub_MotionDetection::SendMotion);
    connect(u.cmdReload, &QPushButton::clicked, this, &frmSub_MotionDetection::cmdReload_Click);
    connect(u.cmdReference, &QPushButton::clicked, this,
            &frmSub_MotionDetection::cmdReference_Click);
    Form_Load();
    // Cancel sends the values read at opening back before it unloads.
    disconnect(u.cmdCancel, &QAbstractButton::clicked, this, &SubDialog::cmdCancel_Click);
    connect(u.cmdCancel, &QAbstractButton::clicked, this, &frmSub_MotionDetection::cmdCancel_Click);
}

frmSub_MotionDetection::~frmSub_MotionDetection() = default;

frmRefer_View* frmSub_MotionDetection::referenceForm() const {
    return m_refer;
}

void frmSub_MotionDetection::Form_Load() {
    auto& u = *m_ui;
    InitDialog(u.vn_MotionDetection, QStringLiteral("SUB_MOTIONDETECTION_A"));
    setWindowTitle(Key(1));
    u.fraMotionDetection->setTitle(Key(2));
    u.chkMotionDetection->setText(Key(3));
    u.lblReload->setText(Key(4));
    u.lblDistinct->setText(Key(5));
    u.lblUnit->setText(Key(6));
    u.chkMask->setText(Key(7));
    u.cmdReload->setText(Key(8));
    u.cmdReference->setText(Key(12));
    u.frthreshold->setTitle(Area(2));
    u.lblThreshold->setText(Area(3));
    u.lblPercent->setText(Area(4));
    u.lblNoiseFilter->setText(Area(5));
    u.lblRange_0->setText(Area(6));
    u.lblRange_1->setText(Area(7));
    u.lblRange_2->setText(Area(8));
    u.sldThreshold->setAccessibleName(Area(3));
    u.sldPercent->setAccessibleName(Area(4));
    u.sldNoiseFilter->setAccessibleName(Area(5));

    MousePointer::Hourglass();
    QVariantList area{0, 0, 0};
    QVariantList motion{0, 0, 0, 0};
    const bool read = CallControl(Method::GetAreaDetailInformation, area) == kResultOk &&
                      CallControl(Method::GetMotionDetectInformation, motion) == kResultOk;
    MousePointer::Default();
    if (!read) {
        LoadFailed();
        m_loading = false;
        return;
    }
    for (int i = 0; i < 3; ++i)
        m_readArea[i] = m_sentArea[i] = int16_t(area.value(i).toInt());
    for (int i = 0; i < 4; ++i)
        m_readMotion[i] = m_sentMotion[i] = int16_t(motion.value(i).toInt());
    // The boxes show what the camera has, within their ranges.
    m_threshold->setValue(m_readArea[0]);
    m_percent->setValue(m_readArea[1]);
    m_noiseFilter->setValue(m_readArea[2]);
    u.chkMotionDetection->setChecked(m_readMotion[0] != 0);
    m_reload->setValue(m_readMotion[1]);
    m_distinct->setValue(m_readMotion[2]);
    u.chkMask->setChecked(m_readMotion[3] != 0);
    m_loading = false;
}

bool frmSub_MotionDetection::Sent(int16_t result) {
    if (result == kResultOk) {
        m_sendFailed = false;
        return true;
    }
    // One message while the camera keeps refusing, not one per slider step.
    if (!m_sendFailed) {
        m_sendFailed = true;
        WriteFailed();
    }
    return false;
}

void frmSub_MotionDetection::SendArea() {
    if (m_loading) return;
    const int16_t values[3] = {int16_t(m_threshold->value()), int16_t(m_percent->value()),
                               int16_t(m_noiseFilter->value())};
    QVariantList args{values[0], values[1], values[2]};
    if (Sent(CallControl(Method::SetAreaDetailInformation, args))) {
        std::copy(values, values + 3, m_sentArea);
    }
}

void frmSub_MotionDetection::SendMotion() {
    if (m_loading) return;
    const int16_t values[4] = {int16_t(m_ui->chkMotionDetection->isChecked() ? 1 : 0),
                               int16_t(m_reload->value()), int16_t(m_distinct->value()),
                               int16_t(m_ui->chkMask->isChecked() ? 1 : 0)};
    QVariantList args{values[0], values[1], values[2], values[3]};
    if (Sent(CallControl(Method::SetMotionDetectInformation, args))) {
        std::copy(values, values + 4, m_sentMotion);
    }
}

void frmSub_MotionDetection::Restore() {
    if (loadFailed()) return;
    QVariantList area{m_readArea[0], m_readArea[1], m_readArea[2]};
    QVariantList motion{m_readMotion[0], m_readMotion[1], m_readMotion[2], m_readMotion[3]};
    m_sendFailed = false;
    if (Sent(CallControl(Method::SetAreaDetailInformation, area))) {
        Sent(CallControl(Method::SetMotionDetectInformation, motion));
    }
}

void frmSub_MotionDetection::cmdReload_Click() {
    if (!m_view) return;
    // The comparison base is the live view's current picture.
    if (Call(m_view->viewControl(), Method::UpdateMotionDetectBase) != kResultOk) WriteFailed();
}

void frmSub_MotionDetection::cmdReference_Click() {
    if (!m_view) return;
    m_view->StopStream();
    QPointer<frmSub_MotionDetection> self(this);
    QPointer<frmRefer_View> refer = new frmRefer_View(m_view, this);
    m_refer = refer;
    refer->exec();
    // Closing the live view closes this dialog and the picture with it.
    if (!self) return;
    delete refer;
    if (m_unloaded || !m_view || m_view->unloading()) return;
    m_view->StartStream();
}

void frmSub_MotionDetection::cmdCancel_Click() {
    Restore();
    close();
}

void frmSub_MotionDetection::reject() {
    cmdCancel_Click();
}

void frmSub_MotionDetection::closeEvent(QCloseEvent* event) {
    // The window's close box cancels as the Cancel button does; being closed
    // with the live view keeps what was sent.
    if (event->spontaneous() && !m_unloaded) Restore();
    SubDialog::closeEvent(event);
}

void frmSub_MotionDetection::Unloading() {
    m_unloaded = true;
    if (m_refer) m_refer->close();
}

}  // namespace kestcfg
