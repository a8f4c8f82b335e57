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

/* AlarmSetting (36 bytes, eighteen 16-bit words): the alarm inputs and
 * output, AlarmSetInit and AlarmGetInit, as the setup tool writes them. An
 * input is on with its first two words both 1. A position of 0 moves
 * nowhere, 1 to 6 go to that preset. OutputMode 2 drives the output, 0
 * leaves it off; OutputLevel 1 active high; OutputOnTime in ms (0 to 5000);
 * OutputInitial 1 active at start. The combined input alarms when the
 * input named by DualOrder (0 input 1, 1 input 2) is followed by the other
 * within DualTime seconds. */
#define KEST_ALARMSETTING_FIELDS(X)                                              \
    X(ALARMSETTING, INPUT1_ON, "Input1On", 0, 2, KEST_FIELD_INT)                 \
    X(ALARMSETTING, INPUT1_ARMED, "Input1Armed", 2, 2, KEST_FIELD_INT)           \
    X(ALARMSETTING, INPUT1_POSITION, "Input1Position", 4, 2, KEST_FIELD_INT)     \
    X(ALARMSETTING, INPUT1_ALARM_OUT, "Input1AlarmOut", 6, 2, KEST_FIELD_INT)    \
    X(ALARMSETTING, INPUT2_ON, "Input2On", 8, 2, KEST_FIELD_INT)                 \
    X(ALARMSETTING, INPUT2_ARMED, "Input2Armed", 10, 2, KEST_FIELD_INT)          \
    X(ALARMSETTING, INPUT2_POSITION, "Input2Position", 12, 2, KEST_FIELD_INT)    \
    X(ALARMSETTING, INPUT2_ALARM_OUT, "Input2AlarmOut", 14, 2, KEST_FIELD_INT)   \
    X(ALARMSETTING, OUTPUT_MODE, "OutputMode", 16, 2, KEST_FIELD_INT)            \
    X(ALARMSETTING, OUTPUT_LEVEL, "OutputLevel", 18, 2, KEST_FIELD_INT)          \
    X(ALARMSETTING, OUTPUT_ON_TIME, "OutputOnTime", 20, 2, KEST_FIELD_INT)       \
    X(ALARMSETTING, OUTPUT_INITIAL, "OutputInitial", 22, 2, KEST_FIELD_INT)      \
    X(ALARMSETTING, DUAL_ON, "DualOn", 24, 2, KEST_FIELD_INT)                    \
    X(ALARMSETTING, DUAL_ORDER, "DualOrder", 26, 2, KEST_FIELD_INT)              \
    X(ALARMSETTING, DUAL_TIME, "DualTime", 28, 2, KEST_FIELD_INT)                \
    X(ALARMSETTING, DUAL_POSITION, "DualPosition", 30, 2, KEST_FIELD_INT)        \
    X(ALARMSETTING, DUAL_ALARM_OUT, "DualAlarmOut", 32, 2, KEST_FIELD_INT)       \
    X(ALARMSETTING, RESERVED, "Reserved", 34, 2, KEST_FIELD_RESERVED)
enum { KEST_ALARMSETTING_FIELDS(KEST_RECORD_OFFSET_) KEST_ALARMSETTING_SIZE = 36 };

/* Trigger (4 bytes): what starts a trigger recording on the memory card,
 * SetLocalRecInformation and GetLocalRecInformation; each 0 or 1. */
#define KEST_TRIGGER_FIELDS(X)                                 \
    X(TRIGGER, ALARM1, "Alarm1", 0, 1, KEST_FIELD_UINT)        \
    X(TRIGGER, ALARM2, "Alarm2", 1, 1, KEST_FIELD_UINT)        \
    X(TRIGGER, RELAY, "Relay", 2, 1, KEST_FIELD_UINT)          \
    X(TRIGGER, MOTION, "Motion", 3, 1, KEST_FIELD_UINT)
enum { KEST_TRIGGER_FIELDS(KEST_RECORD_OFFSET_) KEST_TRIGGER_SIZE = 4 };

/* AlarmRec (4 bytes): seconds recorded before (0 to 30) and after (0 to 60)
 * a trigger. */
#define KEST_ALARMREC_FIELDS(X)                                \
    X(ALARMREC, BEFORE, "Before", 0, 2, KEST_FIELD_INT)        \
    X(ALARMREC, AFTER, "After", 2, 2, KEST_FIELD_INT)
enum { KEST_ALARMREC_FIELDS(KEST_RECORD_OFFSET_) KEST_ALARMREC_SIZE = 4 };

/* TimerRec (180 bytes): the timer-recording schedule, fifteen rows of 12
 * bytes. Enable 0 or 1; Day 0 every day, 1 Sunday to 7 Saturday, 8 Monday
 * to Friday; Start and Stop in minutes after midnight (0 to 1439). A row
 * whose Stop is before its Start runs past midnight. */
