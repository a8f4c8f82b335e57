// The imaging, motor, lens and motion-detection commands on the wire, against
// a scripted peer that records every datagram.
#include "control/protocol/imaging.h"

#include <gtest/gtest.h>

#include <map>

#include "control/stream/camera.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace kest::protocol {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

std::vector<uint8_t> Words(std::initializer_list<int> words) {
    std::vector<uint8_t> out;
    for (int w : words)
        out.push_back(uint8_t(w)), out.push_back(uint8_t(uint16_t(w) >> 8));
    return out;
}

uint16_t WordAt(const PeerDatagram& d, size_t offset) {
    return offset + 2 <= d.bytes.size() ? LoadU16(&d.bytes[offset]) : 0xDEAD;
}

// Answers each code with fixed reply data after the status.
class ImagingWireTest : public ::testing::Test {
  protected:
    void SetUp() override {
        peer_.SetScript([this](const PeerDatagram& d) -> std::vector<PeerReply> {
            std::lock_guard lock(mutex_);
            auto it = answers_.find(d.code());
            if (it == answers_.end()) return {{RecordingPeer::Reply(d, 0)}};
            return {{RecordingPeer::Reply(d, it->second.first, it->second.second)}};
        });
        ASSERT_EQ(channel_.Open("127.0.0.1", peer_.port()), 0);
        channel_.set_reply_wait(300);
    }
    void Answer(uint16_t code, int16_t status, std::vector<uint8_t> data = {}) {
        std::lock_guard lock(mutex_);
        answers_[code] = {status, std::move(data)};
    }
    PeerDatagram Last() {
        const auto got = peer_.Received();
        return got.empty() ? PeerDatagram{} : got.back();
    }

    std::mutex mutex_;
    std::map<uint16_t, std::pair<int16_t, std::vector<uint8_t>>> answers_;
    CommandChannel channel_{nullptr};
    RecordingPeer peer_;
};

