#include "control/stream/rec_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/byte_cursor.h"

namespace kest::rec {

namespace {

// Writes into bytes that are already there (a ByteWriter would zero the
// bytes it seeks over).
void StoreTime(uint8_t* at, const RecTime& t) {
    const uint16_t v[8] = {t.year, t.month,  t.day_of_week, t.day,
                           t.hour, t.minute, t.second,      t.millisecond};
    for (int i = 0; i < 8; ++i)
        StoreU16(at + 2 * i, v[i]);
}

void StoreU32(uint8_t* at, uint32_t v) {
    StoreU16(at, uint16_t(v));
    StoreU16(at + 2, uint16_t(v >> 16));
}

RecTime LoadTime(ByteReader& r) {
    RecTime t;
    t.year = r.U16(), t.month = r.U16(), t.day_of_week = r.U16(), t.day = r.U16();
    t.hour = r.U16(), t.minute = r.U16(), t.second = r.U16(), t.millisecond = r.U16();
    return t;
}

bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// Walks one comment text. The text ends at a 0xFF byte or at the end of its
// segment, whichever comes first; nothing past end is read.
class CommentScanner {
  public:
    CommentScanner(const uint8_t* data, size_t begin, size_t end)
        : d_(data), pos_(begin), end_(end) {}

    bool AtEnd() const { return pos_ >= end_ || d_[pos_] == 0xFF; }
    size_t pos() const { return pos_; }

    bool Key(const char* key) {
        const size_t n = std::strlen(key);
        if (end_ - pos_ < n || std::memcmp(d_ + pos_, key, n) != 0) return false;
        pos_ += n;
        return true;
    }
    // Before a value: any spaces and '=' signs.
    // Returns the position after the last '=' (or where it started).
    size_t SkipEquals() {
        size_t after = pos_;
        while (!AtEnd() && (d_[pos_] == ' ' || d_[pos_] == '=')) {
            if (d_[pos_++] == '=') after = pos_;
        }
        return after;
    }
    // The rest of a key of which only the first letter counts.
    void SkipWord() {
        while (!AtEnd() && d_[pos_] != ' ' && d_[pos_] != '=' && d_[pos_] != ';')
            ++pos_;
    }
    void SkipSpaces() {
        while (!AtEnd() && d_[pos_] == ' ')
            ++pos_;
    }
    // To the next ';' (not past the text), then past it and any spaces.
    void NextField() {
        while (!AtEnd() && d_[pos_] != ';')
            ++pos_;
        if (!AtEnd()) ++pos_;
        SkipSpaces();
    }
    std::optional<uint32_t> Number() {
        uint64_t v = 0;
        size_t digits = 0;
        while (!AtEnd() && IsDigit(d_[pos_])) {
            v = v * 10 + uint64_t(d_[pos_++] - '0');
            if (v > UINT32_MAX) return std::nullopt;
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        return uint32_t(v);
    }
    int16_t Short() {
        const auto v = Number();
        return v && *v <= 0x7FFF ? int16_t(*v) : 0;
    }
    std::string Text() {
        std::string s;
        while (!AtEnd() && d_[pos_] != ';')
            s += char(d_[pos_++]);
        return s;
    }
    uint8_t Peek() const { return AtEnd() ? 0 : d_[pos_]; }
    // Exactly n digits; a ';', the end of the text or another character
    // before all are read fails.
    std::optional<uint16_t> Digits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (AtEnd() || !IsDigit(d_[pos_])) return std::nullopt;
            v = v * 10 + uint32_t(d_[pos_++] - '0');
        }
        return uint16_t(v);
    }

