// The control's recording and playback methods, on a live stream from the
// simulator and on files made by the recorder.
#include "control/stream/record_play.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <cstdlib>

#include <filesystem>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "sim/simulator.h"
#include "sim/stream.h"
#include "tests/control/stream/rec_test_pictures.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

constexpr uint8_t kSof0[] = {0xFF, 0xC0};

struct Sink : _DKestEvents {
    CKestCtrl* ctrl = nullptr;
    int pictures = 0;
    std::vector<std::pair<int, int>> stops;
    std::vector<std::vector<uint8_t>> presented;
    void OnEvent(const MemberInfo& e, std::span<const Variant> args) override {
        if (e.name == "NewImage") {
            ++pictures;
            CKestCamera& c = *ctrl->camera();
            presented.emplace_back(c.presented_jpeg(), c.presented_jpeg() + c.presented_length());
        }
        if (e.name == "StopRec") stops.emplace_back(args[0].integer(), args[1].integer());
    }
};

class RecordPlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctrl_.AttachWindow(loop_.CreateWindow(&ctrl_));
        sink_.ctrl = &ctrl_;
        ctrl_.Advise(&sink_);
        ctrl_.record_play().set_free_space_source([this](const std::string&) { return free_; });
        folder_ = dir_.File("rec");
        std::filesystem::create_directory(folder_);
    }
    void StartStream(int model = 20) {
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        config.version_number = 20;
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        ctrl_.SetRemoteIPAddress("127.0.0.1");
        ctrl_.SetCameraPort(sim_->port());
        ctrl_.camera()->set_reply_wait(200);
        ASSERT_EQ(ctrl_.camera()->OpenSession("127.0.0.1", sim_->port()), 0);
        ctrl_.camera()->set_frame_interval(0);
        ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    }
    bool WaitPictures(int n) {
        return loop_.RunUntil([&] { return sink_.pictures >= n; }, 10000);
    }
    void TearDown() override {
        if (sim_) {
            ctrl_.camera()->RequestStop();
            ctrl_.camera()->CloseSession();
        }
        loop_.RunPending();
        ctrl_.Unadvise(&sink_);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder_))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A closed recording made by the manager of another control.
    void MakeRecording(const std::string& path, int n, int seed) {
        RecordPlayManager m;
        m.set_free_space_source([](const std::string&) { return 1e12; });
        RecFileWriter* w = m.StartRecording(path);
        for (int i = 0; i < n; ++i) {
            const rec::RecTime t = test::Time(2005, 6, 7, 8, 9, 10 + i, i);
            m.AppendPicture(w, test::Picture(seed + i, t), nullptr, &t, 0);
        }
        m.StopRecording(w, 0);
    }

    test::ScopedTempDir dir_;
    std::string folder_;
    double free_ = 1e12;
    std::unique_ptr<sim::Simulator> sim_;
    platform::EventLoop loop_;
    CKestCtrl ctrl_;
    Sink sink_;
};

TEST_F(RecordPlayTest, StartRecChecksItsFolderAndRefusesASecondStart) {
    test::WriteAll(dir_.File("plain"), {1, 2, 3});
    EXPECT_EQ(ctrl_.StartRec(""), 101);
    EXPECT_EQ(ctrl_.StartRec(dir_.File("missing")), 101);
    EXPECT_EQ(ctrl_.StartRec(dir_.File("plain")), 101);
    EXPECT_EQ(ctrl_.StopRec(), 6);
    EXPECT_FALSE(ctrl_.recording());
    ASSERT_EQ(ctrl_.StartRec(folder_), 0);
    EXPECT_TRUE(ctrl_.recording());
    EXPECT_EQ(ctrl_.StartRec(folder_), 9);
    // The file's name is the local time of the start.
    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), 18u);
    EXPECT_EQ(files[0].substr(14), ".rec");
    EXPECT_EQ(ctrl_.StopRec(), 0);
    EXPECT_EQ(ctrl_.StopRec(), 6);
}

TEST_F(RecordPlayTest, TooLittleFreeSpaceAtTheStartGivesFourAndNoFile) {
    free_ = 50.0 * 1024 * 1024 - 1;
    EXPECT_EQ(ctrl_.StartRec(folder_ + "/"), 4);
    EXPECT_TRUE(Files().empty());
    EXPECT_FALSE(ctrl_.recording());
}