TEST_F(ImagingWireTest, RequestsHaveTheCatalogueSizesAndFieldPlaces) {
    MotorTable table;
    for (size_t i = 0; i < 6; ++i) {
        table.pans[i] = int16_t(100 + i);
        table.tilts[i] = int16_t(-200 - int(i));
        table.thirds[i] = int16_t(i);
    }
    ASSERT_EQ(scmd_set_motor_tbl(channel_, table), 0);
    PeerDatagram d = Last();
    ASSERT_EQ(d.bytes.size(), 60u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(WordAt(d, 12 + 8 * i), 100 + i);
        EXPECT_EQ(int16_t(WordAt(d, 14 + 8 * i)), -200 - int(i));
        EXPECT_EQ(WordAt(d, 16 + 8 * i), i);
        EXPECT_EQ(WordAt(d, 18 + 8 * i), 0);
    }

    ASSERT_EQ(scmd_move_motor_pos(channel_, -522, -294, 3), 0);
    d = Last();
    ASSERT_EQ(d.bytes.size(), 18u);
    EXPECT_EQ(int16_t(WordAt(d, 12)), -522);
    EXPECT_EQ(int16_t(WordAt(d, 14)), -294);
    EXPECT_EQ(WordAt(d, 16), 3);

    LensWrite now{};
    ASSERT_EQ(scmd_set_zfi(channel_, LensWrite{1, 2, 3, 4, 5, 6}, now), 0);
    d = Last();
    ASSERT_EQ(d.bytes.size(), 24u);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(WordAt(d, 12 + 2 * i), i + 1);

    ASSERT_EQ(scmd_set_motion_detect_info(channel_, {1, 20, 30, 7}), 0);
    d = Last();
    ASSERT_EQ(d.bytes.size(), 28u);
    EXPECT_EQ(Words({1, 20, 30, 7, 0, 0, 0, 0}),
              std::vector<uint8_t>(d.bytes.begin() + 12, d.bytes.end()));

    AreaSet areas;
    for (size_t i = 0; i < areas.size(); ++i)
        areas[i] = uint8_t(i + 1);
    ASSERT_EQ(scmd_set_area_info(channel_, areas), 0);
    d = Last();
    ASSERT_EQ(d.bytes.size(), 60u);
    EXPECT_EQ(std::vector<uint8_t>(d.bytes.begin() + 12, d.bytes.begin() + 20),
              std::vector<uint8_t>(8, 0));
    EXPECT_EQ(std::vector<uint8_t>(d.bytes.begin() + 20, d.bytes.end()),
              std::vector<uint8_t>(areas.begin(), areas.end()));

    ASSERT_EQ(scmd_move_motor_tbl(channel_, 9, 0), 0);
    EXPECT_EQ(Last().bytes.size(), 16u);
    ASSERT_EQ(scmd_set_motion_detect_action(channel_, {1, 2, 3}), 0);
    d = Last();
    ASSERT_EQ(d.bytes.size(), 24u);
    EXPECT_EQ(Words({1, 2, 3, 0, 0, 0}), std::vector<uint8_t>(d.bytes.begin() + 12, d.bytes.end()));
    ExMotorTable ex;
    for (size_t i = 0; i < ex.size(); ++i)
        ex[i] = uint8_t(i * 7);
    ASSERT_EQ(cl_set_exmotor_tbl(channel_, ex), 0);
    d = Last();
    ASSERT_EQ(d.bytes.size(), 212u);
    EXPECT_EQ(std::vector<uint8_t>(d.bytes.begin() + 12, d.bytes.end()),
              std::vector<uint8_t>(ex.begin(), ex.end()));
    // Queries with zero parameter blocks.
    MotionDetectInfo info;
    scmd_get_motion_detect_info(channel_, info);
    EXPECT_EQ(Last().bytes.size(), 20u);
    scmd_get_area_info(channel_, areas);
    EXPECT_EQ(Last().bytes.size(), 20u);
    EXPECT_EQ(scmd_get_camera_info(channel_, 7), 0);
    EXPECT_EQ(Last().bytes.size(), 14u);
    EXPECT_EQ(WordAt(Last(), 12), 7);
}

TEST_F(ImagingWireTest, AreaDetailReadsBytesAt12AndWritesThemAt16) {
    std::vector<uint8_t> reply(10, 0);  // +6..+15
    reply[6] = 11, reply[7] = 22, reply[8] = 33, reply[9] = 44;
    Answer(213, 0, reply);
    AreaDetail detail;
    ASSERT_EQ(scmd_get_area_detail_info(channel_, detail), 0);
    EXPECT_EQ(detail.y, 11);
    EXPECT_EQ(detail.percent, 22);
    EXPECT_EQ(detail.diff_average, 33);

    ASSERT_EQ(scmd_set_area_detail_info(channel_, {200, 50, 7}), 0);
    const PeerDatagram d = Last();
    ASSERT_EQ(d.bytes.size(), 24u);
    const std::vector<uint8_t> params(d.bytes.begin() + 12, d.bytes.end());
    EXPECT_EQ(params, (std::vector<uint8_t>{0, 0, 0, 0, 200, 50, 7, 0, 0, 0, 0, 0}));
}

TEST_F(ImagingWireTest, CaptureSizeCodesWinOverTheHeightField) {
    int16_t w = 0, h = 0;
    Answer(119, 0, Words({352, 999}));
    ASSERT_EQ(scmd_get_capt_size(channel_, w, h), 0);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    Answer(119, 0, Words({176, 5}));
    ASSERT_EQ(scmd_get_capt_size(channel_, w, h), 0);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    // Anything else is the width and the height.
    Answer(119, 0, Words({800, 600}));
    ASSERT_EQ(scmd_get_capt_size(channel_, w, h), 0);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    Answer(119, 1, Words({352, 0}));
    EXPECT_EQ(scmd_get_capt_size(channel_, w, h), kRefused);
}

