// The ".rec" file, the recorder and the playback at the manager level, on
// real files in a temporary folder.
#include "control/stream/rec_file.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "control/stream/camera.h"
#include "control/stream/record_play.h"
#include "control/stream/window_messages.h"
#include "platform/event_loop.h"
#include "tests/control/stream/rec_test_pictures.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

using test::Picture;
using test::Time;

struct Messages : CameraListener, platform::MessageHandler {
    platform::EventLoop loop;
    std::unique_ptr<platform::MessageWindow> window = loop.CreateWindow(this);
    std::vector<std::array<intptr_t, 3>> got;
    platform::MessageWindow* listener_window() override { return window.get(); }
    intptr_t OnMessage(uint32_t m, uintptr_t w, intptr_t l) override {
        got.push_back({intptr_t(m), intptr_t(w), l});
        return 0;
    }
    void OnTimer(uint32_t) override {}
};

class RecFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        manager_.set_min_free_recording(50.0 * 1024 * 1024);
        manager_.set_free_space_source([this](const std::string& folder) {
            folders_.push_back(folder);
            return free_;
        });
    }
    // Records pictures with the given seeds, one second apart from 2002-03-05 14:07:09.045.
    std::vector<std::vector<uint8_t>> Record(const std::string& path, int n, int type = 0,
                                             int first_seed = 1) {
        RecFileWriter* w = manager_.StartRecording(path);
        EXPECT_NE(w, nullptr);
        std::vector<std::vector<uint8_t>> pictures;
        for (int i = 0; i < n && w; ++i) {
            const rec::RecTime t = Time(2002, 3, 5, 14, 7, 9 + i, 45);
            pictures.push_back(Picture(first_seed + i, t, 0, 64 + 16 * i, 48));
            const std::string cam;
            EXPECT_EQ(manager_.AppendPicture(w, pictures.back(), &cam, &t, type),
                      pictures.back().size());
        }
        manager_.StopRecording(w, type);
        return pictures;
    }
    std::vector<PlayInfo> Walk(const std::string& pattern) {
        std::vector<PlayInfo> all;
        RecFileReader* r = manager_.OpenPlayback(pattern);
        if (!r) return all;
        PlayInfo info;
        if (manager_.FirstRecord(r, info)) {
            all.push_back(info);
            while (manager_.NextRecord(r, info) && all.size() < 10000)
                all.push_back(info);
        }
        manager_.ClosePlayback(r);
        return all;
    }

    test::ScopedTempDir dir_;
    Messages messages_;
    RecordPlayManager manager_{&messages_};
    double free_ = 1e12;
    std::vector<std::string> folders_;
};

TEST_F(RecFileTest, ARecordingOfNPicturesIsTheHeaderAndThePicturesBackToBack) {
    const std::string path = dir_.File("a.rec");
    const auto pictures = Record(path, 3);
    const auto data = test::ReadAll(path);
    size_t sum = 0;
    for (const auto& p : pictures)
        sum += p.size();
    ASSERT_EQ(data.size(), 8390 + sum);
    EXPECT_EQ(std::memcmp(data.data(), "KX-9 Motion Jpeg Recorded File", 31), 0);
    EXPECT_EQ(data[31], 0);
    EXPECT_EQ(test::U16At(data, 32), 0x0150);
    EXPECT_EQ(test::U32At(data, 8386), 3u);
    // Eight 16-bit values: year, month, day of week, day, hour, minute, second, ms.
    const uint16_t first[] = {2002, 3, 0, 5, 14, 7, 9, 45};
    const uint16_t last[] = {2002, 3, 0, 5, 14, 7, 11, 45};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(test::U16At(data, 34 + 2 * size_t(i)), first[i]) << i;
        EXPECT_EQ(test::U16At(data, 50 + 2 * size_t(i)), last[i]) << i;
    }
    EXPECT_TRUE(std::all_of(data.begin() + 66, data.begin() + 8386, [](uint8_t b) { return !b; }));
    EXPECT_TRUE(std::equal(pictures[1].begin(), pictures[1].end(),
                           data.begin() + long(8390 + pictures[0].size())));
    // Each append measured the free space of the file's folder.
    EXPECT_EQ(folders_.size(), 2u + 3u);
    EXPECT_EQ(folders_.back(), dir_.path());
}

