#include "control/stream/record_play.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "control/stream/camera.h"
#include "control/stream/window_messages.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace kest {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The folder with its trailing '/', ready for a file name.
std::string FolderPrefix(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool WriteAll(int fd, const struct iovec* parts, int count, uint64_t offset) {
    std::vector<struct iovec> left(parts, parts + count);
    size_t first = 0;
    while (first < left.size()) {
        const ssize_t n = pwritev(fd, left.data() + first, int(left.size() - first), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        offset += uint64_t(n);
        size_t done = size_t(n);
        while (first < left.size() && done >= left[first].iov_len)
            done -= left[first++].iov_len;
        if (first < left.size()) {
            left[first].iov_base = static_cast<uint8_t*>(left[first].iov_base) + done;
            left[first].iov_len -= done;
        }
    }
    return true;
}

// Never replaces a file that exists under the new name.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link fails when the name exists.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    return unlink(from.c_str()) == 0;
}

// The local time as a picture's comment carries it (no day of week).
rec::RecTime LocalNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    rec::RecTime t;
    t.year = uint16_t(local.tm_year + 1900), t.month = uint16_t(local.tm_mon + 1);
    t.day = uint16_t(local.tm_mday), t.hour = uint16_t(local.tm_hour);
    t.minute = uint16_t(local.tm_min), t.second = uint16_t(local.tm_sec);
    t.millisecond = uint16_t(ts.tv_nsec / 1000000);
    return t;
}

bool SameFile(const std::string& path, dev_t dev, ino_t ino) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

}  // namespace

std::string RecFileName(int year, int month, int day, int hour, int minute, int second) {
    char name[64];
    std::snprintf(name, sizeof name, "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d.rec", year, month, day, hour,
                  minute, second);
    return name;
}

RecFileWriter::~RecFileWriter() {
    if (fd_ >= 0) close(fd_);
}

RecFileReader::~RecFileReader() {
    CloseCurrent();
}

bool RecFileReader::OpenCurrent() {
    CloseCurrent();
    if (current_ >= files_.size()) return false;
    fd_ = open(files_[current_].c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        CloseCurrent();
        return false;
    }
    file_size_ = uint64_t(st.st_size);
    return true;
}

void RecFileReader::CloseCurrent() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

RecordPlayManager::RecordPlayManager(CameraListener* notified)
    : notified_(notified),
      settings_path_(platform::ProgramFolder() + "/recordplay.ini"),
      now_(LocalNow) {}

RecordPlayManager::~RecordPlayManager() {
    while (!writers_.empty())
        StopRecording(writers_.back().get(), 0);
    readers_.clear();
}

void RecordPlayManager::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) const {
    if (!notified_) return;
    if (platform::MessageWindow* w = notified_->listener_window()) w->Post(message, wparam, lparam);
}

double RecordPlayManager::FreeSpace(const std::string& path) const {
    const std::string folder = FolderOf(path);
    if (free_space_) return free_space_(folder);
    // statvfs on the folder itself: the current directory is process-wide
    // and stays as it is.
    const auto bytes = platform::FreeDiskBytes(folder);
    return bytes ? double(*bytes) : 0.0;
}

RecFileWriter* RecordPlayManager::StartRecording(const std::string& path,
                                                 const RecStartOptions& options) {
    const auto fail = [&](uintptr_t code) -> RecFileWriter* {
        if (options.notify) Post(kRecordingStoppedMessage, code, options.notify_value);
        return nullptr;
    };
    for (const auto& w : writers_) {
        if (w->path_ == path) return fail(3);
    }
    if (FreeSpace(path) < min_free_recording_) return fail(4);
    auto writer = std::make_unique<RecFileWriter>();
    // Created exclusively: a second recorder that picks the same name in the
    // same second fails instead of writing into this one's file.
    writer->fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (writer->fd_ < 0) return fail(1);
    const rec::HeaderBytes header = rec::RecHeader::Fresh();
    struct stat st {};
    if (pwrite(writer->fd_, header.data(), header.size(), 0) != ssize_t(header.size()) ||
        fstat(writer->fd_, &st) != 0) {
        unlink(path.c_str());
        return fail(1);
    }
    writer->dev_ = st.st_dev;
    writer->ino_ = st.st_ino;
    writer->path_ = path;
    writer->kind_ = options.kind;
    writer->free_space_ = FreeSpace(path);
    writer->tag_ = options.tag;
    writer->end_ = rec::kHeaderSize;
    if (!options.camera.empty()) writer->names_.push_back(options.camera);
    if (options.notify && warning_margin_ + min_free_recording_ >= writer->free_space_) {
        Post(kDiskWarningMessage, options.kind == 1 ? 5 : 6, options.notify_value);
    }
    writers_.push_back(std::move(writer));
    append_counter_ = 0;
    return writers_.back().get();
}