TEST_F(ImagingWireTest, RefusalsFollowEachCommandsOwnRule) {
    // scmd_set_frame_size reads its verdict at +8, not the status.
    Answer(113, 0, Words({0, 0}));
    EXPECT_EQ(scmd_set_frame_size(channel_, 320, 240), kFrameSizeZero);
    Answer(113, 0, Words({0, 2}));
    EXPECT_EQ(scmd_set_frame_size(channel_, 320, 240), kRefused);
    Answer(113, 1, Words({0, 1}));
    EXPECT_EQ(scmd_set_frame_size(channel_, 320, 240), 0);
    EXPECT_EQ(WordAt(Last(), 12), 320);
    EXPECT_EQ(WordAt(Last(), 14), 240);
    // scmd_set_scale_factor reads it at +6.
    Answer(116, 0, Words({0}));
    EXPECT_EQ(scmd_set_scale_factor(channel_, 5), kScaleFactorZero);
    Answer(116, 0, Words({2}));
    EXPECT_EQ(scmd_set_scale_factor(channel_, 5), kRefused);
    // Positive status refuses the table commands, non-zero the extended read.
    Answer(34, 3);
    MotorTable table;
    EXPECT_EQ(scmd_get_motor_tbl(channel_, table), kRefused);
    Answer(34, -1);
    EXPECT_EQ(scmd_get_motor_tbl(channel_, table), 0);
    Answer(38, -1);
    ExMotorTable ex;
    EXPECT_EQ(cl_get_exmotor_tbl(channel_, ex), kRefused);
    // Status 1 only refuses the motor position and the jpeg mode.
    Answer(33, 2, Words({0, -7}));
    int16_t pos = 0;
    EXPECT_EQ(scmd_get_motor_pos(channel_, 0, pos), 0);
    EXPECT_EQ(pos, -7);
    Answer(33, 1);
    EXPECT_EQ(scmd_get_motor_pos(channel_, 0, pos), kRefused);
    int16_t status = 0;
    Answer(112, 2);
    EXPECT_EQ(scmd_set_jpeg_mode(channel_, 2, 8, &status), 0);
    EXPECT_EQ(status, 2);
    Answer(49, 2);
    EXPECT_EQ(scmd_set_camera_info(channel_, 7, 1, &status), kRefused);
    EXPECT_EQ(status, 2);
    // Commands that hand the status back leave it to the method.
    Answer(208, 3);
    EXPECT_EQ(scmd_set_motion_detect_info(channel_, {}), 3);
    Answer(65, 0, Words({0, 0xFFFE}));
    EXPECT_EQ(scmd_get_camera_info(channel_, 3), 0xFFFE);  // never mistaken for an error
}

TEST_F(ImagingWireTest, MotorTableEntriesComeFromOffsetSixEveryEightBytes) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 6; ++i) {
        const auto e = Words({10 * i, -10 * i, i, 0x5555});
        data.insert(data.end(), e.begin(), e.end());
    }
    Answer(34, 0, data);
    MotorTable table;
    ASSERT_EQ(scmd_get_motor_tbl(channel_, table), 0);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(table.pans[i], 10 * int(i));
        EXPECT_EQ(table.tilts[i], -10 * int(i));
        EXPECT_EQ(table.thirds[i], int(i));
    }
}

TEST_F(ImagingWireTest, NoReplyIsMinusOne) {
    peer_.SetScript(nullptr);
    channel_.set_reply_wait(50);
    LensRecord lens;
    EXPECT_EQ(get_zfi(channel_, lens), kNoReply);
    EXPECT_EQ(scmd_set_ccd_default(channel_), kNoReply);
}