TEST_F(RecFileTest, CameraTextsFillTheNameSlotsOnceEach) {
    const std::string path = dir_.File("names.rec");
    RecFileWriter* w = manager_.StartRecording(path);
    const rec::RecTime t = Time(2010, 1, 2, 3, 4, 5, 6);
    const std::string a = "gate", b = "yard";
    for (const std::string* cam : {&a, &b, &a})
        manager_.AppendPicture(w, Picture(1, t), cam, &t, 0);
    manager_.StopRecording(w, 0);
    const auto data = test::ReadAll(path);
    EXPECT_STREQ(reinterpret_cast<const char*>(&data[66]), "gate");
    EXPECT_STREQ(reinterpret_cast<const char*>(&data[66 + 260]), "yard");
    EXPECT_EQ(data[66 + 520], 0);
}

TEST_F(RecFileTest, ANewRecordingNeverOpensAnExistingFile) {
    const std::string path = dir_.File("same.rec");
    ASSERT_NE(manager_.StartRecording(path), nullptr);
    // Another control's manager picking the same name in the same second.
    RecordPlayManager other;
    other.set_free_space_source([](const std::string&) { return 1e12; });
    EXPECT_EQ(other.StartRecording(path), nullptr);
    // The same manager: refused, and with the notify flag it says why (3).
    RecStartOptions notify;
    notify.notify = true;
    notify.notify_value = 77;
    EXPECT_EQ(manager_.StartRecording(path, notify), nullptr);
    messages_.loop.RunPending();
    ASSERT_EQ(messages_.got.size(), 1u);
    EXPECT_EQ(messages_.got[0], (std::array<intptr_t, 3>{kRecordingStoppedMessage, 3, 77}));
    EXPECT_EQ(std::filesystem::file_size(path), 8390u);
}

TEST_F(RecFileTest, TooLittleFreeSpaceAtTheStartCreatesNothing) {
    free_ = 50.0 * 1024 * 1024 - 1;
    RecStartOptions notify;
    notify.notify = true;
    EXPECT_EQ(manager_.StartRecording(dir_.File("low.rec")), nullptr);
    EXPECT_EQ(manager_.StartRecording(dir_.File("low.rec"), notify), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("low.rec")));
    messages_.loop.RunPending();
    ASSERT_EQ(messages_.got.size(), 1u);
    EXPECT_EQ(messages_.got[0][1], 4);
    // Just enough: started, with the disk warning (kind 1: code 5).
    free_ = 50.0 * 1024 * 1024 + 1;
    EXPECT_NE(manager_.StartRecording(dir_.File("low.rec"), notify), nullptr);
    messages_.loop.RunPending();
    ASSERT_EQ(messages_.got.size(), 2u);
    EXPECT_EQ(messages_.got[1], (std::array<intptr_t, 3>{kDiskWarningMessage, 5, 0}));
}

TEST_F(RecFileTest, FreeSpaceRunningOutStopsBeforeThePictureAndTheHeaderIsCompleted) {
    const std::string path = dir_.File("full.rec");
    RecFileWriter* w = manager_.StartRecording(path);
    const rec::RecTime t1 = Time(2020, 6, 1, 10, 0, 0, 0), t2 = Time(2020, 6, 1, 10, 0, 1, 0);
    const auto p1 = Picture(1, t1), p2 = Picture(2, t2);
    ASSERT_EQ(manager_.AppendPicture(w, p1, nullptr, &t1, 20), p1.size());
    free_ = 1000;
    EXPECT_EQ(manager_.AppendPicture(w, p2, nullptr, &t2, 20), 0u);
    messages_.loop.RunPending();
    ASSERT_EQ(messages_.got.size(), 1u);
    EXPECT_EQ(messages_.got[0], (std::array<intptr_t, 3>{kRecordingStoppedMessage, 0, 0}));
    manager_.StopRecording(w, 0);  // the control stops with type 0: no rename
    EXPECT_FALSE(manager_.IsRecording(w));
    const auto data = test::ReadAll(path);
    EXPECT_EQ(data.size(), 8390 + p1.size());
    EXPECT_EQ(test::U32At(data, 8386), 1u);
    EXPECT_EQ(test::U16At(data, 50), 2020);
    EXPECT_EQ(Walk(path).size(), 1u);
}