bool RecordPlayManager::IsRecording(const RecFileWriter* writer) const {
    return writer && std::any_of(writers_.begin(), writers_.end(),
                                 [writer](const auto& w) { return w.get() == writer; });
}

bool RecordPlayManager::IsUnderRecording(const std::string& path) const {
    for (const auto& w : writers_) {
        if (w->path_ == path || SameFile(path, w->dev_, w->ino_)) return true;
    }
    return false;
}

size_t RecordPlayManager::AppendPicture(RecFileWriter* writer, std::span<const uint8_t> jpeg,
                                        const std::string* camera, const rec::RecTime* time,
                                        int camera_type, int reverse) {
    if (!writer) return 0;
    writer->free_space_ = FreeSpace(writer->path_);
    if (writer->free_space_ < min_free_recording_) {
        Post(kRecordingStoppedMessage, 0, 0);
        return 0;
    }
    if (!IsRecording(writer)) return 0;
    if (jpeg.empty() || jpeg.size() > kLargestPicture) {
        // Nothing a camera presents; never left out while the recording
        // says it goes on.
        Post(kRecordingStoppedMessage, 0, 0);
        return 0;
    }
    // Playback finds each record by its comment's size field, and a picture
    // it could not find would hide the rest of the file; so every picture is
    // written in a form that playback reads. A size field that disagrees with
    // the picture's length (some cameras leave it 0) is corrected in the copy
    // written, a time stamp without a date (all zeros) gets the local time,
    // and a picture without a usable comment gets the receive path's comment
    // of its own, with the local time.
    uint8_t head[rec::kCommentWindow + 2 + 18 + rec::kOwnCommentSegmentSize];
    size_t head_length = std::min(jpeg.size(), rec::kCommentWindow);
    std::memcpy(head, jpeg.data(), head_length);
    std::span<const uint8_t> rest = jpeg.subspan(head_length);
    rec::RecTime record_time = now_();
    const auto comment = rec::ParseRecordComment(std::span<const uint8_t>(head, head_length));
    const bool usable = comment && comment->header_end <= jpeg.size() &&
                        (comment->size == jpeg.size() ||
                         rec::WriteSizeField(head, *comment, uint32_t(jpeg.size())));
    if (usable) {
        if (comment->time.Dated()) {
            record_time = comment->time;
        } else {
            rec::WriteTimeField(head, *comment, record_time);
        }
    } else {
        // The start marker, and a JFIF segment right after it, stay first: the
        // comment then stands where the receive path puts its own.
        static constexpr uint8_t kJfifStart[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
        size_t keep = 0;
        if (jpeg.size() >= 20 && std::memcmp(jpeg.data(), kJfifStart, sizeof kJfifStart) == 0) {
            keep = 20;
        } else if (jpeg.size() >= 2 && jpeg[0] == 0xFF && jpeg[1] == 0xD8) {
            keep = 2;
        }
        head[0] = 0xFF, head[1] = 0xD8;
        if (keep == 20) std::memcpy(head + 2, jpeg.data() + 2, 18);
        head_length = std::max<size_t>(keep, 2);
        rest = jpeg.subspan(keep);
        const uint64_t total = head_length + rec::kOwnCommentSegmentSize + rest.size();
        const auto own = rec::OwnComment(uint32_t(total), reverse, record_time);
        std::memcpy(head + head_length, own.data(), own.size());
        head_length += own.size();
    }
    const uint64_t length = head_length + rest.size();
    struct iovec parts[2] = {{head, head_length}, {const_cast<uint8_t*>(rest.data()), rest.size()}};
    if (!WriteAll(writer->fd_, parts, 2, writer->end_)) {
        // A part-written picture is cut off again, so the file stays whole;
        // the recording ends as it does when the disk fills up.
        if (ftruncate(writer->fd_, off_t(writer->end_)) != 0) {
            // Nothing more to do: the header still holds only whole pictures.
        }
        Post(kRecordingStoppedMessage, 0, 0);
        return 0;
    }
    writer->end_ += length;
    ++writer->count_;
    ++append_counter_;
    if (camera &&
        std::find(writer->names_.begin(), writer->names_.end(), *camera) == writer->names_.end()) {
        writer->names_.push_back(*camera);
    }
    // The header's times are the dated ones the pictures carry as written.
    const rec::RecTime& t = time && time->Dated() ? *time : record_time;
    if (!writer->first_seen_) {
        writer->first_ = t;
        writer->first_seen_ = true;
        if (camera_type == 20) {
            writer->rename_target_ =
                FolderPrefix(writer->path_) +
                RecFileName(t.year, t.month, t.day, t.hour, t.minute, t.second);
        }
    }
    writer->last_ = t;
    return jpeg.size();
}

void RecordPlayManager::StopRecording(RecFileWriter* writer, int camera_type) {
    const auto it = std::find_if(writers_.begin(), writers_.end(),
                                 [writer](const auto& w) { return w.get() == writer; });
    if (it == writers_.end()) return;
    rec::HeaderBytes bytes;
    if (!rec::ReadHeader(writer->fd_, bytes)) bytes = rec::RecHeader::Fresh();
    rec::RecHeader header;
    header.first = writer->first_;
    header.last = writer->last_;
    // Only names that are not empty take a slot; the control's empty text
    // leaves the area zero.
    for (const std::string& n : writer->names_) {
        if (!n.empty()) header.names.push_back(n);
    }
    header.count = writer->count_;
    header.CompleteInto(bytes);
    if (pwrite(writer->fd_, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size())) {
        fdatasync(writer->fd_);
    }
    close(writer->fd_);
    writer->fd_ = -1;
    if (camera_type == 20 && !writer->rename_target_.empty() &&
        writer->rename_target_ != writer->path_) {
        // The recording keeps its name when the target exists already.
        RenameNoReplace(writer->path_, writer->rename_target_);
    }
    writers_.erase(it);
}

RecFileReader* RecordPlayManager::OpenPlayback(const std::string& pattern, int flag) {
    (void)flag;
    std::vector<std::string> names;
    glob_t g{};
    // glob gives the matches sorted by name.
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0) {
        for (size_t i = 0; i < g.gl_pathc; ++i)
            names.emplace_back(g.gl_pathv[i]);
    }
    globfree(&g);
    struct stat st {};
    if (names.empty() && stat(pattern.c_str(), &st) == 0) names.push_back(pattern);

    auto reader = std::make_unique<RecFileReader>();
    for (const std::string& name : names) {
        if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (IsUnderRecording(name)) {
            // The settings file's message for this case is read and not shown.
            (void)platform::GetProfileString(settings_path_, "recording", "error message", "");
            continue;
        }
        const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        rec::HeaderBytes bytes;
        const bool read = rec::ReadHeader(fd, bytes);
        close(fd);
        if (!read || !rec::RecHeader::Parse(bytes).Playable()) continue;
        reader->files_.push_back(name);
        reader->total_size_ += uint64_t(st.st_size);
    }
    if (reader->files_.empty() || !reader->OpenCurrent()) return nullptr;
    rec::HeaderBytes bytes;
    if (!rec::ReadHeader(reader->fd_, bytes)) return nullptr;
    readers_.push_back(std::move(reader));
    return readers_.back().get();
}

