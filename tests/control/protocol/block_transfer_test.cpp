// The paged block transfer against a scripted camera that records every
// datagram: burst, recovery, the end request, the written file and the ways a
// transfer fails.
#include "control/protocol/block_transfer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>

#include "control/stream/camera.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace kest::protocol {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 31 + i / 251);
    return v;
}

std::vector<uint8_t> Page(uint16_t seq, uint16_t number, uint16_t count, const uint8_t* data,
                          uint16_t length, uint32_t total) {
    std::vector<uint8_t> d(28 + size_t(length), 0);
    StoreU16(&d[0], seq);
    StoreU16(&d[16], number);
    StoreU16(&d[18], count);
    StoreU16(&d[20], length);
    ByteWriter(&d[24], 4).U32(total);
    if (length) std::memcpy(d.data() + 28, data, length);
    return d;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::string& path) {
    return std::ifstream(path).good();
}

// A camera with one file to hand out page by page.
struct ScriptedCamera {
    std::vector<uint8_t> data = Pattern(4321);
    uint16_t page_size = 1000;
    std::set<int> lost;        // not sent in the burst
    std::set<int> not_resent;  // resend requests acknowledged, page never sent
    std::optional<int> resend_instead;
    std::vector<uint8_t> header;           // reference picture header
    std::optional<int16_t> header_length;  // announced length; default the header's own
    uint16_t ack_word = 1;
    uint32_t announced = 3;
    // Replaces the burst: the pages to send after the acknowledgement.
    std::function<std::vector<std::vector<uint8_t>>(uint16_t seq)> burst;

    int count() const { return int((data.size() + page_size - 1) / page_size); }
    std::vector<uint8_t> PageOf(uint16_t seq, int p) const {
        const size_t place = size_t(p - 1) * page_size;
        const size_t len = std::min<size_t>(page_size, data.size() - place);
        return Page(seq, uint16_t(p), uint16_t(count()), data.data() + place, uint16_t(len),
                    uint32_t(data.size()));
    }

    std::vector<PeerReply> operator()(const PeerDatagram& d) const {
        std::vector<PeerReply> out;
        const uint16_t seq = d.sequence();
        switch (d.code()) {
            case 1: {
                std::vector<uint8_t> v(4, 0);
                StoreU16(&v[0], 11);
                out.push_back({RecordingPeer::Reply(d, 20, v)});
                break;
            }
            case 195:
            case 196:
            case 130: {
                std::vector<uint8_t> ack(6, 0);
                StoreU16(&ack[0], ack_word);
                ByteWriter(&ack[2], 4).U32(announced);
                out.push_back({RecordingPeer::Reply(d, 0, ack)});
                if (ack_word != 1 || (d.code() == 195 && announced == 0)) break;
                if (d.code() == 130) {
                    std::vector<uint8_t> h(8, 0);
                    StoreU16(&h[0], seq);
                    StoreU16(&h[2], 251);
                    StoreU16(&h[4], uint16_t(header_length.value_or(int16_t(header.size()))));
                    h.insert(h.end(), header.begin(), header.end());
                    out.push_back({h});
                }
                if (burst) {
                    for (auto& p : burst(seq))
                        out.push_back({p});
                    break;
                }
                for (int p = 1; p <= count(); ++p) {
                    if (!lost.count(p)) out.push_back({PageOf(seq, p)});
                }
                break;
            }
            case 240: {
                const int p = LoadU16(&d.bytes[14]);
                std::vector<uint8_t> ack(4, 0);
                StoreU16(&ack[2], 1);
                out.push_back({RecordingPeer::Reply(d, 0, ack)});
                if (resend_instead) {
                    out.push_back({PageOf(seq, *resend_instead)});
                } else if (!not_resent.count(p)) {
                    out.push_back({PageOf(seq, p)});
                }
                break;
            }
            default:
                out.push_back({RecordingPeer::Reply(d, 0)});
                break;
        }
        return out;
    }
};