TEST_F(RecFileTest, AType20RecordingTakesTheNameOfItsFirstPictureUnlessThatNameExists) {
    Record(dir_.File("made.rec"), 2, 20);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("made.rec")));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("20020305140709.rec")));

    // The target exists now: the next one keeps its name, the first is untouched.
    const auto before = test::ReadAll(dir_.File("20020305140709.rec"));
    Record(dir_.File("second.rec"), 1, 20, 9);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("second.rec")));
    EXPECT_EQ(test::ReadAll(dir_.File("20020305140709.rec")), before);

    // Other types never rename.
    Record(dir_.File("type0.rec"), 1, 0);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("type0.rec")));
}

// A picture with any comment text after its JFIF segment.
std::vector<uint8_t> WithText(const std::vector<uint8_t>& jpeg, const std::string& text) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 20);
    out.push_back(0xFF), out.push_back(0xFE);
    out.push_back(uint8_t((text.size() + 2) >> 8)), out.push_back(uint8_t(text.size() + 2));
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), jpeg.begin() + 20, jpeg.end());
    return out;
}

TEST_F(RecFileTest, EveryPictureIsWrittenSoThatPlaybackFindsIt) {
    // Pictures as cameras send them; each is written, and playback reads it
    // back with its real length and a dated time. The recorder's clock dates
    // what carries no date.
    const rec::RecTime t = Time(2021, 2, 3, 4, 5, 6, 7);
    const rec::RecTime now = Time(2030, 1, 2, 3, 4, 5, 678);
    manager_.set_clock([now] { return now; });
    const auto jpeg = test::EncodeJpeg(40, 30, 3);
    std::vector<uint8_t> bare_start = {0xFF, 0xD8};
    bare_start.insert(bare_start.end(), jpeg.begin() + 20, jpeg.end());
    const struct {
        const char* name;
        std::vector<uint8_t> picture;
        rec::RecTime time;  // what playback reads
        bool as_given;      // stored byte for byte (apart from the size field)
    } cases[] = {
        {"dated", Picture(4, t), t, true},
        {"size field 0", test::WithComment(jpeg, t, 0, 0), t, true},
        {"time all zeros", test::WithComment(jpeg, rec::RecTime{}), now, false},
        {"no comment", jpeg, now, false},
        {"no JFIF segment, no comment", bare_start, now, false},
        {"short time", WithText(jpeg, "size = 9999; timestamp = 2021;"), now, false},
        {"no size field", WithText(jpeg, "timestamp = 20210203040506007;"), now, false},
        {"size field too narrow", WithText(jpeg, "size = 1; timestamp = 20210203040506007;"), now,
         false},
    };
    const std::string path = dir_.File("all.rec");
    RecFileWriter* w = manager_.StartRecording(path);
    for (const auto& c : cases) {
        EXPECT_EQ(manager_.AppendPicture(w, c.picture, nullptr, nullptr, 0), c.picture.size())
            << c.name;
    }
    manager_.StopRecording(w, 0);
    messages_.loop.RunPending();
    EXPECT_TRUE(messages_.got.empty());  // no stop

    rec::FileIndex index;
    std::string error;
    ASSERT_TRUE(rec::IndexFile(path, index, error));
    EXPECT_TRUE(index.header.Playable());
    EXPECT_EQ(index.header.count, std::size(cases));
    EXPECT_EQ(index.header.first, t);
    EXPECT_EQ(index.header.last, now);
    const auto all = Walk(path);
    ASSERT_EQ(all.size(), std::size(cases));
    EXPECT_EQ(index.end_of_records, index.file_size);
    const auto data = test::ReadAll(path);
    for (size_t i = 0; i < all.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(all[i].time, c.time);
        const std::vector<uint8_t> stored(data.begin() + long(all[i].offset),
                                          data.begin() + long(all[i].offset + all[i].size));
        // The picture itself is untouched: it decodes to the same pixels.
        int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        const auto given = test::DecodeRgb(c.picture, w1, h1);
        EXPECT_FALSE(given.empty());
        EXPECT_EQ(test::DecodeRgb(stored, w2, h2), given);
        if (c.as_given) {
            ASSERT_EQ(stored.size(), c.picture.size());
            EXPECT_TRUE(std::equal(stored.begin() + 41, stored.end(), c.picture.begin() + 41));
        } else if (stored[3] == 0xE0) {
            // Behind a JFIF segment, the comment the recorder gave stands
            // where still pictures look for their time.
            EXPECT_EQ(std::string(stored.begin() + 56, stored.begin() + 85),
                      "timestamp = " + now.Digits());
        }
    }
}

