// The capacity of the camera's memory card, as GetCFInformaiton gives it,
// and how the capacity dialogs show it.
#pragma once

#include <QByteArray>
#include <cstdint>

class QLabel;
class QProgressBar;

namespace kest::qt {
class KestWidget;
}

namespace kestcfg {

// Each card's block: 292 bytes, 32-bit words. Word 0 is the card's state
// (the tool does not read it), word 1 the total and word 2 the free
// capacity in kilobytes.
inline constexpr int kCardBlockSize = 292;
inline constexpr int kCardTotalOffset = 4;
inline constexpr int kCardFreeOffset = 8;
// A camera has at most two card slots.
inline constexpr int kCardSlotsMax = 2;

struct CardCapacity {
    bool read = false;     // the call worked and its values hold together
    bool present = false;  // a card is in (Count 1 or more)
    uint32_t totalKb = 0;
    uint32_t freeKb = 0;
};

// The first card of what GetCFInformaiton returned: its result, Count and
// first block. A failed call, a Count beyond the slots, a short block or
// more free than total space reads as not read.
CardCapacity CardCapacityOf(int16_t result, int count, const QByteArray& block);
CardCapacity ReadCardCapacity(kest::qt::KestWidget* control);

// Total and free in kilobytes, and the part used as a bar.
void ShowCardCapacity(const CardCapacity& card, QLabel* total, QLabel* free, QProgressBar* bar);

}  // namespace kestcfg
