// Replays the live-frame fuzz corpus (frames completed by the client and
// decoded through picdec.spi) through the fuzz target's own body, under the
// sanitizers of the build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(LiveFrameCorpus, EverySeedRunsCleanly) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(LIVE_FRAME_CORPUS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << entry.path();
        ++files;
    }
    EXPECT_GE(files, 6u);
}

}  // namespace