TEST_F(RecFileTest, ARecordingOfUndatedPicturesPlaysBackAndRepairsWithDates) {
    // Made by an older recorder: pictures whose time stamp is all zeros, and
    // a header that was never written. Repair dates it by the file's last
    // change, and playback takes it.
    const std::string path = dir_.File("undated.rec");
    std::vector<uint8_t> file(rec::kHeaderSize, 0);
    const rec::HeaderBytes fresh = rec::RecHeader::Fresh();
    std::copy(fresh.begin(), fresh.end(), file.begin());
    for (int i = 0; i < 3; ++i) {
        const auto p = test::WithComment(test::EncodeJpeg(40, 30, i), rec::RecTime{});
        file.insert(file.end(), p.begin(), p.end());
    }
    test::WriteAll(path, file);
    EXPECT_TRUE(Walk(path).empty());
    rec::RepairReport report;
    std::string error;
    ASSERT_TRUE(rec::RepairFile(path, report, error)) << error;
    EXPECT_FALSE(report.already_complete);
    EXPECT_EQ(report.count, 3u);
    EXPECT_TRUE(report.first.Dated());
    EXPECT_EQ(Walk(path).size(), 3u);
}

TEST_F(RecFileTest, APatternWalksEveryClosedRecordingInNameOrderAndSkipsTheOneBeingRecorded) {
    Record(dir_.File("b.rec"), 3, 0, 10);
    Record(dir_.File("a.rec"), 2, 0, 20);
    RecFileWriter* open = manager_.StartRecording(dir_.File("c.rec"));
    const rec::RecTime t = Time(2022, 1, 1, 0, 0, 0, 0);
    manager_.AppendPicture(open, Picture(1, t), nullptr, &t, 0);

    RecFileReader* r = manager_.OpenPlayback(dir_.path() + "/*.rec");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->files(), (std::vector<std::string>{dir_.File("a.rec"), dir_.File("b.rec")}));
    rec::RecTime first, last;
    uint32_t count = 0;
    ASSERT_TRUE(manager_.FirstFile(r, first, last, count));
    EXPECT_EQ(count, 2u);
    manager_.ClosePlayback(r);

    const auto all = Walk(dir_.path() + "/*.rec");
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].path, dir_.File("a.rec"));
    EXPECT_EQ(all[2].path, dir_.File("b.rec"));
    EXPECT_EQ(all[2].offset, 8390u);
    EXPECT_EQ(all[4].time, Time(2002, 3, 5, 14, 7, 11, 45));
    // The open recording alone: nothing playable.
    EXPECT_EQ(manager_.OpenPlayback(dir_.File("c.rec")), nullptr);
    manager_.StopRecording(open, 0);
    EXPECT_EQ(Walk(dir_.File("c.rec")).size(), 1u);
}

TEST_F(RecFileTest, TheCommentParserReadsEveryKnownKeyWithinItsSegment) {
    const rec::RecTime t = Time(2002, 3, 5, 14, 7, 9, 45);
    const auto p = test::WithComment(test::EncodeJpeg(16, 16, 1), t, 1, -1,
                                     " type = 7; format=3; xpos = 11; ypos = 12; width = 640; "
                                     "height = 480; filename = a b.jpg; other = 9;");
    const auto c = rec::ParseRecordComment(p);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->size, p.size());
    EXPECT_EQ(c->time, t);
    EXPECT_EQ(c->reverse, 1);
    EXPECT_EQ(c->type, 7);
    EXPECT_EQ(c->format, 3);
    EXPECT_EQ(c->x, 11);
    EXPECT_EQ(c->y, 12);
    EXPECT_EQ(c->width, 640);
    EXPECT_EQ(c->height, 480);
    EXPECT_EQ(c->filename, "a b.jpg");
    EXPECT_EQ(c->camera, "");

    // A time stamp cut short, no size, no comment, no JPEG start: failures.
    auto cut = p;
    const std::string digits = t.Digits();
    const size_t at =
        size_t(std::search(cut.begin(), cut.end(), digits.begin(), digits.end()) - cut.begin());
    cut[at + 4] = ';';
    EXPECT_FALSE(rec::ParseRecordComment(cut));
    auto nosize = p;
    nosize[24] = 'S';
    EXPECT_FALSE(rec::ParseRecordComment(nosize));
    EXPECT_FALSE(rec::ParseRecordComment(test::EncodeJpeg(16, 16, 1)));
    auto nostart = p;
    nostart[1] = 0xD9;
    EXPECT_FALSE(rec::ParseRecordComment(nostart));
    // Only the bytes given are read: the comment's text cut before the time stamp.
    EXPECT_FALSE(rec::ParseRecordComment(std::span<const uint8_t>(p.data(), 50)));
}