TEST_F(RecordPlayTest, ALiveStreamIsRecordedAndPlayedBackPictureByPicture) {
    StartStream(20);
    ASSERT_TRUE(WaitPictures(1));
    ASSERT_EQ(ctrl_.StartRec(folder_), 0);
    const int from = sink_.pictures;
    ASSERT_TRUE(WaitPictures(from + 4));
    ASSERT_EQ(ctrl_.StopRec(), 0);
    const int recorded = sink_.pictures - from;
    loop_.RunPending();

    // Type 20: the file is named after the first picture's time stamp.
    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    const std::string path = folder_ + "/" + files[0];
    const auto first_time = rec::ParsePictureTime(sink_.presented[size_t(from)]);
    ASSERT_TRUE(first_time);
    EXPECT_EQ(files[0], first_time->Digits().substr(0, 14) + ".rec");

    int32_t count = -1;
    ASSERT_EQ(ctrl_.InitPlayRec(path, count), 0);
    EXPECT_EQ(count, recorded);
    EXPECT_EQ(ctrl_.InitPlayRec(path, count), 9);
    ASSERT_EQ(ctrl_.MakeFirstPlayInfo(), 0);
    int16_t r = 0;
    while ((r = ctrl_.MakeNextPlayInfo()) == 0) {
    }
    EXPECT_EQ(r, 4);  // the end closes the playback
    EXPECT_EQ(ctrl_.MakeNextPlayInfo(), 100);
    ASSERT_EQ(ctrl_.play_info().size(), size_t(recorded));

    // Every record is the presented picture (its size field made right) and decodes.
    uint64_t offset = 8390;
    for (int i = 0; i < recorded; ++i) {
        const PlayInfo& info = ctrl_.play_info()[size_t(i)];
        const auto& shown = sink_.presented[size_t(from + i)];
        EXPECT_EQ(info.offset, offset);
        EXPECT_EQ(info.size, shown.size());
        offset += info.size;
        std::string name, digits;
        ASSERT_EQ(ctrl_.MakeJpegTmpfile(name, i + 1, digits), 0);
        const auto picture = test::ReadAll(name);
        std::remove(name.c_str());
        EXPECT_EQ(platform::FileTitle(name).substr(0, 3), "KX9");
        EXPECT_EQ(digits, rec::ParsePictureTime(shown)->Digits());
        ASSERT_EQ(picture.size(), shown.size());
        EXPECT_TRUE(std::equal(picture.begin() + 100, picture.end(), shown.begin() + 100));
        int w = 0, h = 0;
        EXPECT_FALSE(test::DecodeRgb(picture, w, h).empty());
        EXPECT_EQ(w, 640);
    }
    EXPECT_EQ(offset, std::filesystem::file_size(path));
}

TEST_F(RecordPlayTest, PicturesWithoutACommentAreRecordedAndPlayedBackEveryOne) {
    // A model-20 camera whose own header carries no comment: nothing says
    // when a picture was taken or how long it is.
    StartStream(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        sim_->State<sim::StreamState>().header_comment = false;
    }
    ASSERT_TRUE(WaitPictures(2));
    ASSERT_EQ(ctrl_.StartRec(folder_), 0);
    const int from = sink_.pictures;
    ASSERT_TRUE(WaitPictures(from + 5));
    ASSERT_EQ(ctrl_.StopRec(), 0);
    const int recorded = sink_.pictures - from;
    loop_.RunPending();
    EXPECT_TRUE(sink_.stops.empty());

    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    int32_t count = -1;
    ASSERT_EQ(ctrl_.InitPlayRec(folder_ + "/" + files[0], count), 0);
    EXPECT_EQ(count, recorded);
    ASSERT_EQ(ctrl_.MakeFirstPlayInfo(), 0);
    while (ctrl_.MakeNextPlayInfo() == 0) {
    }
    ASSERT_EQ(ctrl_.play_info().size(), size_t(recorded));
    for (int i = 0; i < recorded; ++i) {
        const PlayInfo& info = ctrl_.play_info()[size_t(i)];
        EXPECT_TRUE(info.time.Dated()) << i;
        std::string name, digits;
        ASSERT_EQ(ctrl_.MakeJpegTmpfile(name, i + 1, digits), 0);
        const auto picture = test::ReadAll(name);
        std::remove(name.c_str());
        int w = 0, h = 0;
        EXPECT_FALSE(test::DecodeRgb(picture, w, h).empty()) << i;
        EXPECT_EQ(w, 640);
    }
}