  private:
    const uint8_t* d_;
    size_t pos_;
    size_t end_;
};

std::optional<RecTime> ReadTime(CommentScanner& s) {
    RecTime t;
    const int widths[] = {4, 2, 2, 2, 2, 2, 3};
    uint16_t v[7];
    for (int i = 0; i < 7; ++i) {
        const auto d = s.Digits(widths[i]);
        if (!d) return std::nullopt;
        v[i] = *d;
    }
    t.year = v[0], t.month = v[1], t.day = v[2], t.hour = v[3];
    t.minute = v[4], t.second = v[5], t.millisecond = v[6];
    return t;
}

// Finds the comment segment after the start marker: [text begin, text end).
// Only segments that lie wholly inside head are followed.
bool FindComment(std::span<const uint8_t> head, size_t& begin, size_t& end) {
    ByteReader r(head);
    if (r.U8() != 0xFF || r.U8() != 0xD8 || !r.ok()) return false;
    for (;;) {
        if (!r.Has(4)) return false;
        if (r.U8() != 0xFF) return false;
        const uint8_t marker = r.U8();
        const size_t length = size_t(r.U8()) << 8 | r.U8();
        if (length < 2 || !r.Has(length - 2)) {
            // A comment cut off by the window still counts up to the window.
            if (marker == 0xFE && length >= 2) {
                begin = r.offset();
                end = head.size();
                return true;
            }
            return false;
        }
        if (marker == 0xFE) {
            begin = r.offset();
            end = begin + length - 2;
            return true;
        }
        r.Skip(length - 2);
    }
}

}  // namespace

std::string RecTime::Digits() const {
    char text[48];
    std::snprintf(text, sizeof text, "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%3.3d", year, month, day, hour,
                  minute, second, millisecond);
    return text;
}

int64_t RecTime::Milliseconds() const {
    // Days from civil (H. Hinnant's algorithm), for intervals between pictures.
    const int64_t y = int64_t(year) - (month <= 2);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t m = month == 0 ? 1 : month;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + int64_t(day) - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe;
    return ((days * 24 + hour) * 60 + minute) * 60000 + int64_t(second) * 1000 + millisecond;
}

HeaderBytes RecHeader::Fresh() {
    HeaderBytes h{};
    std::memcpy(h.data(), kMagic, kMagicSize);
    StoreU16(h.data() + kFormatOffset, kFormatMark);
    return h;
}

RecHeader RecHeader::Parse(const HeaderBytes& bytes) {
    RecHeader h;
    h.magic_ok = std::memcmp(bytes.data(), kMagic, kMagicSize) == 0;
    ByteReader r(bytes.data(), bytes.size());
    r.Seek(kFlagOffset);
    h.flag = r.U8() != 0;
    h.format = r.U16();
    h.first = LoadTime(r);
    h.last = LoadTime(r);
    for (size_t i = 0; i < kNameSlots; ++i) {
        const char* slot =
            reinterpret_cast<const char*>(bytes.data() + kNamesOffset + i * kNameSlotSize);
        const size_t n = strnlen(slot, kNameSlotSize);
        if (n == 0) continue;
        h.names.emplace_back(slot, n);
    }
    r.Seek(kCountOffset);
    h.count = r.U32();
    return h;
}

void RecHeader::CompleteInto(HeaderBytes& bytes) const {
    bytes[kFlagOffset] = 0;
    StoreTime(bytes.data() + kFirstTimeOffset, first);
    StoreTime(bytes.data() + kLastTimeOffset, last);
    std::memset(bytes.data() + kNamesOffset, 0, kNameSlots * kNameSlotSize);
    for (size_t i = 0; i < names.size() && i < kNameSlots; ++i) {
        // A slot keeps its terminating zero.
        std::memcpy(bytes.data() + kNamesOffset + i * kNameSlotSize, names[i].data(),
                    std::min(names[i].size(), kNameSlotSize - 1));
    }
    StoreU32(bytes.data() + kCountOffset, count);
}