// Writes a file from a header and records.
std::vector<uint8_t> FileOf(const rec::HeaderBytes& header,
                            std::initializer_list<std::vector<uint8_t>> records) {
    std::vector<uint8_t> d(header.begin(), header.end());
    for (const auto& r : records)
        d.insert(d.end(), r.begin(), r.end());
    return d;
}

rec::HeaderBytes Closed(uint32_t count) {
    rec::HeaderBytes h = rec::RecHeader::Fresh();
    rec::RecHeader c;
    c.first = c.last = Time(2003, 1, 1, 0, 0, 0, 0);
    c.count = count;
    c.CompleteInto(h);
    return h;
}

TEST_F(RecFileTest, DamagedFilesEndTheirPlaybackWithoutHangingOrReadingPastTheEnd) {
    const rec::RecTime t = Time(2003, 1, 1, 0, 0, 0, 0);
    const auto good = Picture(1, t);
    const auto zero = test::WithComment(test::EncodeJpeg(16, 16, 2), t, 0, 0);
    const auto tiny = test::WithComment(test::EncodeJpeg(16, 16, 3), t, 0, 30);
    const auto huge = test::WithComment(test::EncodeJpeg(16, 16, 4), t, 0, 999999999);
    test::WriteAll(dir_.File("1zero.rec"), FileOf(Closed(3), {good, zero, good}));
    test::WriteAll(dir_.File("2tiny.rec"), FileOf(Closed(2), {good, tiny}));
    test::WriteAll(dir_.File("3huge.rec"), FileOf(Closed(2), {good, huge}));
    auto truncated = FileOf(Closed(2), {good, good});
    truncated.resize(truncated.size() - 10);
    test::WriteAll(dir_.File("4cut.rec"), truncated);
    test::WriteAll(dir_.File("5short.rec"), FileOf(Closed(0), {}));
    std::vector<uint8_t> garbage(9000, 0xAB);
    test::WriteAll(dir_.File("6garbage.rec"), garbage);
    auto header_only = Closed(1);
    test::WriteAll(dir_.File("7trunc.rec"),
                   std::vector<uint8_t>(header_only.begin(), header_only.begin() + 100));

    const auto all = Walk(dir_.path() + "/*.rec");
    // One good record from each of the first four; the garbage and truncated ones are not playable.
    ASSERT_EQ(all.size(), 4u);
    for (const auto& i : all) {
        EXPECT_EQ(i.size, good.size());
        EXPECT_EQ(i.offset, 8390u);
    }
    rec::FileIndex index;
    std::string error;
    ASSERT_TRUE(rec::IndexFile(dir_.File("4cut.rec"), index, error));
    EXPECT_EQ(index.records.size(), 1u);
    EXPECT_EQ(index.end_of_records, 8390 + good.size());
    EXPECT_FALSE(rec::IndexFile(dir_.File("7trunc.rec"), index, error));
}

// Random damage anywhere in a closed recording: every walk ends, every
// record it reports lies inside the file, and repair either refuses or
// leaves a file whose header matches its records.
TEST_F(RecFileTest, RandomDamageNeverMakesAWalkLeaveTheFile) {
    const std::string path = dir_.File("whole.rec");
    Record(path, 3);
    const auto whole = test::ReadAll(path);
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        auto damaged = whole;
        const int edits = 1 + int(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            // Half the edits hit the headers and comments, where the lengths are.
            const size_t at = rng() % 2 ? 8390 + rng() % 2048 : rng() % damaged.size();
            damaged[at % damaged.size()] = uint8_t(rng());
        }
        if (rng() % 4 == 0) damaged.resize(rng() % damaged.size());
        const std::string f = dir_.File("d.rec");
        test::WriteAll(f, damaged);
        rec::FileIndex index;
        std::string error;
        if (rec::IndexFile(f, index, error)) {
            for (const auto& r : index.records) {
                ASSERT_GE(r.comment.size, r.comment.header_end);
                ASSERT_LE(r.offset + r.comment.size, damaged.size());
            }
        }
        const auto walked = Walk(f);
        ASSERT_LE(walked.size(), 3u);
        rec::RepairReport report;
        if (rec::RepairFile(f, report, error)) {
            rec::HeaderBytes head;
            std::copy(damaged.begin(), damaged.begin() + long(head.size()), head.begin());
            const rec::RecHeader before = rec::RecHeader::Parse(head);
            ASSERT_TRUE(rec::IndexFile(f, index, error));
            if (report.already_complete) {
                // A closed header stays as its closing wrote it.
                EXPECT_TRUE(before.Playable());
                EXPECT_EQ(test::ReadAll(f), damaged);
            } else {
                // Never below what a closing wrote, nor a count read as negative.
                const size_t found = index.records.size();
                const bool kept = before.count >= found && before.count <= uint32_t(INT32_MAX);
                EXPECT_EQ(index.header.count, kept ? before.count : found);
            }
        }
    }
}