TEST_F(RecordPlayTest, FreeSpaceRunningOutDuringTheStreamFiresStopRecAndCompletesTheFile) {
    StartStream(20);
    ASSERT_EQ(ctrl_.StartRec(folder_), 0);
    const std::string path = folder_ + "/" + Files()[0];
    ASSERT_TRUE(WaitPictures(2));
    free_ = 1000;
    ASSERT_TRUE(loop_.RunUntil([&] { return !sink_.stops.empty(); }, 10000));
    EXPECT_EQ(sink_.stops, (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_FALSE(ctrl_.recording());
    EXPECT_EQ(ctrl_.StopRec(), 6);
    // Not renamed although the camera is of type 20, and closed properly.
    EXPECT_EQ(Files(), std::vector<std::string>{platform::FileTitle(path)});
    rec::FileIndex index;
    std::string error;
    ASSERT_TRUE(rec::IndexFile(path, index, error));
    EXPECT_TRUE(index.header.Playable());
    EXPECT_GE(index.header.count, 2u);
    EXPECT_EQ(index.records.size(), index.header.count);
    EXPECT_EQ(index.end_of_records, index.file_size);
}

TEST_F(RecordPlayTest, PlaybackOverAPatternAndItsResults) {
    int32_t count = 0;
    EXPECT_EQ(ctrl_.MakeFirstPlayInfo(), 100);
    EXPECT_EQ(ctrl_.MakeNextPlayInfo(), 100);
    EXPECT_EQ(ctrl_.InitPlayRec(folder_ + "/*.rec", count), 4);
    MakeRecording(folder_ + "/one.rec", 2, 1);
    MakeRecording(folder_ + "/two.rec", 3, 10);
    // The control's own running recording is not played.
    ASSERT_EQ(ctrl_.StartRec(folder_), 0);
    ASSERT_EQ(ctrl_.InitPlayRec(folder_ + "/*.rec", count), 0);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(ctrl_.MakeFirstPlayInfo(), 0);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(ctrl_.MakeNextPlayInfo(), 0) << i;
    EXPECT_EQ(ctrl_.MakeNextPlayInfo(), 4);
    ASSERT_EQ(ctrl_.play_info().size(), 5u);
    EXPECT_EQ(ctrl_.play_info()[2].path, folder_ + "/two.rec");

    // The array outlives the playback; index 0 and past the end give 100.
    std::string name, digits;
    EXPECT_EQ(ctrl_.MakeJpegTmpfile(name, 0, digits), 100);
    EXPECT_EQ(ctrl_.MakeJpegTmpfile(name, 6, digits), 100);
    ASSERT_EQ(ctrl_.MakeJpegTmpfile(name, 1, digits), 0);
    EXPECT_EQ(digits, "20050607080910000");
    std::remove(name.c_str());

    // MakeJpegTmpfile closes an open playback; QuitPlayRec lets a new one open.
    ASSERT_EQ(ctrl_.InitPlayRec(folder_ + "/two.rec", count), 0);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(ctrl_.MakeFirstPlayInfo(), 0);
    ASSERT_EQ(ctrl_.MakeJpegTmpfile(name, 1, digits), 0);
    std::remove(name.c_str());
    EXPECT_EQ(ctrl_.MakeNextPlayInfo(), 100);
    ASSERT_EQ(ctrl_.InitPlayRec(folder_ + "/one.rec", count), 0);
    EXPECT_EQ(ctrl_.QuitPlayRec(), 0);
    EXPECT_TRUE(ctrl_.play_info().empty());
    EXPECT_EQ(ctrl_.InitPlayRec(folder_ + "/one.rec", count), 0);
    EXPECT_EQ(ctrl_.QuitPlayRec(), 0);
    EXPECT_EQ(ctrl_.QuitPlayRec(), 0);
    EXPECT_EQ(ctrl_.StopRec(), 0);

    // A damaged header whose count a host would read as negative is refused,
    // whatever the pictures after it.
    for (uint32_t damaged : {0xFFFFFFFFu, 0x80000000u}) {
        auto bytes = test::ReadAll(folder_ + "/one.rec");
        for (int i = 0; i < 4; ++i)
            bytes[8386 + size_t(i)] = uint8_t(damaged >> (8 * i));
        test::WriteAll(folder_ + "/bad.rec", bytes);
        count = 7;
        EXPECT_EQ(ctrl_.InitPlayRec(folder_ + "/bad.rec", count), 4);
        EXPECT_EQ(count, 7);
        EXPECT_EQ(ctrl_.MakeFirstPlayInfo(), 100);  // nothing left open
    }
}

TEST_F(RecordPlayTest, DeleteRecRemovesClosedFilesOnly) {
    MakeRecording(folder_ + "/old.rec", 1, 1);
    EXPECT_EQ(ctrl_.DeleteRec(folder_ + "/old.rec"), 0);
    EXPECT_EQ(ctrl_.DeleteRec(folder_ + "/old.rec"), 4);
    ASSERT_EQ(ctrl_.StartRec(folder_), 0);
    const std::string running = folder_ + "/" + Files()[0];
    EXPECT_EQ(ctrl_.DeleteRec(running), 4);
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_EQ(ctrl_.StopRec(), 0);
    EXPECT_EQ(ctrl_.DeleteRec(running), 0);
}

TEST_F(RecordPlayTest, SaveImageWritesThePresentedPicture) {
    EXPECT_EQ(ctrl_.SaveImage(dir_.File("none.jpg")), 5);
    StartStream(20);
    ASSERT_TRUE(WaitPictures(2));
    loop_.RunPending();
    const int n = sink_.pictures;
    test::WriteAll(dir_.File("shot.jpg"), std::vector<uint8_t>(1 << 20, 9));  // replaced
    ASSERT_EQ(ctrl_.SaveImage(dir_.File("shot.jpg")), 0);
    const auto saved = test::ReadAll(dir_.File("shot.jpg"));
    // The last picture handed over, not one the stream presents later.
    EXPECT_EQ(saved, sink_.presented[size_t(n - 1)]);
    EXPECT_EQ(ctrl_.SaveImage(dir_.File("no/such/folder/x.jpg")), 4);
}

TEST_F(RecordPlayTest, ShowJpegFileTurnsAReversedPictureAndAnEmptyNameReturnsToLive) {
    const auto jpeg = test::Picture(3, test::Time(2002, 3, 5, 14, 7, 9, 45), 1, 32, 24);
    test::WriteAll(dir_.File("r.jpg"), jpeg);
    // The control decodes through the plug-in by default.
    ASSERT_EQ(ctrl_.ShowJpegFile(dir_.File("r.jpg"), 0), 0);
    EXPECT_EQ(ctrl_.still_picture().width, 32);
    EXPECT_EQ(ctrl_.still_picture().height, 24);
    {
        int rw = 0, rh = 0;
        auto reference = test::DecodeRgb(jpeg, rw, rh);
        TurnHalfRound(reference, rw, rh);
        // The control keeps still pictures as its surfaces do: blue, green, red.
        for (size_t i = 0; i + 2 < reference.size(); i += 3)
            std::swap(reference[i], reference[i + 2]);
        ASSERT_EQ(ctrl_.still_picture().pixels.size(), reference.size());
        int worst = 0;
        for (size_t i = 0; i < reference.size(); ++i) {
            worst =
                std::max(worst, std::abs(int(reference[i]) - int(ctrl_.still_picture().pixels[i])));
        }
        EXPECT_LE(worst, 16);  // picdec against libjpeg-turbo
    }
    // Without a decoder nothing can be shown.
    ctrl_.SetStillDecoder(nullptr);
    EXPECT_EQ(ctrl_.ShowJpegFile(dir_.File("r.jpg"), 0), 5);
    ctrl_.SetStillDecoder([](std::span<const uint8_t> d, int& w, int& h, std::vector<uint8_t>& px) {
        px = test::DecodeRgb(std::vector<uint8_t>(d.begin(), d.end()), w, h);
        return !px.empty();
    });
    ASSERT_EQ(ctrl_.ShowJpegFile(dir_.File("r.jpg"), 1), 0);
    const StillPicture& still = ctrl_.still_picture();
    EXPECT_TRUE(still.shown);
    EXPECT_TRUE(still.no_time_stamp);
    int w = 0, h = 0;
    auto upright = test::DecodeRgb(jpeg, w, h);
    TurnHalfRound(upright, w, h);
    EXPECT_EQ(still.pixels, upright);
    EXPECT_EQ(still.time.Digits(), "20020305140709045");
    test::WriteAll(dir_.File("empty.jpg"), {});
    EXPECT_EQ(ctrl_.ShowJpegFile(dir_.File("empty.jpg"), 0), 4);
    EXPECT_TRUE(ctrl_.still_picture().shown);  // a failure keeps the picture shown
    EXPECT_EQ(ctrl_.ShowJpegFile("", 0), 0);
    EXPECT_FALSE(ctrl_.still_picture().shown);
}

TEST_F(RecordPlayTest, ShowJpegFileRefusesAPictureLargerThanItsCap) {
    // A few kilobytes whose frame header claims the size in the name: a
    // larger claim is refused before any decoding, and the live picture
    // stays.
    const auto jpeg = test::EncodeJpeg(64, 48, 3);
    const auto frame = std::search(jpeg.begin(), jpeg.end(), kSof0, kSof0 + 2) - jpeg.begin();
    ASSERT_LT(size_t(frame), jpeg.size());
    const struct {
        int width, height, result;
    } cases[] = {{16384, 16384, 5}, {4097, 4096, 5}, {65535, 257, 5}, {1024, 768, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        auto claim = jpeg;
        claim[size_t(frame) + 5] = uint8_t(c.height >> 8),
                              claim[size_t(frame) + 6] = uint8_t(c.height);
        claim[size_t(frame) + 7] = uint8_t(c.width >> 8),
                              claim[size_t(frame) + 8] = uint8_t(c.width);
        test::WriteAll(dir_.File("claim.jpg"), claim);
        EXPECT_EQ(ctrl_.ShowJpegFile(dir_.File("claim.jpg"), 0), c.result);
        EXPECT_EQ(ctrl_.still_picture().shown, c.result == 0);
        ctrl_.ShowJpegFile("", 0);
    }
}

TEST_F(RecordPlayTest, TheMethodsAreInTheTypeLibraryUnderTheirDispids) {
    int16_t result = -1;
    std::vector<Variant> args = {Variant::Text(""), Variant()};
    ASSERT_EQ(ctrl_.Invoke(65, args, &result), DispError::kOk);
    EXPECT_EQ(result, 4);
    std::vector<Variant> start = {Variant::Text(folder_)};
    ASSERT_EQ(ctrl_.Invoke("StartRec", start, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    std::vector<Variant> none;
    ASSERT_EQ(ctrl_.Invoke(63, none, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    const struct {
        int dispid;
        const char* name;
    } rows[] = {{31, "SaveImage"},        {62, "StartRec"},        {63, "StopRec"},
                {64, "DeleteRec"},        {65, "InitPlayRec"},     {66, "MakeFirstPlayInfo"},
                {67, "MakeNextPlayInfo"}, {68, "MakeJpegTmpfile"}, {69, "QuitPlayRec"},
                {70, "ShowJpegFile"}};
    for (const auto& row : rows) {
        const MemberInfo* m = FindMember(row.dispid, MemberKind::kMethod);
        ASSERT_NE(m, nullptr) << row.name;
        EXPECT_EQ(m->name, row.name);
    }
    const MemberInfo* tmp = FindMember(68, MemberKind::kMethod);
    ASSERT_EQ(tmp->params.size(), 3u);
    EXPECT_TRUE(tmp->params[0].out);
    EXPECT_EQ(tmp->params[1].type, ParamType::kI4);
    EXPECT_TRUE(tmp->params[2].out);
}

TEST_F(RecordPlayTest, DestroyingTheControlCompletesARunningRecording) {
    std::string path;
    {
        CKestCtrl other;
        other.record_play().set_free_space_source([](const std::string&) { return 1e12; });
        ASSERT_EQ(other.StartRec(folder_), 0);
        path = folder_ + "/" + Files()[0];
    }
    const auto data = test::ReadAll(path);
    ASSERT_EQ(data.size(), 8390u);
    // Closed with no picture: the count is 0 and the file cannot be played.
    EXPECT_EQ(test::U32At(data, 8386), 0u);
}

}  // namespace
}  // namespace kest
