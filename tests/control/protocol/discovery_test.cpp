// Camera searches: merging the passes, the passes against a recording peer
// on loopback, and broadcast searches inside the isolated network namespace.
#include "control/protocol/discovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "control/facade/ctrl.h"
#include "platform/ticks.h"
#include "platform/udp_socket.h"
#include "sim/services.h"
#include "sim/simulator.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace kest::protocol {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

std::vector<uint8_t> Addresses(std::initializer_list<uint8_t> last_bytes, size_t pass_size) {
    std::vector<uint8_t> pass(pass_size, 0);
    size_t at = 0;
    for (uint8_t b : last_bytes) {
        const uint8_t entry[4] = {127, 0, 0, b};
        std::memcpy(pass.data() + at, entry, 4);
        at += 4;
    }
    return pass;
}

TEST(SearchMerge, EachCameraOnceUpToTheCapacityAndTheFirstEmptyEntry) {
    // Three passes of 16 bytes; camera 2 answers in every pass.
    std::vector<uint8_t> passes;
    for (auto p : {Addresses({2, 3}, 16), Addresses({2}, 16), Addresses({4, 2, 5}, 16)}) {
        passes.insert(passes.end(), p.begin(), p.end());
    }
    std::vector<uint8_t> list(16, 0xAA);
    EXPECT_EQ(MergeSearchPasses(kAddressSearch, passes, 16, list), 4);
    EXPECT_EQ(list, (std::vector<uint8_t>{127, 0, 0, 2, 127, 0, 0, 3, 127, 0, 0, 4, 127, 0, 0, 5}));

    std::vector<uint8_t> ten(10, 0xAA);  // room for 2 addresses
    EXPECT_EQ(MergeSearchPasses(kAddressSearch, passes, 16, ten), 2);
    EXPECT_EQ(ten[8], 0);

    // An answer whose address is 0 ends its pass and is never listed.
    std::vector<uint8_t> zero = Addresses({9, 9}, 8);
    std::memset(zero.data(), 0, 4);
    std::vector<uint8_t> out(8, 0);
    EXPECT_EQ(MergeSearchPasses(kAddressSearch, zero, 8, out), 0);
}

TEST(SearchMerge, MulticastRecordsKeepTheFirstPassesRecord) {
    std::vector<uint8_t> passes(48, 0);
    const uint8_t a[12] = {127, 0, 0, 2, 239, 0, 0, 1, 1, 0, 0, 0};
    const uint8_t b[12] = {127, 0, 0, 2, 239, 0, 0, 9, 2, 0, 0, 0};
    const uint8_t c[12] = {127, 0, 0, 3, 239, 0, 0, 3, 3, 0, 0, 0};
    std::memcpy(&passes[0], a, 12);
    std::memcpy(&passes[24], b, 12);
    std::memcpy(&passes[36], c, 12);
    std::vector<uint8_t> list(24, 0);  // room for 2 records
    EXPECT_EQ(MergeSearchPasses(kMulticastSearch, passes, 24, list), 2);
    EXPECT_EQ(list[7], 1);   // camera 2 with the record of the first pass
    EXPECT_EQ(list[15], 3);  // camera 3
}

class SearchTest : public ::testing::Test {
  protected:
    // Requests go to the peer instead of the broadcast address.
    void UsePeer() {
        std::ofstream(dir_.File("KEST.INI"))
            << "[udp]\nsearch_address=127.0.0.1:" << peer_.port() << "\n";
    }
    test::ScopedTempDir dir_;
    RecordingPeer peer_;
};

TEST_F(SearchTest, TenPassesOneRequestEachAndEveryDatagramIsAnAnswer) {
    UsePeer();
    peer_.SetScript([](const PeerDatagram& d) -> std::vector<PeerReply> {
        // Any datagram counts: a camera's answer and a stray one.
        std::vector<uint8_t> camera = {0, 0, 15, 0, 127, 0, 0, 7};
        std::vector<uint8_t> stray = {1, 2, 3, 4, 127, 0, 0, 8, 9, 9};
        (void)d;
        return {{camera}, {stray}};
    });
    std::vector<uint8_t> list(40, 0xAA);
    const uint64_t start = platform::MonotonicMicros();
    EXPECT_EQ(Search(kAddressSearch, list, 3), 2);
    // The search lasts its Timeout: 3 s for 10 passes of 300 ms.
    EXPECT_GE(platform::MonotonicMicros() - start, 2950000u);
    EXPECT_EQ(list[3], 7);
    EXPECT_EQ(list[7], 8);
    const auto got = peer_.Received();
    ASSERT_EQ(got.size(), 10u);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].bytes.size(), 8u);
        EXPECT_EQ(got[i].code(), 15);
        if (i) {
            EXPECT_EQ(got[i].sequence(), uint16_t(got[i - 1].sequence() + 1));
            // One pass lasts the window, answered or not.
            EXPECT_GE(got[i].time_us - got[i - 1].time_us, 295000u);
        }
    }
}