class BlockTransferTest : public ::testing::Test {
  protected:
    void Open(uint32_t retry_window = 0) {
        if (retry_window) {
            std::ofstream ini(dir_.File("KEST.INI"));
            ini << "[udp]\nretry=" << retry_window << "\n";
        }
        peer_.SetScript([this](const PeerDatagram& d) {
            std::lock_guard lock(mutex_);
            return script_(d);
        });
        camera_.set_reply_wait(100);
        ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
        peer_.WaitFor(2, 1000);
    }
    void Script(const ScriptedCamera& s) {
        std::lock_guard lock(mutex_);
        script_ = s;
    }
    std::vector<PeerDatagram> Sent(uint16_t code) const {
        std::vector<PeerDatagram> out;
        for (const PeerDatagram& d : peer_.Received())
            if (d.code() == code) out.push_back(d);
        return out;
    }
    int32_t FetchFile(const std::string& name = "rec0001.rec") {
        return camera_.FetchRecordedFile(name, 0, options_, &report_);
    }

    test::ScopedTempDir dir_;
    std::mutex mutex_;
    ScriptedCamera script_;
    RecordingPeer peer_;
    CKestCamera camera_{"block-transfer-test"};
    TransferOptions options_;
    TransferReport report_;
};

TEST_F(BlockTransferTest, AllPagesInTheBurstNeedNoResendAndOneEndRequest) {
    ScriptedCamera cam;
    Script(cam);
    Open();
    std::vector<std::pair<int, int>> progress;
    options_.burst_count = 8;
    options_.burst_interval = 3;
    options_.progress = [&](int32_t got, int32_t count) { progress.emplace_back(got, count); };
    ASSERT_EQ(FetchFile(), kRecordedFileDone);
    EXPECT_EQ(ReadFile("rec0001.rec"), cam.data);
    EXPECT_TRUE(Sent(240).empty());
    ASSERT_EQ(Sent(254).size(), 1u);
    EXPECT_EQ(Sent(254)[0].bytes.size(), 14u);
    EXPECT_EQ(LoadU16(&Sent(254)[0].bytes[12]), kRecordedFileTransfer);
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_EQ(progress.back(), std::make_pair(5, 5));
    EXPECT_EQ(camera_.transfer_length(), 4321u);
    EXPECT_EQ(camera_.transfer_sequence(), Sent(254)[0].sequence());

    // The start request: the name in a 32-byte field, 1, 0, the identifier,
    // the burst arguments.
    const auto start = Sent(196);
    ASSERT_EQ(start.size(), 1u);
    const std::vector<uint8_t>& b = start[0].bytes;
    ASSERT_EQ(b.size(), 64u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[12])), "rec0001.rec");
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 23, b.begin() + 44), std::vector<uint8_t>(21, 0));
    EXPECT_EQ(LoadU16(&b[44]), 1);
    EXPECT_EQ(LoadU16(&b[46]), 0);
    EXPECT_EQ(LoadU16(&b[48]) | LoadU16(&b[50]), 0);
    EXPECT_EQ(LoadU16(&b[52]), 0xFFFF);
    EXPECT_EQ(LoadU16(&b[54]), 8);
    EXPECT_EQ(LoadU16(&b[56]), 3);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 58, b.end()), std::vector<uint8_t>(6, 0));
}

TEST_F(BlockTransferTest, OneLostPageIsAskedForAndPutInPlace) {
    ScriptedCamera cam;
    cam.lost = {3};
    Script(cam);
    Open();
    ASSERT_EQ(FetchFile(), kRecordedFileDone);
    EXPECT_EQ(ReadFile("rec0001.rec"), cam.data);
    const auto resends = Sent(240);
    ASSERT_EQ(resends.size(), 1u);
    EXPECT_EQ(resends[0].bytes.size(), 16u);
    EXPECT_EQ(LoadU16(&resends[0].bytes[12]), kRecordedFileTransfer);
    EXPECT_EQ(LoadU16(&resends[0].bytes[14]), 3);
    EXPECT_EQ(Sent(254).size(), 1u);
    EXPECT_EQ(report_.resend_requests, 1);
}

