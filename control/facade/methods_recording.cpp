// Local recording and playback, still pictures, saving the current picture.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "control/facade/ctrl.h"
#include "platform/files.h"

namespace kest {

namespace {

constexpr double kMinFreeBytes = 52428800.0;   // 50 MiB
constexpr double kWarningMargin = 15728640.0;  // 15 MiB
constexpr uint32_t kLargestRecord = 256u << 20;

bool WriteFile(const std::string& path, const uint8_t* data, size_t length) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = write(fd, data + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return close(fd) == 0 && done == length;
}

}  // namespace

void CKestCtrl::InitRecordPlay() {
    record_play_ = std::make_unique<RecordPlayManager>(this);
    record_play_->set_min_free_recording(kMinFreeBytes);
    record_play_->set_min_free_second(kMinFreeBytes);
    record_play_->set_warning_margin(kWarningMargin);
}

// Between NewImage and the release of the presentation lock: the presented
// picture cannot change while it is copied and recorded.
void CKestCtrl::RecordNewImage() {
    const uint8_t* jpeg = camera_->presented_jpeg();
    const size_t length = camera_->presented_length();
    if (!jpeg || length == 0) return;
    current_picture_.assign(jpeg, jpeg + length);
    if (!recording_) return;
    const std::span<const uint8_t> picture(current_picture_);
    const auto time = rec::ParsePictureTime(picture);
    const std::string camera_text;
    if (record_play_->AppendPicture(recording_, picture, &camera_text, time ? &*time : nullptr,
                                    camera_->model_code(), camera_->presented_reverse()) == 0) {
        // The manager posted StopRec(0, 0): the disk is full or the picture
        // could not be written.
        record_play_->StopRecording(recording_, 0);
        recording_ = nullptr;
        if (window_) window_->Invalidate();
    }
}

int16_t CKestCtrl::SaveImage(const std::string& Filename) {
    if (current_picture_.empty()) return kResultFailed;
    if (!WriteFile(Filename, current_picture_.data(), current_picture_.size()))
        return kResultFileFailed;
    return kResultOk;
}

int16_t CKestCtrl::StartRec(const std::string& FolderName) {
    if (recording_) return kResultBusy;
    struct stat st {};
    if (FolderName.empty() || stat(FolderName.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return kResultBadFirst;
    std::string folder = FolderName;
    if (folder.back() != '/') folder += '/';
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    const std::string path = folder + RecFileName(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                                                  t.tm_hour, t.tm_min, t.tm_sec);
    RecFileWriter* writer = record_play_->StartRecording(path);
    if (!writer) return kResultFileFailed;
    recording_ = writer;
    if (window_) window_->Invalidate();
    return kResultOk;
}

int16_t CKestCtrl::StopRec() {
    if (!recording_) return kResultStatus;
    record_play_->StopRecording(recording_, camera_ ? camera_->model_code() : 0);
    recording_ = nullptr;
    if (window_) window_->Invalidate();
    return kResultOk;
}

int16_t CKestCtrl::DeleteRec(const std::string& Filename) {
    // The file being recorded is not deleted: its pictures would go on into
    // a file that no longer has a name.
    if (Filename.empty() || record_play_->IsUnderRecording(Filename)) return kResultFileFailed;
    return unlink(Filename.c_str()) == 0 ? kResultOk : kResultFileFailed;
}

int16_t CKestCtrl::InitPlayRec(const std::string& Filename, int32_t& DataCount) {
    if (playback_) return kResultBusy;
    RecFileReader* reader = Filename.empty() ? nullptr : record_play_->OpenPlayback(Filename, 0);
    if (!reader) return kResultFileFailed;
    rec::RecTime first, last;
    uint32_t count = 0;
    // A count a host would read as negative belongs to a damaged header.
    if (!record_play_->FirstFile(reader, first, last, count) || count > uint32_t(INT32_MAX)) {
        record_play_->ClosePlayback(reader);
        return kResultFileFailed;
    }
    playback_ = reader;
    DataCount = int32_t(count);
    return kResultOk;
}

int16_t CKestCtrl::AppendPlayInfo(bool first) {
    if (!playback_) return kResultBadArgument;
    if (first) play_info_.clear();
    PlayInfo info;
    const bool read = first ? record_play_->FirstRecord(playback_, info)
                            : record_play_->NextRecord(playback_, info);
    if (!read) {
        // The end of the recording, or a damaged record, ends the playback.
        record_play_->ClosePlayback(playback_);
        playback_ = nullptr;
        return kResultFileFailed;
    }
    play_info_.push_back(std::move(info));
    return kResultOk;
}

int16_t CKestCtrl::MakeFirstPlayInfo() {
    return AppendPlayInfo(true);
}

int16_t CKestCtrl::MakeNextPlayInfo() {
    return AppendPlayInfo(false);
}

int16_t CKestCtrl::MakeJpegTmpfile(std::string& Filename, int32_t Index, std::string& DateTime) {
    if (playback_) {
        record_play_->ClosePlayback(playback_);
        playback_ = nullptr;
    }
    if (Index < 1 || size_t(Index) > play_info_.size()) return kResultBadArgument;
    const PlayInfo& entry = play_info_[size_t(Index) - 1];
    if (entry.size > kLargestRecord) return kResultFailed;
    std::vector<uint8_t> record(entry.size);
    const int fd = open(entry.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kResultFailed;
    const ssize_t got = pread(fd, record.data(), record.size(), off_t(entry.offset));
    close(fd);
    if (got != ssize_t(record.size())) return kResultFailed;
    const auto path = platform::MakeTempFile("KX9");
    if (!path) return kResultFileFailed;
    if (!WriteFile(*path, record.data(), record.size())) {
        unlink(path->c_str());
        return kResultFileFailed;
    }
    Filename = *path;
    DateTime = entry.time.Digits();
    return kResultOk;
}

int16_t CKestCtrl::QuitPlayRec() {
    if (playback_) record_play_->ClosePlayback(playback_);
    playback_ = nullptr;
    play_info_.clear();
    return kResultOk;
}

int16_t CKestCtrl::ShowJpegFile(const std::string& Filename, int16_t NoTimeStamp) {
    if (Filename.empty()) {
        still_ = StillPicture{};
        if (window_) window_->Invalidate();
        return kResultOk;
    }
    StillPicture still;
    const int16_t result = LoadStillPicture(Filename, still_decoder_, NoTimeStamp != 0, still);
    if (result != 0) return result;
    still_ = std::move(still);
    if (window_) window_->Invalidate();
    return kResultOk;
}

}  // namespace kest