bool RecordPlayManager::IsPlaying(const RecFileReader* reader) const {
    return reader && std::any_of(readers_.begin(), readers_.end(),
                                 [reader](const auto& r) { return r.get() == reader; });
}

bool RecordPlayManager::FirstFile(RecFileReader* reader, rec::RecTime& first, rec::RecTime& last,
                                  uint32_t& count) {
    if (!IsPlaying(reader)) return false;
    reader->current_ = 0;
    reader->offset_ = rec::kHeaderSize;
    rec::HeaderBytes bytes;
    if (!reader->OpenCurrent() || !rec::ReadHeader(reader->fd_, bytes)) return false;
    const rec::RecHeader header = rec::RecHeader::Parse(bytes);
    first = header.first, last = header.last, count = header.count;
    return true;
}

bool RecordPlayManager::FirstRecord(RecFileReader* reader, PlayInfo& info) {
    if (!IsPlaying(reader)) return false;
    reader->CloseCurrent();
    reader->current_ = 0;
    reader->offset_ = rec::kHeaderSize;
    return ReadRecord(reader, info);
}

bool RecordPlayManager::NextRecord(RecFileReader* reader, PlayInfo& info) {
    return IsPlaying(reader) && ReadRecord(reader, info);
}

bool RecordPlayManager::ReadRecord(RecFileReader* r, PlayInfo& info) {
    const auto next_file = [r] {
        r->CloseCurrent();
        ++r->current_;
        r->offset_ = rec::kHeaderSize;
    };
    while (r->current_ < r->files_.size()) {
        if (r->fd_ < 0 && !r->OpenCurrent()) {
            next_file();
            continue;
        }
        rec::RecordComment c;
        // The end of a file, or a record that cannot be located (size 0,
        // smaller than its header, past the end): on with the next file.
        if (rec::ReadRecordAt(r->fd_, r->offset_, r->file_size_, c) != rec::RecordStatus::kOk) {
            next_file();
            continue;
        }
        info.path = r->files_[r->current_];
        info.offset = r->offset_;
        info.size = c.size;
        info.time = c.time;
        info.camera = c.camera;
        info.reverse = c.reverse, info.type = c.type, info.x = c.x, info.y = c.y;
        info.format = c.format, info.width = c.width, info.height = c.height;
        info.filename = c.filename;
        r->offset_ += c.size;
        return true;
    }
    return false;
}