TEST_F(BlockTransferTest, PagesFoundOnlyByRecoveryStillLandInTheirPlaces) {
    // Every page but the last is lost: the last, shorter page comes first and
    // the page size follows from the total length.
    ScriptedCamera cam;
    cam.lost = {1, 2, 3, 4};
    Script(cam);
    Open();
    ASSERT_EQ(FetchFile(), kRecordedFileDone);
    EXPECT_EQ(ReadFile("rec0001.rec"), cam.data);
    EXPECT_EQ(Sent(240).size(), 4u);

    // Nothing at all in the burst: asking for page 1 brings the count.
    cam.lost = {1, 2, 3, 4, 5};
    Script(cam);
    ASSERT_EQ(FetchFile("rec0002.rec"), kRecordedFileDone);
    EXPECT_EQ(ReadFile("rec0002.rec"), cam.data);
}

TEST_F(BlockTransferTest, PageLostForGoodWithRetryZeroFails) {
    ScriptedCamera cam;
    cam.lost = {2};
    cam.not_resent = {2};
    Script(cam);
    Open();
    EXPECT_EQ(FetchFile(), kTransferFailed);
    EXPECT_EQ(Sent(240).size(), 1u);  // one request, one reply wait, then the end
    EXPECT_TRUE(Sent(254).empty());
    EXPECT_FALSE(Exists("rec0001.rec"));
    EXPECT_EQ(camera_.transfer_result(), -1);
}

TEST_F(BlockTransferTest, WithARetryWindowTheResendIsRepeated) {
    ScriptedCamera cam;
    cam.lost = {2};
    cam.not_resent = {2};
    Script(cam);
    Open(250);
    EXPECT_EQ(FetchFile(), kTransferFailed);
    const auto resends = Sent(240);
    ASSERT_GE(resends.size(), 2u);
    for (size_t i = 1; i < resends.size(); ++i)
        EXPECT_NE(resends[i].sequence(), resends[i - 1].sequence());
}

TEST_F(BlockTransferTest, AnotherPageInPlaceOfTheWantedOneIsNeverStored) {
    ScriptedCamera cam;
    cam.lost = {2};
    cam.resend_instead = 4;
    Script(cam);
    Open(40);
    EXPECT_EQ(FetchFile(), kTransferFailed);
    EXPECT_GE(Sent(240).size(), 2u);  // asked again within five retry windows
    EXPECT_FALSE(Exists("rec0001.rec"));
}

TEST_F(BlockTransferTest, PageNumbersZeroAndPastTheCountFail) {
    for (uint16_t bad : {uint16_t(0), uint16_t(6)}) {
        ScriptedCamera cam;
        // The script outlives this loop pass: it keeps copies.
        const ScriptedCamera base = cam;
        cam.burst = [base, bad](uint16_t seq) {
            return std::vector<std::vector<uint8_t>>{base.PageOf(seq, 1),
                                                     Page(seq, bad, 5, base.data.data(), 10, 4321)};
        };
        Script(cam);
        if (!camera_.session_open()) Open();
        EXPECT_EQ(FetchFile(), kTransferFailed) << bad;
        EXPECT_FALSE(Exists("rec0001.rec"));
    }
    EXPECT_TRUE(Sent(254).empty());
}

