// kestctl's record and rec commands: the real program on real files, and
// against an in-process simulator for the live recording.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "control/stream/record_play.h"
#include "sim/simulator.h"
#include "tests/control/stream/avi_test_reader.h"
#include "tests/control/stream/rec_test_pictures.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

struct CtlRun {
    int exit_code = -1;
    std::string out;
};

CtlRun Kestctl(const std::string& args) {
    CtlRun run;
    FILE* p =
        popen((std::string(KESTCTL_PATH) + " " + args + " 2>/dev/null </dev/null").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        run.out.append(buf, n);
    const int status = pclose(p);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

long Field(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const size_t at = json.find(key);
    if (at == std::string::npos) return -1;
    return std::strtol(json.c_str() + at + key.size(), nullptr, 10);
}

class RecCommandsTest : public ::testing::Test {
  protected:
    // Pictures 100 ms apart, as from a camera at 10 per second.
    std::vector<std::vector<uint8_t>> Make(const std::string& path, int n, bool close = true) {
        RecFileWriter* w = manager_.StartRecording(path);
        std::vector<std::vector<uint8_t>> pictures;
        for (int i = 0; i < n; ++i) {
            const rec::RecTime t = test::Time(2002, 3, 5, 14, 7, 9 + i / 10, (i % 10) * 100);
            pictures.push_back(test::Picture(i, t, 0, 64, 48));
            manager_.AppendPicture(w, pictures.back(), nullptr, &t, 0);
        }
        if (close) manager_.StopRecording(w, 0);
        return pictures;
    }
    void SetUp() override {
        manager_.set_free_space_source([](const std::string&) { return 1e12; });
    }
    test::ScopedTempDir dir_;
    RecordPlayManager manager_;
};

TEST_F(RecCommandsTest, InfoListsTheHeaderAndEveryRecord) {
    const auto pictures = Make(dir_.File("a.rec"), 3);
    const CtlRun r = Kestctl("rec info " + dir_.File("a.rec"));
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("\"magic\":true"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"first\":\"20020305140709000\""), std::string::npos);
    EXPECT_NE(r.out.find("\"last\":\"20020305140709200\""), std::string::npos);
    EXPECT_EQ(Field(r.out, "count"), 3);
    EXPECT_EQ(Field(r.out, "format"), 336);
    EXPECT_NE(r.out.find("{\"offset\":" + std::to_string(8390 + pictures[0].size()) +
                         ",\"size\":" + std::to_string(pictures[1].size())),
              std::string::npos);
    EXPECT_EQ(Kestctl("rec info " + dir_.File("missing.rec")).exit_code, 1);
    EXPECT_EQ(Kestctl("rec info").exit_code, 2);
    EXPECT_EQ(Kestctl("rec frobnicate x").exit_code, 2);
}

TEST_F(RecCommandsTest, ExtractWritesEveryPictureAsItsOwnJpegFile) {
    const auto pictures = Make(dir_.File("a.rec"), 4);
    std::filesystem::create_directory(dir_.File("out"));
    const CtlRun r = Kestctl("rec extract " + dir_.File("a.rec") + " " + dir_.File("out"));
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(Field(r.out, "extracted"), 4);
    for (int i = 0; i < 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "out/%06d.jpg", i + 1);
        EXPECT_EQ(test::ReadAll(dir_.File(name)), pictures[size_t(i)]) << name;
    }
    EXPECT_EQ(Kestctl("rec extract " + dir_.File("a.rec") + " " + dir_.File("nofolder")).exit_code,
              1);
}

TEST_F(RecCommandsTest, ExportMakesAnAviThatReadsBackFrameByFrame) {
    const auto pictures = Make(dir_.File("a.rec"), 11);
    const std::string avi = dir_.File("a.avi");
    const CtlRun r = Kestctl("rec export " + dir_.File("a.rec") + " " + avi);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const auto a = test::ReadAvi(test::ReadAll(avi));
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.frames, pictures);
    EXPECT_EQ(a.indexed, pictures);
    // Ten intervals in one second: 10 pictures per second.
    EXPECT_EQ(a.rate, 10u);
    EXPECT_EQ(a.scale, 1u);
    EXPECT_EQ(a.width, 64u);
    EXPECT_EQ(a.height, 48u);
    // A standard tool decodes every frame, when one is installed.
    if (std::filesystem::exists("/usr/bin/ffprobe")) {
        FILE* p = popen(("/usr/bin/ffprobe -v error -count_frames -select_streams v:0 "
                         "-show_entries stream=codec_name,nb_read_frames -of csv=p=0 " +
                         avi + " 2>&1")
                            .c_str(),
                        "r");
        char line[256] = {};
        const size_t n = fread(line, 1, sizeof line - 1, p);
        pclose(p);
        EXPECT_EQ(std::string(line, n), "mjpeg,11\n");
    }
    // Nothing to export from a file without pictures.
    Make(dir_.File("empty.rec"), 0);
    EXPECT_EQ(Kestctl("rec export " + dir_.File("empty.rec") + " " + dir_.File("e.avi")).exit_code,
              1);
}

