#include "setup/CardCapacity.h"

#include <QLabel>
#include <QProgressBar>

#include "setup/Common_Function.h"
#include "setup/MacroData.h"
#include "setup/RecordBytes.h"
#include "setup/SetupForm.h"
#include "widget/kest_widget.h"

namespace kestcfg {

namespace {

// The bar counts tenths of a percent, so a large card still moves it.
constexpr int kBarSteps = 1000;

QString Own(int key) {
    return GetLangString(QLatin1String(kOwnSection), QString::number(key));
}

}  // namespace

CardCapacity CardCapacityOf(int16_t result, int count, const QByteArray& block) {
    CardCapacity card;
    if (result != kResultOk || count < 0 || count > kCardSlotsMax ||
        block.size() < kCardBlockSize) {
        return card;
    }
    const RecordBytes r(block, kCardBlockSize);
    card.present = count > 0;
    if (card.present) {
        card.totalKb = r.unsignedInteger(kCardTotalOffset, 4);
        card.freeKb = r.unsignedInteger(kCardFreeOffset, 4);
        if (card.freeKb > card.totalKb) return CardCapacity{};
    }
    card.read = true;
    return card;
}

CardCapacity ReadCardCapacity(kest::qt::KestWidget* control) {
    QVariantList args{0, QByteArray(kCardBlockSize, '\0'), QByteArray(kCardBlockSize, '\0')};
    MousePointer::Hourglass();
    const int16_t result = SetupForm::Call(control, Method::GetCFInformaiton, args);
    MousePointer::Default();
    return CardCapacityOf(result, args.value(0).toInt(), args.value(1).toByteArray());
}

void ShowCardCapacity(const CardCapacity& card, QLabel* total, QLabel* free, QProgressBar* bar) {
    bar->setRange(0, kBarSteps);
    if (!card.read || !card.present) {
        total->clear();
        free->clear();
        bar->setValue(0);
        bar->setFormat(card.read ? Own(24) : QString());
        return;
    }
    total->setText(QString::number(card.totalKb));
    free->setText(QString::number(card.freeKb));
    const uint64_t used = card.totalKb - card.freeKb;
    const int steps = card.totalKb ? int(used * kBarSteps / card.totalKb) : 0;
    bar->setValue(steps);
    bar->setFormat(Own(23).arg(steps / 10));
}

}  // namespace kestcfg