#define KEST_TIMERREC_ROW_(X, n)                                                   \
    X(TIMERREC, ROW##n##_ENABLE, "Row" #n "Enable", (n) * 12, 2, KEST_FIELD_INT)   \
    X(TIMERREC, ROW##n##_DAY, "Row" #n "Day", (n) * 12 + 2, 2, KEST_FIELD_INT)     \
    X(TIMERREC, ROW##n##_START, "Row" #n "Start", (n) * 12 + 4, 4, KEST_FIELD_INT) \
    X(TIMERREC, ROW##n##_STOP, "Row" #n "Stop", (n) * 12 + 8, 4, KEST_FIELD_INT)
#define KEST_TIMERREC_FIELDS(X)                                                    \
    KEST_TIMERREC_ROW_(X, 0) KEST_TIMERREC_ROW_(X, 1) KEST_TIMERREC_ROW_(X, 2)     \
    KEST_TIMERREC_ROW_(X, 3) KEST_TIMERREC_ROW_(X, 4) KEST_TIMERREC_ROW_(X, 5)     \
    KEST_TIMERREC_ROW_(X, 6) KEST_TIMERREC_ROW_(X, 7) KEST_TIMERREC_ROW_(X, 8)     \
    KEST_TIMERREC_ROW_(X, 9) KEST_TIMERREC_ROW_(X, 10) KEST_TIMERREC_ROW_(X, 11)   \
    KEST_TIMERREC_ROW_(X, 12) KEST_TIMERREC_ROW_(X, 13) KEST_TIMERREC_ROW_(X, 14)
enum { KEST_TIMERREC_FIELDS(KEST_RECORD_OFFSET_) KEST_TIMERREC_SIZE = 180 };
enum { KEST_TIMERREC_ROWS = 15, KEST_TIMERREC_ROW_SIZE = 12 };

/* ChangeFps (8 bytes): another frame rate while trigger and timer recording
 * run. On 0 or 1; Fps 30, 15, 10, 8, 7, 6, 5, 4, 3, 2 or 1 frames per second
 * (the control turns them into the camera's rate indexes and back). */
#define KEST_CHANGEFPS_FIELDS(X)                                   \
    X(CHANGEFPS, TRIGGER_ON, "TriggerOn", 0, 2, KEST_FIELD_INT)    \
    X(CHANGEFPS, TRIGGER_FPS, "TriggerFps", 2, 2, KEST_FIELD_INT)  \
    X(CHANGEFPS, TIMER_ON, "TimerOn", 4, 2, KEST_FIELD_INT)        \
    X(CHANGEFPS, TIMER_FPS, "TimerFps", 6, 2, KEST_FIELD_INT)
enum { KEST_CHANGEFPS_FIELDS(KEST_RECORD_OFFSET_) KEST_CHANGEFPS_SIZE = 8 };

/* CFFull (4 bytes): a full memory card stops the recording (Stop 1) or
 * deletes the files older than DeleteBefore days (Stop 0; 0 to 180). */
#define KEST_CFFULL_FIELDS(X)                                          \
    X(CFFULL, STOP, "Stop", 0, 2, KEST_FIELD_INT)                      \
    X(CFFULL, DELETE_BEFORE, "DeleteBefore", 2, 2, KEST_FIELD_INT)
enum { KEST_CFFULL_FIELDS(KEST_RECORD_OFFSET_) KEST_CFFULL_SIZE = 4 };

/* TimeLapse (4 bytes): time-lapse recording on (1) or off (0), one picture
 * every Interval seconds (1 to 3600). */
#define KEST_TIMELAPSE_FIELDS(X)                                   \
    X(TIMELAPSE, ON, "On", 0, 2, KEST_FIELD_INT)                   \
    X(TIMELAPSE, INTERVAL, "Interval", 2, 2, KEST_FIELD_INT)
enum { KEST_TIMELAPSE_FIELDS(KEST_RECORD_OFFSET_) KEST_TIMELAPSE_SIZE = 4 };

static const kest_record_field kest_datetime_fields[] = {KEST_DATETIME_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_ntpsetting_fields[] = {
    KEST_NTPSETTING_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_ftpsetting_fields[] = {
    KEST_FTPSETTING_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_alarmsetting_fields[] = {
    KEST_ALARMSETTING_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_trigger_fields[] = {KEST_TRIGGER_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_alarmrec_fields[] = {KEST_ALARMREC_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_timerrec_fields[] = {KEST_TIMERREC_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_changefps_fields[] = {KEST_CHANGEFPS_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_cffull_fields[] = {KEST_CFFULL_FIELDS(KEST_RECORD_ROW_)};
static const kest_record_field kest_timelapse_fields[] = {
    KEST_TIMELAPSE_FIELDS(KEST_RECORD_ROW_)};

#define KEST_RECORD_LAYOUT_(name, record, fields) \
    {(name), KEST_##record##_SIZE, (fields), (uint16_t)(sizeof(fields) / sizeof((fields)[0]))}

/* Every record above, by the name of the parameter that carries it. */
static const kest_record_layout kest_record_layouts[] = {
    KEST_RECORD_LAYOUT_("DateTime", DATETIME, kest_datetime_fields),
    KEST_RECORD_LAYOUT_("NTPSetting", NTPSETTING, kest_ntpsetting_fields),
    KEST_RECORD_LAYOUT_("FTPSetting", FTPSETTING, kest_ftpsetting_fields),
    KEST_RECORD_LAYOUT_("AlarmSetting", ALARMSETTING, kest_alarmsetting_fields),
    KEST_RECORD_LAYOUT_("Trigger", TRIGGER, kest_trigger_fields),
    KEST_RECORD_LAYOUT_("AlarmRec", ALARMREC, kest_alarmrec_fields),
    KEST_RECORD_LAYOUT_("TimerRec", TIMERREC, kest_timerrec_fields),
    KEST_RECORD_LAYOUT_("ChangeFps", CHANGEFPS, kest_changefps_fields),
    KEST_RECORD_LAYOUT_("CFFull", CFFULL, kest_cffull_fields),
    KEST_RECORD_LAYOUT_("TimeLapse", TIMELAPSE, kest_timelapse_fields),
};

#ifdef __cplusplus
}
#endif

#endif /* KEST_RECORDS_H */
