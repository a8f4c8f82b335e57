// Recording and playback costs: appending 640x480 pictures for 16 cameras,
// each into a folder of its own (the free-space query of every append
// included), against the decode time of the same picture; and walking the
// records of a 1 GiB recording.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "control/stream/record_play.h"

namespace {

using kest::rec::RecTime;

// A 640x480 picture with texture and noise, so that it compresses like a
// camera picture (tens of kilobytes), with the receive path's comment.
const std::vector<uint8_t>& CameraPicture() {
    static const std::vector<uint8_t> jpeg = [] {
        const int w = 640, h = 480;
        std::vector<uint8_t> rgb(size_t(w) * h * 3);
        std::mt19937 rng(7);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
                const int n = int(rng() % 10);
                p[0] = uint8_t((x * 255 / w + n) & 255);
                p[1] = uint8_t((y * 255 / h + ((x / 16 + y / 16) % 2) * 60 + n) & 255);
                p[2] = uint8_t(((x ^ y) & 255) / 2 + n);
            }
        tjhandle tj = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(tj, rgb.data(), w, 0, h, TJPF_RGB, &out, &size, TJSAMP_422, 80, 0);
        std::vector<uint8_t> plain(out, out + size);
        tjFree(out);
        tjDestroy(tj);
        char text[160];
        std::snprintf(text, sizeof text,
                      "size = %%10d; reverse = 0; timestamp = 20020305140709045; camera = ;");
        const size_t c = std::strlen(text) + 6;
        char filled[200];
        std::snprintf(filled, sizeof filled, text, int(plain.size() + 4 + c));
        std::vector<uint8_t> pic(plain.begin(), plain.begin() + 20);
        const size_t n = std::strlen(filled);
        pic.push_back(0xFF), pic.push_back(0xFE);
        pic.push_back(uint8_t((n + 2) >> 8)), pic.push_back(uint8_t(n + 2));
        pic.insert(pic.end(), filled, filled + n);
        pic.insert(pic.end(), plain.begin() + 20, plain.end());
        return pic;
    }();
    return jpeg;
}

std::string BenchFolder(const std::string& name) {
    const std::string path = std::filesystem::temp_directory_path() /
                             ("kest-bench-" + name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
}

void BM_DecodePicture640x480(benchmark::State& state) {
    const auto& jpeg = CameraPicture();
    std::vector<uint8_t> rgb(640 * 480 * 3);
    tjhandle tj = tjInitDecompress();
    for (auto _ : state) {
        tjDecompress2(tj, jpeg.data(), (unsigned long)jpeg.size(), rgb.data(), 640, 0, 480,
                      TJPF_BGR, 0);
        benchmark::DoNotOptimize(rgb.data());
    }
    tjDestroy(tj);
    state.counters["picture_bytes"] = double(jpeg.size());
}
BENCHMARK(BM_DecodePicture640x480)->Unit(benchmark::kMicrosecond);

// Sixteen cameras at 30 pictures per second, one recorder each, each into
// its own folder; the iteration is one append (with its statvfs).
void BM_Append16Cameras(benchmark::State& state) {
    constexpr int kCameras = 16;
    const auto& jpeg = CameraPicture();
    const std::string root = BenchFolder("append");
    std::vector<std::unique_ptr<kest::RecordPlayManager>> managers;
    std::vector<kest::RecFileWriter*> writers;
    for (int i = 0; i < kCameras; ++i) {
        const std::string folder = root + "/cam" + std::to_string(i);
        std::filesystem::create_directory(folder);
        managers.push_back(std::make_unique<kest::RecordPlayManager>());
        managers.back()->set_min_free_recording(52428800.0);
        writers.push_back(managers.back()->StartRecording(folder + "/20020305140709.rec"));
        if (!writers.back()) {
            state.SkipWithError("cannot start a recording");
            return;
        }
    }
    RecTime t;
    t.year = 2002, t.month = 3, t.day = 5;
    const std::string camera;
    size_t i = 0;
    for (auto _ : state) {
        const size_t c = i++ % kCameras;
        if (managers[c]->AppendPicture(writers[c], jpeg, &camera, &t, 0) == 0) {
            state.SkipWithError("append failed");
            break;
        }
    }
    for (int c = 0; c < kCameras; ++c)
        managers[size_t(c)]->StopRecording(writers[size_t(c)], 0);
    std::filesystem::remove_all(root);
    state.counters["picture_bytes"] = double(jpeg.size());
}
// Ten seconds of 16 cameras at 30 pictures per second.
BENCHMARK(BM_Append16Cameras)->Iterations(16 * 30 * 10)->Unit(benchmark::kMicrosecond);

// A 1 GiB recording. Only the first bytes of each record are read by the
// walk, so the pictures' bodies are left as holes of a sparse file.
std::string OneGibRecording(size_t& records) {
    static std::string path;
    static size_t count = 0;
    if (path.empty()) {
        const auto& jpeg = CameraPicture();
        path = BenchFolder("index") + "/big.rec";
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        const auto header = kest::rec::RecHeader::Fresh();
        if (pwrite(fd, header.data(), header.size(), 0) != ssize_t(header.size())) std::abort();
        uint64_t offset = kest::rec::kHeaderSize;
        while (offset + jpeg.size() <= (uint64_t(1) << 30)) {
            if (pwrite(fd, jpeg.data(), 1024, off_t(offset)) != 1024) std::abort();
            offset += jpeg.size();
            ++count;
        }
        if (ftruncate(fd, off_t(offset)) != 0) std::abort();
        close(fd);
    }
    records = count;
    return path;
}

void BM_IndexOneGibRecording(benchmark::State& state) {
    size_t records = 0;
    const std::string path = OneGibRecording(records);
    for (auto _ : state) {
        kest::rec::FileIndex index;
        std::string error;
        if (!kest::rec::IndexFile(path, index, error) || index.records.size() != records) {
            state.SkipWithError("walk stopped early");
            break;
        }
    }
    state.counters["records"] = double(records);
}
BENCHMARK(BM_IndexOneGibRecording)->Unit(benchmark::kMillisecond);

// The same walk through the playback reader, record by record.
void BM_PlaybackWalkOneGibRecording(benchmark::State& state) {
    size_t records = 0;
    const std::string path = OneGibRecording(records);
    kest::RecordPlayManager manager;
    for (auto _ : state) {
        kest::RecFileReader* r = manager.OpenPlayback(path);
        size_t n = 0;
        kest::PlayInfo info;
        // The file has no completed header: make it playable first.
        if (!r) {
            kest::rec::RepairReport report;
            std::string error;
            if (!kest::rec::RepairFile(path, report, error)) {
                state.SkipWithError("cannot repair");
                break;
            }
            r = manager.OpenPlayback(path);
        }
        if (r && manager.FirstRecord(r, info)) {
            ++n;
            while (manager.NextRecord(r, info))
                ++n;
        }
        manager.ClosePlayback(r);
        if (n != records) state.SkipWithError("walk stopped early");
    }
    state.counters["records"] = double(records);
}
BENCHMARK(BM_PlaybackWalkOneGibRecording)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    size_t records = 0;
    std::filesystem::remove_all(std::filesystem::path(OneGibRecording(records)).parent_path());
    return 0;
}