TEST_F(RecFileTest, RepairRestoresAFileWhoseHeaderWasNeverWritten) {
    const std::string path = dir_.File("crash.rec");
    RecFileWriter* w = manager_.StartRecording(path);
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < 4; ++i) {
        const rec::RecTime t = Time(2024, 12, 31, 23, 59, 58 - 2 + i, 100 * i);
        pictures.push_back(Picture(i, t));
        manager_.AppendPicture(w, pictures.back(), nullptr, &t, 0);
    }
    // The host dies here: the file is as the disk has it.
    std::filesystem::copy_file(path, dir_.File("copy.rec"));
    manager_.StopRecording(w, 0);
    const std::string copy = dir_.File("copy.rec");
    EXPECT_EQ(manager_.OpenPlayback(copy), nullptr);
    // Half a picture more, as a power failure leaves it.
    auto before = test::ReadAll(copy);
    before.insert(before.end(), pictures[0].begin(), pictures[0].begin() + 100);
    test::WriteAll(copy, before);

    rec::RepairReport report;
    std::string error;
    ASSERT_TRUE(rec::RepairFile(copy, report, error)) << error;
    EXPECT_EQ(report.count, 4u);
    EXPECT_EQ(report.first, Time(2024, 12, 31, 23, 59, 56, 0));
    EXPECT_EQ(report.last, Time(2024, 12, 31, 23, 59, 59, 300));
    EXPECT_EQ(report.file_size - report.end_of_records, 100u);
    const auto after = test::ReadAll(copy);
    ASSERT_EQ(after.size(), before.size());
    // Only the flag, the times and the count differ.
    for (size_t i = 0; i < after.size(); ++i) {
        const bool rewritten = i == 31 || (i >= 34 && i < 66) || (i >= 8386 && i < 8390);
        if (!rewritten) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }
    // The repaired file reads like the one that was closed properly.
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 8390, test::ReadAll(path).begin()));
    EXPECT_EQ(Walk(copy).size(), 4u);

    // Refused: not this format, no readable picture. Neither is changed.
    std::vector<uint8_t> garbage(9000, 0x11);
    test::WriteAll(dir_.File("g.rec"), garbage);
    EXPECT_FALSE(rec::RepairFile(dir_.File("g.rec"), report, error));
    EXPECT_EQ(test::ReadAll(dir_.File("g.rec")), garbage);
    const auto empty = FileOf(rec::RecHeader::Fresh(), {std::vector<uint8_t>(500, 0)});
    test::WriteAll(dir_.File("e.rec"), empty);
    EXPECT_FALSE(rec::RepairFile(dir_.File("e.rec"), report, error));
    EXPECT_EQ(test::ReadAll(dir_.File("e.rec")), empty);
}