// The accessors of the camera object on a session with the peer.
class ImagingAccessorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        peer_.SetScript([](const PeerDatagram& d) -> std::vector<PeerReply> {
            if (d.code() == 1) return {{RecordingPeer::Reply(d, 20, Words({11, 20}))}};
            return {{RecordingPeer::Reply(d, 0, Words({0, 99, 0, 0, 0, 0, 0, 0}))}};
        });
        camera_.set_reply_wait(300);
    }
    size_t CountOf(uint16_t code) const {
        size_t n = 0;
        for (const PeerDatagram& d : peer_.Received())
            n += d.code() == code;
        return n;
    }

    test::ScopedTempDir dir_;
    RecordingPeer peer_;
    CKestCamera camera_{"imaging-accessor-test"};
};

TEST_F(ImagingAccessorTest, WithoutSessionNothingIsSent) {
    LensRecord lens;
    EXPECT_EQ(camera_.SetFrameRateIndex(8), kNoSession);
    EXPECT_EQ(camera_.GetLens(&lens), kNoSession);
    EXPECT_EQ(camera_.FetchReferencePicture("x", {}), kNoSession);
    EXPECT_EQ(peer_.count(), 0u);
}

TEST_F(ImagingAccessorTest, FrameRateIndexSevenIsRefusedAndEightWaits250) {
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    const size_t before = peer_.count();
    EXPECT_EQ(camera_.SetFrameRateIndex(7), kOutOfRange);
    EXPECT_EQ(camera_.frame_rate_index(), 7);  // stored even though refused
    EXPECT_EQ(camera_.frame_interval(), 33);
    EXPECT_EQ(peer_.count(), before);

    EXPECT_EQ(camera_.SetFrameRateIndex(8), 0);
    EXPECT_EQ(camera_.frame_interval(), 250);
    const PeerDatagram d = peer_.Received().back();
    EXPECT_EQ(d.code(), 112);
    EXPECT_EQ(LoadU16(&d.bytes[12]), 2);  // the session's picture mode
    EXPECT_EQ(LoadU16(&d.bytes[14]), 8);
    camera_.set_picture_mode(3);
    EXPECT_EQ(camera_.SetFrameRateIndex(29), 0);
    EXPECT_EQ(camera_.frame_interval(), 1000);
    EXPECT_EQ(LoadU16(&peer_.Received().back().bytes[12]), 3);
}

TEST_F(ImagingAccessorTest, StoredValuesAndMissingOutputs) {
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.SetFrameSizeSelector(3), kOutOfRange);
    EXPECT_EQ(camera_.SetFrameSizeSelector(0), 0);
    EXPECT_EQ(camera_.frame_width(), 160);
    EXPECT_EQ(camera_.frame_height(), 120);
    // The code sent is kept, whatever the camera says of it (here: 0 at +6).
    EXPECT_EQ(camera_.SetScaleFactorCode(36), kScaleFactorZero);
    EXPECT_EQ(camera_.scale_factor_code(), 36);

    const size_t before = peer_.count();
    EXPECT_EQ(camera_.GetMotorPos(0, nullptr), kMissingArgument);
    EXPECT_EQ(camera_.GetMotorTable(nullptr), kMissingArgument);
    EXPECT_EQ(camera_.SetLens({}, nullptr), kMissingArgument);
    EXPECT_EQ(peer_.count(), before);

    // A motor read marks the motors as moving; a lens write keeps the zoom.
    EXPECT_EQ(camera_.motor_state(), 0);
    int16_t pos = 0;
    EXPECT_EQ(camera_.GetMotorPos(1, &pos), 0);
    EXPECT_EQ(pos, 99);
    EXPECT_EQ(camera_.motor_state(), 1);
    LensWrite now{};
    EXPECT_EQ(camera_.SetLens({0, 50, 0, 0, 0, 0}, &now), 0);
    EXPECT_EQ(camera_.zoom_position(), 0);  // the camera's value at +10, not the one sent
    EXPECT_EQ(CountOf(561), 1u);
}

}  // namespace
}  // namespace kest::protocol
