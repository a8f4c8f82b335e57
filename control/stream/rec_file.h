// The ".rec" file: an 8390-byte header followed by the recorded JPEG files,
// one directly after the other. Each record is found by the size field of its
// own comment, so everything here that reads a record checks that field
// against the bytes that really exist before it is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kest::rec {

constexpr size_t kHeaderSize = 8390;
constexpr char kMagic[] = "KX-9 Motion Jpeg Recorded File";  // with its zero: 31 bytes
constexpr size_t kMagicSize = sizeof kMagic;
constexpr size_t kFlagOffset = 31;
constexpr size_t kFormatOffset = 32;
constexpr uint16_t kFormatMark = 0x0150;
constexpr size_t kFirstTimeOffset = 34;
constexpr size_t kLastTimeOffset = 50;
constexpr size_t kNamesOffset = 66;
constexpr size_t kNameSlots = 32;
constexpr size_t kNameSlotSize = 260;
constexpr size_t kCountOffset = 8386;
// Playback reads this much of a record to find its comment.
constexpr size_t kCommentWindow = 1024;

static_assert(kMagicSize == 31);
static_assert(kNamesOffset + kNameSlots * kNameSlotSize == kCountOffset);
static_assert(kCountOffset + 4 == kHeaderSize);

// A time in the system-time layout of the header: year, month, day of week,
// day, hour, minute, second, millisecond. The day of week is 0 when the time
// came from a picture's comment.
struct RecTime {
    uint16_t year = 0, month = 0, day_of_week = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
    // A closed recording has a year, month and day in both of its times.
    bool Dated() const { return year != 0 && month != 0 && day != 0; }
    bool operator==(const RecTime&) const = default;
    // "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%3.3d": the 17 digits of a comment.
    std::string Digits() const;
    // Milliseconds since 0000-01-01 in the proleptic calendar (for intervals).
    int64_t Milliseconds() const;
};

using HeaderBytes = std::array<uint8_t, kHeaderSize>;

struct RecHeader {
    bool magic_ok = false;
    bool flag = false;
    uint16_t format = 0;
    RecTime first, last;
    std::vector<std::string> names;  // the used camera-name slots, in order
    uint32_t count = 0;

    // The magic matches and both times are dated: playback accepts the file.
    bool Playable() const { return magic_ok && first.Dated() && last.Dated(); }

    // A new file's header: magic, format mark, zeros everywhere else.
    static HeaderBytes Fresh();
    static RecHeader Parse(const HeaderBytes& bytes);
    // Completes a header read back from a file: flag 0, both times, at most
    // 32 names (the rest are dropped), the count. Other bytes stay as read.
    void CompleteInto(HeaderBytes& bytes) const;
};

// The fields of a record's comment ("key = value;" pairs).
struct RecordComment {
    uint32_t size = 0;
    RecTime time;
    std::string camera;
    int16_t reverse = 0, type = 0, x = 0, y = 0, format = 1, width = 0, height = 0;
    std::string filename;
    // Bytes from the record's start to the end of its comment segment: a
    // size below this cannot be a whole record.
    size_t header_end = 0;
    // Where the size value stands in the record ("%10d" after "size ="), so
    // that a wrong size can be corrected in place: [begin, end).
    size_t size_field_begin = 0, size_field_end = 0;
    // Where the 17 digits of the time stamp begin.
    size_t time_field_begin = 0;
};

// Parses the comment of a record from its first bytes. Fails (nullopt) for
// bytes that are not a JPEG start followed by a chain of segments leading to
// a comment within head, and for a comment without a size or a complete time
// stamp.
std::optional<RecordComment> ParseRecordComment(std::span<const uint8_t> head);

// Parses only the 17-digit time stamp of a picture's comment; nullopt
// without one. Used for the picture that is being recorded.
std::optional<RecTime> ParsePictureTime(std::span<const uint8_t> jpeg);

// Writes a size right-aligned into the size field of a record head; false
// when the field is too narrow for the number.
bool WriteSizeField(uint8_t* head, const RecordComment& comment, uint32_t size);
// Writes a time's 17 digits over the time stamp of a record head.
void WriteTimeField(uint8_t* head, const RecordComment& comment, const RecTime& time);

// The comment segment (marker, length, text) that the recorder gives a
// picture without a comment it can use: the receive path's own text, with
// the record's whole size, so playback and still pictures read it alike.
constexpr size_t kOwnCommentTextSize = 73;
constexpr size_t kOwnCommentSegmentSize = 4 + kOwnCommentTextSize;
std::array<uint8_t, kOwnCommentSegmentSize> OwnComment(uint32_t size, int reverse,
                                                       const RecTime& time);

enum class RecordStatus { kOk, kEnd, kDamaged };

// The header at the start of an open recording; false when the file is shorter.
bool ReadHeader(int fd, HeaderBytes& bytes);
// Reads the record at offset of an open file of file_size bytes: kEnd at or
// past the end, kDamaged when its comment does not parse or its size is
// smaller than its own header or reaches past the end of the file.
RecordStatus ReadRecordAt(int fd, uint64_t offset, uint64_t file_size, RecordComment& out);

// The header and records of a file, walked from offset 8390 up to the first
// record that is damaged or the end of the file.
struct RecordEntry {
    uint64_t offset = 0;
    RecordComment comment;
};
struct FileIndex {
    RecHeader header;
    uint64_t file_size = 0;
    std::vector<RecordEntry> records;
    // Offset where the walk stopped: the file size when every byte belongs
    // to a record, less when a damaged record or a partial tail follows.
    uint64_t end_of_records = 0;
};
// False when the file cannot be opened or is shorter than a header.
bool IndexFile(const std::string& path, FileIndex& index, std::string& error);

// Outcome of a repair of a recording whose header was never completed.
struct RepairReport {
    uint32_t count = 0;
    RecTime first, last;
    uint64_t end_of_records = 0;
    uint64_t file_size = 0;
    // The header was complete already (the recording was closed): nothing
    // was written, and the other fields are the header's own.
    bool already_complete = false;
};
// Rewrites the header's flag, times and count from the pictures' comments,
// when the recording was never closed. A header that is complete already is
// left as it is. A picture without a date is dated by the file's last change;
// a count that a closing wrote is never lowered. Refuses (false, with error)
// a file whose magic or format mark is not this format's or that holds no
// readable picture; no other byte is changed.
bool RepairFile(const std::string& path, RepairReport& report, std::string& error);

}  // namespace kest::rec
