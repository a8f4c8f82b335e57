/*
 * kest_records.h: the records that the control's buffer parameters carry,
 * byte by byte.
 *
 * Each record is listed once, as a list of fields X(RECORD, FIELD, "Name",
 * offset, width, kind), and made from that list into
 *   - named constants KEST_<RECORD>_<FIELD> (the field's offset),
 *     KEST_<RECORD>_<FIELD>_WIDTH and KEST_<RECORD>_SIZE, for code that
 *     builds or reads a record, and
 *   - a table kest_<record>_fields[] of kest_record_field, for code that
 *     shows or takes any record field by field (JSON, dictionaries).
 * Numbers are little-endian; addresses are four bytes, first number first;
 * texts are ASCII, zero-padded (a text that fills its field has no zero).
 */
#ifndef KEST_RECORDS_H
#define KEST_RECORDS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum kest_field_kind {
    KEST_FIELD_INT,      /* signed integer, width 1, 2 or 4 bytes */
    KEST_FIELD_UINT,     /* unsigned integer, width 1, 2 or 4 bytes */
    KEST_FIELD_ADDRESS,  /* IPv4 address: 4 bytes, first number first */
    KEST_FIELD_TEXT,     /* ASCII text, zero-padded */
    KEST_FIELD_RESERVED  /* bytes the record's users leave as they are */
} kest_field_kind;

typedef struct kest_record_field {
    const char* name;
    uint16_t offset;
    uint16_t width;
    kest_field_kind kind;
} kest_record_field;

typedef struct kest_record_layout {
    const char* name;
    uint16_t size;
    const kest_record_field* fields;
    uint16_t field_count;
} kest_record_layout;

#define KEST_RECORD_OFFSET_(record, field, name, offset, width, kind) \
    KEST_##record##_##field = (offset), KEST_##record##_##field##_WIDTH = (width),
#define KEST_RECORD_ROW_(record, field, name, offset, width, kind) {(name), (offset), (width), (kind)},

/* DateTime (16 bytes): the camera clock, SetCurrentDatetime and
 * GetCurrentDateTime. Day of week: 0 Sunday to 6 Saturday. */
#define KEST_DATETIME_FIELDS(X)                              \
    X(DATETIME, YEAR, "Year", 0, 2, KEST_FIELD_INT)          \
    X(DATETIME, MONTH, "Month", 2, 2, KEST_FIELD_INT)        \
    X(DATETIME, DAY_OF_WEEK, "DayOfWeek", 4, 2, KEST_FIELD_INT) \
    X(DATETIME, DAY, "Day", 6, 2, KEST_FIELD_INT)            \
    X(DATETIME, HOUR, "Hour", 8, 2, KEST_FIELD_INT)          \
    X(DATETIME, MINUTE, "Minute", 10, 2, KEST_FIELD_INT)     \
    X(DATETIME, SECOND, "Second", 12, 2, KEST_FIELD_INT)     \
    X(DATETIME, RESERVED, "Reserved", 14, 2, KEST_FIELD_RESERVED)
enum { KEST_DATETIME_FIELDS(KEST_RECORD_OFFSET_) KEST_DATETIME_SIZE = 16 };

/* NTPSetting (10 bytes): network time, SetCurrentDatetime and
 * GetCurrentDateTime. TimeZone in whole hours, -12 to 13; the adjustment
 * interval in days (0 to 30) and hours (0 to 23). */
#define KEST_NTPSETTING_FIELDS(X)                                  \
    X(NTPSETTING, TIME_ZONE, "TimeZone", 0, 4, KEST_FIELD_INT)     \
    X(NTPSETTING, ADJUST_DAYS, "AdjustDays", 4, 1, KEST_FIELD_UINT) \
    X(NTPSETTING, ADJUST_HOURS, "AdjustHours", 5, 1, KEST_FIELD_UINT) \
    X(NTPSETTING, SERVER, "Server", 6, 4, KEST_FIELD_ADDRESS)
enum { KEST_NTPSETTING_FIELDS(KEST_RECORD_OFFSET_) KEST_NTPSETTING_SIZE = 10 };

/* FTPSetting (164 bytes): picture upload, SetFTPInit and GetFTPInit.
 * UploadInterval in seconds (0 to 86400); RetryPeriod in seconds after a
 * connection error (1 to 600, 0: retry without end); an empty FileName
 * (first byte 0) names each picture by its time stamp. */
#define KEST_FTPSETTING_FIELDS(X)                                           \
    X(FTPSETTING, UPLOAD_INTERVAL, "UploadInterval", 0, 4, KEST_FIELD_INT)  \
    X(FTPSETTING, DISCONNECT, "Disconnect", 4, 2, KEST_FIELD_INT)          \
    X(FTPSETTING, RETRY_PERIOD, "RetryPeriod", 6, 2, KEST_FIELD_INT)       \
    X(FTPSETTING, STOP_UNAVAILABLE, "StopWhenUnavailable", 8, 2, KEST_FIELD_INT) \
    X(FTPSETTING, RESERVED, "Reserved", 10, 2, KEST_FIELD_RESERVED)        \
    X(FTPSETTING, USER_NAME, "UserName", 12, 18, KEST_FIELD_TEXT)          \
    X(FTPSETTING, PASSWORD, "Password", 30, 34, KEST_FIELD_TEXT)           \
    X(FTPSETTING, FOLDER, "Folder", 64, 66, KEST_FIELD_TEXT)               \
    X(FTPSETTING, FILE_NAME, "FileName", 130, 34, KEST_FIELD_TEXT)
enum { KEST_FTPSETTING_FIELDS(KEST_RECORD_OFFSET_) KEST_FTPSETTING_SIZE = 164 };

/* The records of alarms and camera-side recording follow here. */

static const kest_record_field kest_datetime_fields[] = {KEST_DATETIME_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_ntpsetting_fields[] = {
    KEST_NTPSETTING_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_ftpsetting_fields[] = {
    KEST_FTPSETTING_FIELDS(KEST_RECORD_ROW_)};

#define KEST_RECORD_LAYOUT_(name, record, fields) \
    {(name), KEST_##record##_SIZE, (fields), (uint16_t)(sizeof(fields) / sizeof((fields)[0]))}

/* Every record above, by the name of the parameter that carries it. */
static const kest_record_layout kest_record_layouts[] = {
    KEST_RECORD_LAYOUT_("DateTime", DATETIME, kest_datetime_fields),
    KEST_RECORD_LAYOUT_("NTPSetting", NTPSETTING, kest_ntpsetting_fields),
    KEST_RECORD_LAYOUT_("FTPSetting", FTPSETTING, kest_ftpsetting_fields),
};

#ifdef __cplusplus
}
#endif

#endif /* KEST_RECORDS_H */