TEST_F(BlockTransferTest, PagesThatDoNotFitAreRefused) {
    Open();
    struct Case {
        const char* what;
        std::function<std::vector<uint8_t>(uint16_t)> page;
    };
    const std::vector<uint8_t> data = Pattern(1498);
    const Case cases[] = {
        {"length past the datagram",
         [data](uint16_t s) {
             auto p = Page(s, 1, 2, data.data(), 100, 200);
             StoreU16(&p[20], 500);
             return p;
         }},
        {"too short for a page", [data](uint16_t s) { return Page(s, 1, 1, data.data(), 0, 0); }},
        {"more pages than the table",
         [data](uint16_t s) { return Page(s, 1, 65001, data.data(), 1000, 65001000); }},
        {"total past 100 MiB",
         [data](uint16_t s) { return Page(s, 1, 2, data.data(), 1000, 104857601); }},
        {"last page that does not divide",
         [data](uint16_t s) { return Page(s, 3, 3, data.data(), 100, 1001); }},
    };
    for (const Case& c : cases) {
        ScriptedCamera cam;
        cam.burst = [page = c.page, what = std::string(c.what)](uint16_t seq) {
            auto p = page(seq);
            if (what == "too short for a page") p.resize(20);
            return std::vector<std::vector<uint8_t>>{p};
        };
        Script(cam);
        EXPECT_EQ(FetchFile(), kTransferFailed) << c.what;
        EXPECT_FALSE(Exists("rec0001.rec")) << c.what;
    }
}

TEST_F(BlockTransferTest, FileListPagesMayNotPassTheListBuffer) {
    Open();
    ScriptedCamera cam;
    const std::vector<uint8_t> data = Pattern(1000);
    cam.burst = [data](uint16_t seq) {
        // 4000 pages of 1000 bytes would need 4 MB.
        return std::vector<std::vector<uint8_t>>{Page(seq, 1, 4000, data.data(), 1000, 4000000)};
    };
    Script(cam);
    int32_t count = -5;
    EXPECT_EQ(camera_.FetchFileList("list.bin", &count, options_, &report_), kTransferFailed);
    EXPECT_FALSE(Exists("list.bin"));
    // A signed count: 40000 reads as negative.
    cam.burst = [data](uint16_t seq) {
        return std::vector<std::vector<uint8_t>>{Page(seq, 1, 40000, data.data(), 10, 400000)};
    };
    Script(cam);
    EXPECT_EQ(camera_.FetchFileList("list.bin", &count, options_, &report_), kTransferFailed);
}

TEST_F(BlockTransferTest, FileListWithFilesAndWithNone) {
    ScriptedCamera cam;
    cam.announced = 12;
    Script(cam);
    Open();
    int32_t count = 0;
    options_.burst_count = 4;
    options_.burst_interval = 9;
    ASSERT_EQ(camera_.FetchFileList("list.bin", &count, options_, &report_), kFileListDone);
    EXPECT_EQ(count, 12);
    EXPECT_EQ(ReadFile("list.bin"), cam.data);
    const auto start = Sent(195);
    ASSERT_EQ(start.size(), 1u);
    ASSERT_EQ(start[0].bytes.size(), 20u);
    EXPECT_EQ(LoadU16(&start[0].bytes[12]), 0xEEEE);
    EXPECT_EQ(LoadU16(&start[0].bytes[14]), 4);
    EXPECT_EQ(LoadU16(&start[0].bytes[16]), 9);
    EXPECT_EQ(LoadU16(&start[0].bytes[18]), 0);

    cam.announced = 0;
    Script(cam);
    count = -1;
    EXPECT_EQ(camera_.FetchFileList("none.bin", &count, options_, &report_), kNoFiles);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(Exists("none.bin"));
    EXPECT_EQ(Sent(254).size(), 1u);  // only the first transfer ended with one
}

TEST_F(BlockTransferTest, AFileCountReadAsNegativeIsRefused) {
    ScriptedCamera cam;
    Open();
    for (uint32_t announced : {0xFFFFFFFFu, 0x80000000u}) {
        cam.announced = announced;
        Script(cam);
        int32_t count = 5;
        EXPECT_EQ(camera_.FetchFileList("list.bin", &count, options_, &report_), kTransferFailed);
        EXPECT_EQ(count, 5);
        EXPECT_FALSE(Exists("list.bin"));
    }
    cam.announced = 0x7FFFFFFF;
    Script(cam);
    int32_t count = 5;
    EXPECT_EQ(camera_.FetchFileList("list.bin", &count, options_, &report_), kFileListDone);
    EXPECT_EQ(count, 0x7FFFFFFF);
}