std::optional<RecordComment> ParseRecordComment(std::span<const uint8_t> head) {
    size_t begin = 0, end = 0;
    if (!FindComment(head, begin, end)) return std::nullopt;
    RecordComment out;
    out.header_end = end;
    bool have_size = false, have_time = false;
    CommentScanner s(head.data(), begin, end);
    s.SkipSpaces();
    while (!s.AtEnd()) {
        if (s.Key("size")) {
            // The value's leading spaces belong to its field ("%10d").
            out.size_field_begin = s.SkipEquals();
            const auto v = s.Number();
            if (!v) return std::nullopt;
            out.size = *v;
            out.size_field_end = s.pos();
            have_size = true;
        } else if (s.Key("reverse")) {
            s.SkipEquals();
            out.reverse = s.Peek() == '1' ? 1 : 0;
        } else if (s.Key("timestamp")) {
            s.SkipEquals();
            out.time_field_begin = s.pos();
            const auto t = ReadTime(s);
            if (!t) return std::nullopt;
            out.time = *t;
            have_time = true;
        } else if (s.Key("camera")) {
            s.SkipEquals();
            out.camera = s.Text();
        } else if (s.Key("type")) {
            s.SkipEquals();
            out.type = s.Short();
        } else if (s.Key("format")) {
            s.SkipEquals();
            out.format = s.Short();
        } else if (s.Peek() == 'x') {
            s.SkipWord();
            s.SkipEquals();
            out.x = s.Short();
        } else if (s.Peek() == 'y') {
            s.SkipWord();
            s.SkipEquals();
            out.y = s.Short();
        } else if (s.Key("width")) {
            s.SkipEquals();
            out.width = s.Short();
        } else if (s.Key("height")) {
            s.SkipEquals();
            out.height = s.Short();
        } else if (s.Key("filename")) {
            s.SkipEquals();
            out.filename = s.Text();
        }
        s.NextField();
    }
    if (!have_size || !have_time) return std::nullopt;
    return out;
}

std::optional<RecTime> ParsePictureTime(std::span<const uint8_t> jpeg) {
    const auto c = ParseRecordComment(jpeg.first(std::min(jpeg.size(), kCommentWindow)));
    if (c) return c->time;
    return std::nullopt;
}

bool WriteSizeField(uint8_t* head, const RecordComment& comment, uint32_t size) {
    const size_t width = comment.size_field_end - comment.size_field_begin;
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%u", size);
    if (width == 0 || size_t(n) > width) return false;
    std::memset(head + comment.size_field_begin, ' ', width - size_t(n));
    std::memcpy(head + comment.size_field_end - size_t(n), digits, size_t(n));
    return true;
}

void WriteTimeField(uint8_t* head, const RecordComment& comment, const RecTime& time) {
    const std::string digits = time.Digits();
    std::memcpy(head + comment.time_field_begin, digits.data(),
                std::min<size_t>(digits.size(), 17));
}

std::array<uint8_t, kOwnCommentSegmentSize> OwnComment(uint32_t size, int reverse,
                                                       const RecTime& time) {
    std::array<uint8_t, kOwnCommentSegmentSize> segment{};
    char text[kOwnCommentTextSize + 1];
    // Every field has a fixed width, so the text is always this long.
    std::snprintf(text, sizeof text, "size = %10u; reverse = %c; timestamp = %.17s; camera = ;",
                  size, reverse ? '1' : '0', time.Digits().c_str());
    ByteWriter w(segment.data(), segment.size());
    w.U8(0xFF).U8(0xFE).U8(0).U8(uint8_t(kOwnCommentTextSize + 2));
    w.Bytes(text, kOwnCommentTextSize);
    return segment;
}

bool ReadHeader(int fd, HeaderBytes& bytes) {
    return pread(fd, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size());
}

RecordStatus ReadRecordAt(int fd, uint64_t offset, uint64_t file_size, RecordComment& out) {
    if (offset >= file_size) return RecordStatus::kEnd;
    uint8_t head[kCommentWindow];
    const size_t want = size_t(std::min<uint64_t>(kCommentWindow, file_size - offset));
    const ssize_t got = pread(fd, head, want, off_t(offset));
    if (got <= 0) return RecordStatus::kDamaged;
    const auto c = ParseRecordComment(std::span<const uint8_t>(head, size_t(got)));
    if (!c) return RecordStatus::kDamaged;
    if (c->size < c->header_end || c->size > file_size - offset) return RecordStatus::kDamaged;
    out = *c;
    return RecordStatus::kOk;
}