TEST_F(RecCommandsTest, RepairMakesAnUnclosedRecordingPlayableAgain) {
    Make(dir_.File("crash.rec"), 5, false);  // the writer stays open: the header is incomplete
    const std::string copy = dir_.File("copy.rec");
    std::filesystem::copy_file(dir_.File("crash.rec"), copy);
    EXPECT_EQ(manager_.OpenPlayback(copy), nullptr);
    const CtlRun r = Kestctl("rec repair " + copy);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(Field(r.out, "count"), 5);
    EXPECT_EQ(Field(r.out, "trailing_bytes"), 0);
    RecFileReader* reader = manager_.OpenPlayback(copy);
    ASSERT_NE(reader, nullptr);
    rec::RecTime first, last;
    uint32_t count = 0;
    ASSERT_TRUE(manager_.FirstFile(reader, first, last, count));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(last, test::Time(2002, 3, 5, 14, 7, 9, 400));
    manager_.ClosePlayback(reader);

    test::WriteAll(dir_.File("junk.rec"), std::vector<uint8_t>(10000, 0x5A));
    const CtlRun junk = Kestctl("rec repair " + dir_.File("junk.rec"));
    EXPECT_EQ(junk.exit_code, 1);
    EXPECT_NE(junk.out.find("\"error\""), std::string::npos);
    EXPECT_EQ(test::ReadAll(dir_.File("junk.rec")), std::vector<uint8_t>(10000, 0x5A));
}

TEST_F(RecCommandsTest, RepairLeavesTheHeaderOfAClosedRecordingAlone) {
    // 80 pictures, closed properly; then record 41 is damaged, which hides
    // every record after it from a walk.
    const std::string path = dir_.File("closed.rec");
    const auto pictures = Make(path, 80);
    auto bytes = test::ReadAll(path);
    size_t at = 8390;
    for (size_t i = 0; i < 40; ++i)
        at += pictures[i].size();
    bytes[at + 30] = 'x';  // inside the size field
    test::WriteAll(path, bytes);

    const CtlRun r = Kestctl("rec repair " + path);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("\"repaired\":false,\"already_complete\":true"), std::string::npos)
        << r.out;
    EXPECT_EQ(Field(r.out, "count"), 80);
    EXPECT_EQ(test::ReadAll(path), bytes);

    // A recording that was never closed is repaired once, then left alone.
    Make(dir_.File("open.rec"), 3, false);
    const CtlRun first = Kestctl("rec repair " + dir_.File("open.rec"));
    EXPECT_NE(first.out.find("\"repaired\":true"), std::string::npos) << first.out;
    const auto repaired = test::ReadAll(dir_.File("open.rec"));
    const CtlRun second = Kestctl("rec repair " + dir_.File("open.rec"));
    EXPECT_NE(second.out.find("\"already_complete\":true"), std::string::npos) << second.out;
    EXPECT_EQ(Field(second.out, "count"), 3);
    EXPECT_EQ(test::ReadAll(dir_.File("open.rec")), repaired);
}

TEST_F(RecCommandsTest, RecordStoresTheLiveStreamOfASimulatedCamera) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 20;
    config.version_number = 20;
    sim::Simulator sim(config);
    ASSERT_TRUE(sim.Start());
    std::filesystem::create_directory(dir_.File("live"));
    const CtlRun r = Kestctl("--ip 127.0.0.1 --port " + std::to_string(sim.port()) +
                             " --timeout 300 record --seconds 1 " + dir_.File("live"));
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const long pictures = Field(r.out, "pictures");
    EXPECT_GT(pictures, 0);
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir_.File("live")))
        files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    rec::FileIndex index;
    std::string error;
    ASSERT_TRUE(rec::IndexFile(files[0], index, error));
    EXPECT_TRUE(index.header.Playable());
    // Every picture after StartRec is in the file (at most the one pending at the start is not).
    EXPECT_EQ(index.records.size(), index.header.count);
    EXPECT_GE(long(index.header.count), pictures - 1);
    EXPECT_LE(long(index.header.count), pictures);
    EXPECT_EQ(index.end_of_records, index.file_size);

    EXPECT_EQ(Kestctl("record --seconds x " + dir_.File("live")).exit_code, 2);
}

}  // namespace
}  // namespace kest