TEST_F(BlockTransferTest, ReferenceHeaderOpensTheWrittenFile) {
    ScriptedCamera cam;
    cam.header = Pattern(300);
    std::reverse(cam.header.begin(), cam.header.end());
    cam.data = Pattern(2500);
    Script(cam);
    Open();
    ASSERT_EQ(camera_.FetchReferencePicture("ref.jpg", options_, &report_), kReferenceDone);
    std::vector<uint8_t> expected = cam.header;
    expected.insert(expected.end(), cam.data.begin(), cam.data.end());
    EXPECT_EQ(ReadFile("ref.jpg"), expected);
    const auto start = Sent(130);
    ASSERT_EQ(start.size(), 1u);
    ASSERT_EQ(start[0].bytes.size(), 14u);
    EXPECT_EQ(LoadU16(&start[0].bytes[12]), 0xDDDD);
    ASSERT_EQ(Sent(254).size(), 1u);
    EXPECT_EQ(LoadU16(&Sent(254)[0].bytes[12]), 0xDDDD);
}

TEST_F(BlockTransferTest, ReferenceHeaderMustBeThereAndFit) {
    Open();
    ScriptedCamera cam;
    cam.header = Pattern(1025);
    Script(cam);
    EXPECT_EQ(camera_.FetchReferencePicture("ref.jpg", options_, &report_), kTransferFailed);
    cam.header = Pattern(100);
    cam.header_length = 400;  // more than the datagram holds
    Script(cam);
    EXPECT_EQ(camera_.FetchReferencePicture("ref.jpg", options_, &report_), kTransferFailed);
    cam.header_length = -3;
    Script(cam);
    EXPECT_EQ(camera_.FetchReferencePicture("ref.jpg", options_, &report_), kTransferFailed);
    EXPECT_FALSE(Exists("ref.jpg"));
}

TEST_F(BlockTransferTest, AcknowledgementOtherThanOneIsTheResult) {
    ScriptedCamera cam;
    cam.ack_word = 3;
    Script(cam);
    Open();
    EXPECT_EQ(camera_.FetchReferencePicture("ref.jpg", options_, &report_), 3);
    EXPECT_EQ(report_.ack_word, 3);
    EXPECT_TRUE(Sent(254).empty());
    EXPECT_FALSE(Exists("ref.jpg"));
}

TEST_F(BlockTransferTest, NameThatDoesNotFitItsFieldSendsNothing) {
    Open();
    const size_t before = peer_.count();
    EXPECT_EQ(FetchFile(std::string(32, 'a')), kOutOfRange);
    EXPECT_EQ(peer_.count(), before);
}

TEST_F(BlockTransferTest, FileGetTimeOutLastsOnlyForTheTransfer) {
    ScriptedCamera cam;
    Script(cam);
    Open();
    ASSERT_EQ(camera_.FetchRecordedFile("rec0001.rec", 700, options_, &report_), 0);
    EXPECT_EQ(camera_.reply_wait(), 100u);
}

TEST_F(BlockTransferTest, NoAcknowledgementIsMinusOne) {
    Open();
    peer_.SetScript(nullptr);
    camera_.set_reply_wait(30);
    // The start waits far longer than the reply wait; the reference start 1 s.
    EXPECT_EQ(camera_.FetchReferencePicture("ref.jpg", options_, &report_), kNoReply);
    EXPECT_EQ(camera_.FetchFileList("list.bin", nullptr, options_, &report_), kMissingArgument);
    EXPECT_EQ(camera_.reply_wait(), 30u);
}

}  // namespace
}  // namespace kest::protocol
