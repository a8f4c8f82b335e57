#include "setup/ClockRecords.h"

#include <QDateEdit>
#include <QStringList>
#include <QTimeEdit>

#include "kest_records.h"
#include "setup/RecordBytes.h"

namespace kestcfg {

QDateTime ClockTime(const QByteArray& dateTime) {
    const RecordBytes r(dateTime, KEST_DATETIME_SIZE);
    const auto word = [&r](int offset) { return int(r.integer(offset, 2)); };
    const QDate date(word(KEST_DATETIME_YEAR), word(KEST_DATETIME_MONTH), word(KEST_DATETIME_DAY));
    const QTime time(word(KEST_DATETIME_HOUR), word(KEST_DATETIME_MINUTE),
                     word(KEST_DATETIME_SECOND));
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time);
}

QByteArray ClockRecord(const QDateTime& time, const QByteArray& base) {
    RecordBytes r(base, KEST_DATETIME_SIZE);
    const QDate d = time.date();
    const QTime t = time.time();
    r.setInteger(KEST_DATETIME_YEAR, 2, d.year());
    r.setInteger(KEST_DATETIME_MONTH, 2, d.month());
    r.setInteger(KEST_DATETIME_DAY_OF_WEEK, 2, d.dayOfWeek() % 7);  // Qt: 7 is Sunday
    r.setInteger(KEST_DATETIME_DAY, 2, d.day());
    r.setInteger(KEST_DATETIME_HOUR, 2, t.hour());
    r.setInteger(KEST_DATETIME_MINUTE, 2, t.minute());
    r.setInteger(KEST_DATETIME_SECOND, 2, t.second());
    return r.bytes();
}

QString ClockText(const QDateTime& time) {
    const QDate d = time.date();
    const QTime t = time.time();
    return QStringLiteral("[%1/%2/%3 %4:%5:%6]")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(t.hour())
        .arg(t.minute())
        .arg(t.second());
}

QStringList TimeZoneNames() {
    QStringList names;
    for (int zone = kTimeZoneFirst; zone <= kTimeZoneLast; ++zone) {
        if (zone == 0) {
            names << QStringLiteral("GMT");
        } else {
            names << QStringLiteral("GMT%1%2:00")
                         .arg(zone < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                         .arg(std::abs(zone));
        }
    }
    return names;
}

QDateTime PcTime(bool gmt) {
    QDateTime now = gmt ? QDateTime::currentDateTimeUtc() : QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    // The pickers hold a plain date and time.
    return QDateTime(now.date(), now.time());
}

QDateTime PickerTime(const QDateEdit* date, const QTimeEdit* time) {
    return QDateTime(date->date(), time->time());
}

void ShowInPickers(QDateEdit* date, QTimeEdit* time, const QDateTime& value) {
    date->setDate(value.date());
    time->setTime(value.time());
}

}  // namespace kestcfg
