// The camera clock's records (DateTime, NTPSetting) as the clock dialogs
// read and fill them.
#pragma once

#include <QByteArray>
#include <QDateTime>

class QDateEdit;
class QTimeEdit;

namespace kestcfg {

// The time a DateTime record holds; invalid when its fields are no time.
QDateTime ClockTime(const QByteArray& dateTime);
// A DateTime record of time (day of week 0 for Sunday); word 7 as in base.
QByteArray ClockRecord(const QDateTime& time, const QByteArray& base = QByteArray());
// "[year/month/day hour:minute:second]", as the confirmation shows it.
QString ClockText(const QDateTime& time);

// Time zones -12 to +13: "GMT-12:00" ... "GMT" ... "GMT+13:00".
QStringList TimeZoneNames();
constexpr int kTimeZoneFirst = -12;
constexpr int kTimeZoneLast = 13;

// The PC's clock, local or as GMT, to the second.
QDateTime PcTime(bool gmt);

// The pickers' time, and a time shown in them.
QDateTime PickerTime(const QDateEdit* date, const QTimeEdit* time);
void ShowInPickers(QDateEdit* date, QTimeEdit* time, const QDateTime& value);

}  // namespace kestcfg