TEST_F(RecFileTest, AStillPictureReadsItsOrientationAndTimeFromTheFixedPlaces) {
    const auto jpeg = Picture(5, Time(2002, 3, 5, 14, 7, 9, 45), 1, 33, 17);
    test::WriteAll(dir_.File("still.jpg"), jpeg);
    const StillDecoder decode = [](std::span<const uint8_t> d, int& w, int& h,
                                   std::vector<uint8_t>& px) {
        px = test::DecodeRgb(std::vector<uint8_t>(d.begin(), d.end()), w, h);
        return !px.empty();
    };
    StillPicture still;
    ASSERT_EQ(LoadStillPicture(dir_.File("still.jpg"), decode, false, still), 0);
    int w = 0, h = 0;
    const auto upright = test::DecodeRgb(jpeg, w, h);
    ASSERT_EQ(still.width, 33);
    ASSERT_EQ(still.height, 17);
    // Turned by 180 degrees: pixel k is the upright pixel n-1-k, the odd middle row too.
    const size_t n = size_t(w) * size_t(h);
    for (size_t k = 0; k < n; ++k)
        ASSERT_TRUE(
            std::equal(&still.pixels[k * 3], &still.pixels[k * 3 + 3], &upright[(n - 1 - k) * 3]))
            << k;
    EXPECT_EQ(still.time, Time(2002, 3, 5, 14, 7, 9, 45));

    test::WriteAll(dir_.File("upright.jpg"), Picture(5, Time(2002, 3, 5, 14, 7, 9, 45), 0, 33, 17));
    ASSERT_EQ(LoadStillPicture(dir_.File("upright.jpg"), decode, true, still), 0);
    EXPECT_EQ(still.pixels, upright);
    EXPECT_TRUE(still.no_time_stamp);

    test::WriteAll(dir_.File("empty.jpg"), {});
    EXPECT_EQ(LoadStillPicture(dir_.File("empty.jpg"), decode, false, still), 4);
    EXPECT_EQ(LoadStillPicture(dir_.File("missing.jpg"), decode, false, still), 4);
    test::WriteAll(dir_.File("junk.jpg"), std::vector<uint8_t>(100, 7));
    EXPECT_EQ(LoadStillPicture(dir_.File("junk.jpg"), decode, false, still), 5);
    EXPECT_EQ(LoadStillPicture(dir_.File("still.jpg"), nullptr, false, still), 5);
}

TEST(StillTimeStampTest, EachStyleFormatsTheTime) {
    const rec::RecTime t = Time(2002, 3, 5, 14, 7, 9, 45);
    const struct {
        int style;
        const char* text;
    } rows[] = {
        {0, "2002/03/05 14:07:09.04"},
        {1, "2002/03/05 14:07:09"},
        {2, "05/03/2002 14:07:09"},
        {3, "03/05/2002 14:07:09"},
        {4, "03/05 14:07:09"},
        {5, "14:07:09"},
        {6, "14:07"},
        {7, "2002/03/05 14:07:09"},
        {-1, "2002/03/05 14:07:09"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StillTimeStampText(row.style, t), row.text) << row.style;
}

// A real small file system: the recording ends when statvfs reports the
// folder nearly full, and what was recorded plays back.
TEST_F(RecFileTest, ARecordingOnASmallTmpfsStopsWhenItFillsUp) {
    const std::string mount_point = dir_.File("small");
    std::filesystem::create_directory(mount_point);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(77);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
        if (mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=2m") != 0) _exit(77);
        RecordPlayManager m;
        m.set_min_free_recording(1024.0 * 1024);
        const std::string path = mount_point + "/t.rec";
        RecFileWriter* w = m.StartRecording(path);
        if (!w) _exit(10);
        const rec::RecTime t = Time(2023, 4, 5, 6, 7, 8, 9);
        const auto p = Picture(3, t, 0, 320, 240);
        uint32_t appended = 0;
        while (m.AppendPicture(w, p, nullptr, &t, 0) != 0 && appended < 1000)
            ++appended;
        m.StopRecording(w, 0);
        rec::FileIndex index;
        std::string error;
        if (appended == 0 || appended >= 1000) _exit(11);
        if (!rec::IndexFile(path, index, error) || index.records.size() != appended) _exit(12);
        if (index.header.count != appended || !index.header.Playable()) _exit(13);
        // The limit held: at least a mebibyte stayed free.
        if (m.FreeSpace(path) < 1024.0 * 1024 - double(p.size())) _exit(14);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(RecFileTest, FreeSpaceIsAskedOfTheFileSystemWithoutChangingTheCurrentDirectory) {
    RecordPlayManager plain;
    const auto cwd = std::filesystem::current_path();
    EXPECT_GT(plain.FreeSpace("/tmp/x.rec"), 0.0);
    EXPECT_GT(plain.FreeSpace("relative.rec"), 0.0);
    EXPECT_EQ(plain.FreeSpace("/no/such/folder/x.rec"), 0.0);
    EXPECT_EQ(std::filesystem::current_path(), cwd);
    EXPECT_EQ(plain.settings_path().substr(plain.settings_path().size() - 15), "/recordplay.ini");
}

}  // namespace
}  // namespace kest