namespace {

RecTime LocalTime(const timespec& when) {
    std::tm local{};
    localtime_r(&when.tv_sec, &local);
    RecTime t;
    t.year = uint16_t(local.tm_year + 1900), t.month = uint16_t(local.tm_mon + 1);
    t.day = uint16_t(local.tm_mday), t.hour = uint16_t(local.tm_hour);
    t.minute = uint16_t(local.tm_min), t.second = uint16_t(local.tm_sec);
    t.millisecond = uint16_t(when.tv_nsec / 1000000);
    return t;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

void Walk(int fd, uint64_t file_size, FileIndex& index) {
    uint64_t offset = kHeaderSize;
    RecordComment c;
    while (ReadRecordAt(fd, offset, file_size, c) == RecordStatus::kOk) {
        index.records.push_back({offset, c});
        offset += c.size;
    }
    index.end_of_records = std::min(offset, file_size);
}

}  // namespace

bool IndexFile(const std::string& path, FileIndex& index, std::string& error) {
    index = FileIndex{};
    Fd f{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st {};
    if (f.fd < 0 || fstat(f.fd, &st) != 0) return error = std::strerror(errno), false;
    if (!S_ISREG(st.st_mode)) return error = "not a regular file", false;
    index.file_size = uint64_t(st.st_size);
    HeaderBytes bytes;
    if (index.file_size < kHeaderSize || !ReadHeader(f.fd, bytes)) {
        return error = "shorter than a recording's header", false;
    }
    index.header = RecHeader::Parse(bytes);
    Walk(f.fd, index.file_size, index);
    return true;
}

bool RepairFile(const std::string& path, RepairReport& report, std::string& error) {
    Fd f{open(path.c_str(), O_RDWR | O_CLOEXEC)};
    struct stat st {};
    if (f.fd < 0 || fstat(f.fd, &st) != 0) return error = std::strerror(errno), false;
    if (!S_ISREG(st.st_mode)) return error = "not a regular file", false;
    HeaderBytes bytes;
    if (uint64_t(st.st_size) < kHeaderSize || !ReadHeader(f.fd, bytes)) {
        return error = "shorter than a recording's header", false;
    }
    RecHeader header = RecHeader::Parse(bytes);
    if (!header.magic_ok || header.format != kFormatMark) {
        return error = "not a recording (magic or format mark differs)", false;
    }
    FileIndex index;
    index.file_size = uint64_t(st.st_size);
    Walk(f.fd, index.file_size, index);
    if (header.Playable()) {
        // Closed properly: its closing knew more than the walk does (a
        // damaged record hides every one after it).
        report = {header.count,         header.first,    header.last,
                  index.end_of_records, index.file_size, true};
        return true;
    }
    if (index.records.empty()) return error = "no readable picture after the header", false;
    const uint32_t walked = uint32_t(index.records.size());
    if (header.count < walked || header.count > uint32_t(INT32_MAX)) header.count = walked;
    // Pictures whose time stamp has no date are dated by the file's last
    // change, so that playback takes the recording.
    const RecTime changed = LocalTime(st.st_mtim);
    header.first = index.records.front().comment.time;
    header.last = index.records.back().comment.time;
    if (!header.first.Dated()) header.first = changed;
    if (!header.last.Dated()) header.last = changed;
    header.first.day_of_week = header.last.day_of_week = 0;
    // Only the flag, the two times and the count are rewritten; the names
    // area stays as the file has it.
    HeaderBytes fixed = bytes;
    fixed[kFlagOffset] = 0;
    StoreTime(fixed.data() + kFirstTimeOffset, header.first);
    StoreTime(fixed.data() + kLastTimeOffset, header.last);
    StoreU32(fixed.data() + kCountOffset, header.count);
    if (pwrite(f.fd, fixed.data(), fixed.size(), 0) != ssize_t(fixed.size()) || fsync(f.fd) != 0) {
        return error = std::strerror(errno), false;
    }
    report = {header.count,         header.first,    header.last,
              index.end_of_records, index.file_size, false};
    return true;
}

}  // namespace kest::rec
