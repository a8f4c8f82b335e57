// kestctl downloads camera files and shows their progress on stderr.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "sim/memory_card.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"
#include "tools/kestctl/host.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(KestctlTransfer, ProgressBarShowsPagesOfTheCount) {
    EXPECT_EQ(kestctl::ProgressBar(0, 4), "\r[........................................] 0/4 pages");
    EXPECT_EQ(kestctl::ProgressBar(1, 4), "\r[##########..............................] 1/4 pages");
    EXPECT_EQ(kestctl::ProgressBar(9, 4), "\r[########################################] 4/4 pages");
}

TEST(KestctlTransfer, RecordedFileDownloadDrawsItsProgress) {
    kest::test::ScopedTempDir dir;
    kest::sim::SimConfig config;
    config.port = 0;
    kest::sim::Simulator sim(config);
    ASSERT_TRUE(sim.Start());
    const std::vector<uint8_t> data = kest::sim::PatternBytes(5000, 3);
    {
        std::lock_guard lock(sim.state_mutex());
        auto& card = sim.State<kest::sim::MemoryCardState>();
        card.AddFile("clip.rec", data);
        card.SetPageSize(1000);
    }
    const std::string cmd = std::string(KESTCTL_PATH) + " --ip 127.0.0.1 --port " +
                            std::to_string(sim.port()) +
                            " call GetLocalRecFile clip.rec 0 0 0 >out.txt 2>err.txt";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadText("out.txt"), "{\"method\":\"GetLocalRecFile\",\"dispid\":48,\"result\":0}\n");
    const std::string err = ReadText("err.txt");
    EXPECT_NE(err.find("] 1/5 pages"), std::string::npos) << err;
    EXPECT_NE(err.find("] 5/5 pages\n"), std::string::npos) << err;
    const std::string file = ReadText("clip.rec");
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.end()), data);
}

}  // namespace
