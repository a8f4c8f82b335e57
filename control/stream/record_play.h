// Local recording of the presented pictures into ".rec" files, their
// playback record by record, and still pictures from JPEG files.
//
// Everything here runs on the control's window thread: the methods, the
// append from the new-image handling and the stop. The manager tells the
// control that a recording had to stop by posting to its window.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "control/stream/rec_file.h"

namespace kest {

class CameraListener;

// One entry of the control's play-information array.
struct PlayInfo {
    std::string path;
    uint64_t offset = 0;
    uint32_t size = 0;
    rec::RecTime time;
    std::string camera;
    int16_t reverse = 0, type = 0, x = 0, y = 0, format = 1, width = 0, height = 0;
    std::string filename;
};

// One open recording.
class RecFileWriter {
  public:
    ~RecFileWriter();
    const std::string& path() const { return path_; }
    uint32_t count() const { return count_; }
    const rec::RecTime& first_time() const { return first_; }
    const rec::RecTime& last_time() const { return last_; }
    double free_space() const { return free_space_; }
    uint64_t end_offset() const { return end_; }

  private:
    friend class RecordPlayManager;
    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    std::string path_;
    int kind_ = 1;
    double free_space_ = 0;
    uint32_t count_ = 0;
    bool first_seen_ = false;
    std::string tag_;
    rec::RecTime first_, last_;
    std::vector<std::string> names_;  // distinct camera texts, first come first
    uint64_t end_ = 0;                // where the next picture goes
    std::string rename_target_;       // set by the first picture of a type-20 camera
};

// One playback over the files that a name or pattern matched.
class RecFileReader {
  public:
    ~RecFileReader();
    const std::vector<std::string>& files() const { return files_; }
    uint64_t total_size() const { return total_size_; }

  private:
    friend class RecordPlayManager;
    bool OpenCurrent();
    void CloseCurrent();

    std::vector<std::string> files_;
    uint64_t total_size_ = 0;
    size_t current_ = 0;
    int fd_ = -1;
    uint64_t offset_ = rec::kHeaderSize;
    uint64_t file_size_ = 0;
};

// Recording options of the manager's start; the control uses the defaults.
struct RecStartOptions {
    int kind = 1;
    std::string tag = "alm";
    // Post why a start failed (StopRec codes 1 to 4) and the disk warning;
    // notify_value goes with them as MoreInfo.
    bool notify = false;
    int32_t notify_value = 0;
    std::string camera;
};

class RecordPlayManager {
  public:
    // The free space of a folder in bytes; the default asks the file system.
    using FreeSpaceSource = std::function<double(const std::string& folder)>;

    // Messages go to the notified control's window as it is at posting time.
    explicit RecordPlayManager(CameraListener* notified = nullptr);
    ~RecordPlayManager();  // stops every recording (type 0), closes playbacks
    RecordPlayManager(const RecordPlayManager&) = delete;
    RecordPlayManager& operator=(const RecordPlayManager&) = delete;

    // The largest picture a record may hold.
    static constexpr size_t kLargestPicture = 256u << 20;

    RecFileWriter* StartRecording(const std::string& path, const RecStartOptions& options = {});
    // Writes every picture so that playback finds it: a picture without a
    // usable comment gets one of its own (with reverse and the local time),
    // one whose time stamp has no date gets the local time. The length on
    // success; 0 when the recording must end (the stop message is posted).
    size_t AppendPicture(RecFileWriter* writer, std::span<const uint8_t> jpeg,
                         const std::string* camera, const rec::RecTime* time, int camera_type,
                         int reverse = 0);
    void StopRecording(RecFileWriter* writer, int camera_type);
    bool IsRecording(const RecFileWriter* writer) const;
    // An open writer records this file (compared as the same file on disk).
    bool IsUnderRecording(const std::string& path) const;

    RecFileReader* OpenPlayback(const std::string& pattern, int flag = 0);
    // Positions at the first file and reads its header again.
    bool FirstFile(RecFileReader* reader, rec::RecTime& first, rec::RecTime& last, uint32_t& count);
    bool FirstRecord(RecFileReader* reader, PlayInfo& info);
    bool NextRecord(RecFileReader* reader, PlayInfo& info);
    void ClosePlayback(RecFileReader* reader);
    bool IsPlaying(const RecFileReader* reader) const;

    // Free space of the folder of path (the part up to its last '/', the
    // current directory without one).
    double FreeSpace(const std::string& path) const;
    void set_free_space_source(FreeSpaceSource source) { free_space_ = std::move(source); }
    // The local clock that dates pictures without a date; tests set their own.
    using Clock = std::function<rec::RecTime()>;
    void set_clock(Clock clock) { now_ = std::move(clock); }

    double min_free_recording() const { return min_free_recording_; }
    void set_min_free_recording(double bytes) { min_free_recording_ = bytes; }
    void set_min_free_second(double bytes) { min_free_second_ = bytes; }
    void set_warning_margin(double bytes) { warning_margin_ = bytes; }
    const std::string& settings_path() const { return settings_path_; }
    uint32_t append_counter() const { return append_counter_; }

  private:
    void Post(uint32_t message, uintptr_t wparam, intptr_t lparam) const;
    bool ReadRecord(RecFileReader* reader, PlayInfo& info);

    CameraListener* notified_;
    std::vector<std::unique_ptr<RecFileWriter>> writers_;
    std::vector<std::unique_ptr<RecFileReader>> readers_;
    double min_free_recording_ = 125829120.0;
    double min_free_second_ = 104857600.0;
    double warning_margin_ = 20971520.0;
    std::string settings_path_;
    uint32_t append_counter_ = 0;
    FreeSpaceSource free_space_;
    Clock now_;
};

// "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d.rec" of a time.
std::string RecFileName(int year, int month, int day, int hour, int minute, int second);

// A still picture shown instead of the live ones: 24-bit pixels, three bytes
// each, rows top to bottom without padding.
struct StillPicture {
    bool shown = false;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    bool no_time_stamp = false;
    rec::RecTime time;
};

// Decodes a JPEG file into 24-bit pixels; false on failure. The rendering
// supplies it (through the decoder plug-in).
using StillDecoder = std::function<bool(std::span<const uint8_t> jpeg, int& width, int& height,
                                        std::vector<uint8_t>& pixels)>;

// Reads a JPEG file into a still picture: 0; 4 for an empty or unreadable
// file; 5 when there is no decoder, decoding fails or the size is zero.
int16_t LoadStillPicture(const std::string& path, const StillDecoder& decode, bool no_time_stamp,
                         StillPicture& out);

// The still picture's time stamp as drawn in a time-stamp style (0 to 6;
// any other style draws like 1).
std::string StillTimeStampText(int style, const rec::RecTime& time);

// Turns 24-bit pixels by 180 degrees in place.
void TurnHalfRound(std::vector<uint8_t>& pixels, int width, int height);

}  // namespace kest