void RecordPlayManager::ClosePlayback(RecFileReader* reader) {
    std::erase_if(readers_, [reader](const auto& r) { return r.get() == reader; });
}

std::string StillTimeStampText(int style, const rec::RecTime& t) {
    char text[96];
    switch (style) {
        case 0:
            std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d.%2.2d", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.millisecond / 10);
            break;
        case 2:
            std::snprintf(text, sizeof text, "%2.2d/%2.2d/%4.4d %2.2d:%2.2d:%2.2d", t.day, t.month,
                          t.year, t.hour, t.minute, t.second);
            break;
        case 3:
            std::snprintf(text, sizeof text, "%2.2d/%2.2d/%4.4d %2.2d:%2.2d:%2.2d", t.month, t.day,
                          t.year, t.hour, t.minute, t.second);
            break;
        case 4:
            std::snprintf(text, sizeof text, "%2.2d/%2.2d %2.2d:%2.2d:%2.2d", t.month, t.day,
                          t.hour, t.minute, t.second);
            break;
        case 5:
            std::snprintf(text, sizeof text, "%2.2d:%2.2d:%2.2d", t.hour, t.minute, t.second);
            break;
        case 6:
            std::snprintf(text, sizeof text, "%2.2d:%2.2d", t.hour, t.minute);
            break;
        default:  // 1 and any other style
            std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d", t.year, t.month,
                          t.day, t.hour, t.minute, t.second);
            break;
    }
    return text;
}

void TurnHalfRound(std::vector<uint8_t>& pixels, int width, int height) {
    const size_t n = size_t(width) * size_t(height);
    if (width <= 0 || height <= 0 || pixels.size() < n * 3) return;
    // Pixel k changes place with pixel n-1-k; the middle row of an odd
    // height turns too.
    for (size_t k = 0; k < n / 2; ++k) {
        uint8_t* a = pixels.data() + k * 3;
        uint8_t* b = pixels.data() + (n - 1 - k) * 3;
        std::swap_ranges(a, a + 3, b);
    }
}

int16_t LoadStillPicture(const std::string& path, const StillDecoder& decode, bool no_time_stamp,
                         StillPicture& out) {
    constexpr size_t kLargestFile = 64u << 20;
    std::vector<uint8_t> data;
    {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0) return 4;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            return 4;
        }
        if (uint64_t(st.st_size) > kLargestFile) {
            close(fd);
            return 5;
        }
        data.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        close(fd);
        data.resize(got);
    }
    if (data.empty()) return 4;
    if (!decode) return 5;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!decode(data, width, height, pixels) || width <= 0 || height <= 0 ||
        pixels.size() != size_t(width) * size_t(height) * 3) {
        return 5;
    }
    // The receive path writes its comment at offset 24, so these fields
    // stand at fixed places in every picture it made.
    const bool reversed =
        data.size() > 53 && std::memcmp(data.data() + 43, "reverse = ", 10) == 0 && data[53] == '1';
    rec::RecTime time;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    time.year = uint16_t(local.tm_year + 1900), time.month = uint16_t(local.tm_mon + 1);
    time.day_of_week = uint16_t(local.tm_wday), time.day = uint16_t(local.tm_mday);
    time.hour = uint16_t(local.tm_hour), time.minute = uint16_t(local.tm_min);
    time.second = uint16_t(local.tm_sec);
    if (data.size() >= 68 + 17 && std::memcmp(data.data() + 56, "timestamp = ", 12) == 0 &&
        std::all_of(data.begin() + 68, data.begin() + 85,
                    [](uint8_t c) { return c >= '0' && c <= '9'; })) {
        const auto at = [&](size_t pos, size_t n) {
            uint16_t v = 0;
            for (size_t i = 0; i < n; ++i)
                v = uint16_t(v * 10 + (data[pos + i] - '0'));
            return v;
        };
        time = {at(68, 4), at(72, 2), 0, at(74, 2), at(76, 2), at(78, 2), at(80, 2), at(82, 3)};
    }
    if (reversed) TurnHalfRound(pixels, width, height);
    out.shown = true;
    out.width = width;
    out.height = height;
    out.pixels = std::move(pixels);
    out.no_time_stamp = no_time_stamp;
    out.time = time;
    return 0;
}

}  // namespace kest
