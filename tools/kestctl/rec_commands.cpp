#include "tools/kestctl/rec_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "control/facade/events.h"
#include "control/stream/avi_writer.h"
#include "control/stream/rec_file.h"
#include "tools/kestctl/json.h"

namespace kestctl {

namespace {

using kest::rec::FileIndex;
using kest::rec::RecTime;

std::string TimeJson(const RecTime& t) {
    return JsonString(t.Digits());
}

int Fail(const std::string& message) {
    std::printf("{\"error\":%s}\n", JsonString(message).c_str());
    return 1;
}

bool Index(const std::string& path, FileIndex& index, std::string& error) {
    return kest::rec::IndexFile(path, index, error);
}

// Reads one record whole; the walk has checked it against the file size.
bool ReadRecord(int fd, const kest::rec::RecordEntry& e, std::vector<uint8_t>& out) {
    out.resize(e.comment.size);
    size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = pread(fd, out.data() + got, out.size() - got, off_t(e.offset + got));
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

int Info(const std::string& path) {
    FileIndex index;
    std::string error;
    if (!Index(path, index, error)) return Fail(path + ": " + error);
    const auto& h = index.header;
    std::string out =
        "{\"file\":" + JsonString(path) + ",\"size\":" + std::to_string(index.file_size) +
        ",\"magic\":" + (h.magic_ok ? "true" : "false") +
        ",\"flag\":" + (h.flag ? "true" : "false") + ",\"format\":" + std::to_string(h.format) +
        ",\"first\":" + TimeJson(h.first) + ",\"last\":" + TimeJson(h.last) +
        ",\"count\":" + std::to_string(h.count) +
        ",\"playable\":" + (h.Playable() ? "true" : "false") + ",\"names\":[";
    for (size_t i = 0; i < h.names.size(); ++i)
        out += (i ? "," : "") + JsonString(h.names[i]);
    out += "],\"end_of_records\":" + std::to_string(index.end_of_records) + ",\"records\":[";
    for (size_t i = 0; i < index.records.size(); ++i) {
        const auto& r = index.records[i];
        out += std::string(i ? "," : "") + "{\"offset\":" + std::to_string(r.offset) +
               ",\"size\":" + std::to_string(r.comment.size) +
               ",\"time\":" + TimeJson(r.comment.time) +
               ",\"reverse\":" + std::to_string(r.comment.reverse) +
               ",\"camera\":" + JsonString(r.comment.camera) + "}";
    }
    out += "]}";
    std::printf("%s\n", out.c_str());
    return 0;
}

int Extract(const std::string& path, const std::string& dir) {
    FileIndex index;
    std::string error;
    if (!Index(path, index, error)) return Fail(path + ": " + error);
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(dir + ": not a folder");
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(path + ": cannot open");
    std::vector<uint8_t> picture;
    size_t written = 0;
    for (const auto& r : index.records) {
        char name[32];
        std::snprintf(name, sizeof name, "/%06zu.jpg", written + 1);
        const std::string target = dir + name;
        FILE* f = nullptr;
        if (!ReadRecord(fd, r, picture) || !(f = std::fopen(target.c_str(), "wb")) ||
            std::fwrite(picture.data(), 1, picture.size(), f) != picture.size() ||
            std::fclose(f) != 0) {
            close(fd);
            return Fail(target + ": cannot write");
        }
        ++written;
    }
    close(fd);
    std::printf("{\"file\":%s,\"dir\":%s,\"extracted\":%zu}\n", JsonString(path).c_str(),
                JsonString(dir).c_str(), written);
    return 0;
}

int Export(const std::string& path, const std::string& avi) {
    FileIndex index;
    std::string error;
    if (!Index(path, index, error)) return Fail(path + ": " + error);
    if (index.records.empty()) return Fail(path + ": no readable picture");
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(path + ": cannot open");
    std::vector<uint8_t> picture;
    int width = 0, height = 0;
    if (!ReadRecord(fd, index.records.front(), picture) ||
        !kest::JpegSize(picture, width, height)) {
        close(fd);
        return Fail(path + ": the first picture has no frame header");
    }
    // The average rate over the recording's time stamps; a recording of one
    // picture, or one whose times do not advance, plays at 10 per second.
    uint64_t rate = 10, scale = 1;
    const int64_t span = index.records.back().comment.time.Milliseconds() -
                         index.records.front().comment.time.Milliseconds();
    if (index.records.size() > 1 && span > 0) {
        rate = uint64_t(index.records.size() - 1) * 1000;
        scale = uint64_t(span);
        const uint64_t g = std::gcd(rate, scale);
        rate /= g, scale /= g;
        while (rate > UINT32_MAX || scale > UINT32_MAX)
            rate = (rate + 1) / 2, scale = (scale + 1) / 2;
    }
    kest::AviWriter writer;
    if (!writer.Open(avi, width, height, uint32_t(rate), uint32_t(scale))) {
        close(fd);
        return Fail(avi + ": cannot create");
    }
    for (const auto& r : index.records) {
        if (!ReadRecord(fd, r, picture) || !writer.AddFrame(picture)) {
            close(fd);
            writer.Close();
            return Fail(avi + ": cannot write (or larger than an AVI file can be)");
        }
    }
    close(fd);
    if (!writer.Close()) return Fail(avi + ": cannot write");
    std::printf("{\"file\":%s,\"avi\":%s,\"frames\":%u,\"width\":%d,\"height\":%d,\"fps\":%.3f}\n",
                JsonString(path).c_str(), JsonString(avi).c_str(), writer.frames(), width, height,
                double(rate) / double(scale));
    return 0;
}

int Repair(const std::string& path) {
    kest::rec::RepairReport report;
    std::string error;
    if (!kest::rec::RepairFile(path, report, error)) return Fail(path + ": " + error);
    // A recording that was closed keeps the header its closing wrote.
    std::printf(
        "{\"file\":%s,\"repaired\":%s,\"already_complete\":%s,\"count\":%u,\"first\":%s,"
        "\"last\":%s,\"end_of_records\":%llu,\"trailing_bytes\":%llu}\n",
        JsonString(path).c_str(), report.already_complete ? "false" : "true",
        report.already_complete ? "true" : "false", report.count, TimeJson(report.first).c_str(),
        TimeJson(report.last).c_str(), (unsigned long long)report.end_of_records,
        (unsigned long long)(report.file_size - report.end_of_records));
    return 0;
}

class RecordSink final : public kest::_DKestEvents {
  public:
    void OnEvent(const kest::MemberInfo& e, std::span<const kest::Variant> args) override {
        const int first = args.empty() ? 0 : args[0].integer();
        switch (kest::EventId(e.dispid)) {
            case kest::EventId::NewImage:
                ++pictures;
                break;
            case kest::EventId::StopRec:
                stopped = true, stop_code = first;
                break;
            case kest::EventId::EndDownloading:
                ended = true, end_code = first;
                break;
            default:
                break;
        }
    }
    long pictures = 0;
    bool stopped = false, ended = false;
    int stop_code = 0, end_code = 0;
};

}  // namespace

int RunRec(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"rec needs info, extract, export or repair"};
    const std::string& what = args[0];
    const auto want = [&](size_t n, const char* usage) {
        if (args.size() != n + 1) throw UsageError{std::string("usage: kestctl rec ") + usage};
    };
    if (what == "info") return want(1, "info FILE"), Info(args[1]);
    if (what == "extract") return want(2, "extract FILE DIR"), Extract(args[1], args[2]);
    if (what == "export") return want(2, "export FILE OUT.avi"), Export(args[1], args[2]);
    if (what == "repair") return want(1, "repair FILE"), Repair(args[1]);
    throw UsageError{"unknown rec command '" + what + "'"};
}

int RunRecord(Host& host, const std::vector<std::string>& args) {
    if (args.size() != 3 || args[0] != "--seconds") {
        throw UsageError{"usage: kestctl [FLAGS] record --seconds S DIR"};
    }
    char* end = nullptr;
    const double seconds = std::strtod(args[1].c_str(), &end);
    if (*end || !(seconds > 0) || seconds > 86400)
        throw UsageError{"bad seconds '" + args[1] + "'"};
    kest::CKestCtrl& ctrl = host.ctrl();
    // Pictures come at the camera's rate; one event line each would drown the result.
    ctrl.Unadvise(&host);
    RecordSink sink;
    ctrl.Advise(&sink);
    kest::CKestCamera& camera = *ctrl.camera();
    if (camera.OpenSession(ctrl.RemoteIPAddress(), ctrl.CameraPort()) != 0) {
        ctrl.Unadvise(&sink);
        return Fail("no session with the camera");
    }
    const int16_t started = ctrl.StartRec(args[2]);
    if (started != 0) {
        camera.CloseSession();
        ctrl.Unadvise(&sink);
        return Fail("StartRec gave " + std::to_string(started));
    }
    const std::string path = args[2];
    int32_t rc = camera.StartReceiving(true, true);
    if (rc == 0) {
        host.loop().RunUntil([&] { return sink.stopped || sink.ended || Host::interrupted(); },
                             uint32_t(seconds * 1000));
    }
    const bool was_recording = ctrl.recording();
    ctrl.StopRec();
    // The receive thread may be waiting for the window to take a picture,
    // so the loop runs until the stream reports its end.
    if (rc == 0 && camera.RequestStop() == 0) {
        host.loop().RunUntil([&] { return sink.ended; }, 5000);
    }
    host.loop().RunPending();
    camera.CloseSession();
    ctrl.Unadvise(&sink);
    std::printf(
        "{\"dir\":%s,\"pictures\":%ld,\"stopped_by_disk\":%s,\"stream_start\":%d,"
        "\"stream_ended\":%s}\n",
        JsonString(path).c_str(), sink.pictures,
        (!was_recording && sink.stopped) ? "true" : "false", rc, sink.ended ? "true" : "false");
    return rc == 0 && was_recording ? 0 : 1;
}

}  // namespace kestctl