TEST_F(SearchTest, MethodsCheckTheBufferAndNeedNoAddress) {
    UsePeer();
    CKestCtrl ctrl;
    std::vector<uint8_t> list(24);
    int16_t number = -1;
    EXPECT_EQ(ctrl.SearchPALOMIR({list.data(), list.size()}, 3, number, 1), kResultBadArgument);
    EXPECT_EQ(ctrl.SearchMulticastIP({list.data(), list.size()}, 11, number, 1),
              kResultBadArgument);
    EXPECT_EQ(ctrl.SearchPALOMIR({list.data(), 8}, 24, number, 1), kResultBadArgument);
    EXPECT_EQ(peer_.count(), 0u);
    EXPECT_EQ(ctrl.SearchMulticastIP({list.data(), list.size()}, 24, number, 1), kResultOk);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(peer_.Received().at(0).code(), 14);
    // The search borrows nothing from the camera object: its texts stay unset.
    EXPECT_EQ(ctrl.camera()->address_text(), "");
    EXPECT_EQ(ctrl.camera()->port_text(), "");

    // Three cameras answer every pass: 10 bytes hold 2 addresses, 24 bytes 2 records.
    peer_.SetScript([](const PeerDatagram&) -> std::vector<PeerReply> {
        std::vector<PeerReply> answers;
        for (uint8_t camera : {2, 3, 4}) {
            answers.push_back({{0, 0, 14, 0, 127, 0, 0, camera, 239, 0, 0, camera, 1, 0, 0, 0}});
        }
        return answers;
    });
    std::vector<uint8_t> ten(10, 0xAA);
    EXPECT_EQ(ctrl.SearchPALOMIR({ten.data(), ten.size()}, 10, number, 1), kResultOk);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(ten, (std::vector<uint8_t>{127, 0, 0, 2, 127, 0, 0, 3, 0, 0}));
    std::vector<uint8_t> records(24, 0xAA);
    EXPECT_EQ(ctrl.SearchMulticastIP({records.data(), records.size()}, 24, number, 1), kResultOk);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(records[12 + 7], 3);
    EXPECT_EQ(records[12 + 8], 1);
}

TEST(BroadcastSearch, SimulatedCamerasAreFoundOnceEach) {
    if (!std::getenv("KEST_IN_NETNS")) GTEST_SKIP() << "broadcasts only inside the test namespace";
    std::vector<std::unique_ptr<sim::Simulator>> cameras;
    for (const char* address : {"127.0.0.2", "127.0.0.3"}) {
        sim::SimConfig config;
        config.bind_address = address;
        config.port = 4000;
        config.search_port = 4000;
        cameras.push_back(std::make_unique<sim::Simulator>(config));
        ASSERT_TRUE(cameras.back()->Start());
    }
    {
        // Camera 2 multicasts to 239.0.0.2; camera 3 has a group but does not use it.
        std::lock_guard lock(cameras[0]->state_mutex());
        cameras[0]->State<sim::ServicesState>().multicast_address = {239, 0, 0, 2};
        cameras[0]->State<sim::ServicesState>().multicast_mode = 1;
    }
    {
        std::lock_guard lock(cameras[1]->state_mutex());
        cameras[1]->State<sim::ServicesState>().multicast_address = {239, 0, 0, 3};
    }
    CKestCtrl ctrl;
    std::vector<uint8_t> list(40);
    int16_t number = 0;
    ASSERT_EQ(ctrl.SearchPALOMIR({list.data(), list.size()}, 40, number, 3), 0);
    ASSERT_EQ(number, 2);
    std::set<uint8_t> found = {list[3], list[7]};
    EXPECT_EQ(found, (std::set<uint8_t>{2, 3}));
    for (const auto& c : cameras)
        EXPECT_EQ(c->ReceivedCount(15), 10u);

    // Each record: the camera's address, its group, and whether it multicasts.
    std::vector<uint8_t> records(36);
    ASSERT_EQ(ctrl.SearchMulticastIP({records.data(), records.size()}, 36, number, 1), 0);
    ASSERT_EQ(number, 2);
    for (int r = 0; r < 2; ++r) {
        const uint8_t* record = &records[size_t(r) * 12];
        EXPECT_EQ(std::vector<uint8_t>(record + 4, record + 8),
                  (std::vector<uint8_t>{239, 0, 0, record[3]}));
        EXPECT_EQ(record[8], record[3] == 2 ? 1 : 0);
    }

    // Other commands sent to the shared search port are no camera's: a
    // search sent after one finds it passed over.
    std::vector<size_t> before;
    for (const auto& c : cameras)
        before.push_back(c->ReceivedCount());
    platform::UdpSocket other;
    ASSERT_TRUE(other.Open());
    const uint8_t version_request[4] = {1, 0, 4, 0};
    ASSERT_EQ(other.SendTo(version_request, 4, platform::MakeAddress(0x7F000001, 4000)), 4);
    ASSERT_EQ(ctrl.SearchPALOMIR({list.data(), list.size()}, 40, number, 1), 0);
    EXPECT_EQ(number, 2);
    for (size_t i = 0; i < cameras.size(); ++i)
        EXPECT_EQ(cameras[i]->ReceivedCount(), before[i] + 10);
}

}  // namespace
}  // namespace kest::protocol
