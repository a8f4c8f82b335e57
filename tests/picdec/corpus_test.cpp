// Replays the fuzz seed corpus through the three picture calls (under the sanitizers in the
// asan configuration), with the outcome each call may have.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "jpeg_fixtures.h"
#include "picdec.h"

namespace picdec_test {
namespace {

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    if (DIR* d = opendir(PICDEC_CORPUS_DIR)) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.')
                files.push_back(std::string(PICDEC_CORPUS_DIR) + "/" + e->d_name);
        }
        closedir(d);
    }
    return files;
}

TEST(CorpusTest, EveryFileDecodesOrFailsCleanly) {
    std::vector<std::string> files = CorpusFiles();
    ASSERT_GE(files.size(), 10u);
    const std::set<int> allowed = {0, 2, 3, 10};
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        PicdecPictureInfo info;
        int rc = GetPictureInfo(f.c_str(), 0, PICDEC_INPUT_FILE, &info);
        EXPECT_TRUE(allowed.count(rc)) << rc;
        if (rc == 0) {
            char* c;
            std::memcpy(&c, &info.comment, sizeof(c));
            std::free(c);
        }
        for (auto fn : {GetPicture, GetPreview}) {
            void* hi = nullptr;
            void* hb = nullptr;
            rc = fn(f.c_str(), 0, PICDEC_INPUT_FILE, &hi, &hb, nullptr, 0);
            EXPECT_TRUE(allowed.count(rc)) << rc;
            if (rc == 0) {
                EXPECT_TRUE(hi != nullptr && hb != nullptr);
            }
            std::free(hi);
            std::free(hb);
        }
    }
}

// The intact pictures of the corpus decode within the bounds against libjpeg-turbo.
TEST(CorpusTest, IntactFilesMatchLibjpegTurbo) {
    for (const std::string& f : CorpusFiles()) {
        if (f.find("truncated") != std::string::npos) continue;
        SCOPED_TRACE(f);
        FILE* fp = std::fopen(f.c_str(), "rb");
        ASSERT_NE(fp, nullptr);
        Bytes j;
        int ch;
        while ((ch = std::fgetc(fp)) != EOF)
            j.push_back(static_cast<uint8_t>(ch));
        std::fclose(fp);
        Reference ref = DecodeReference(j, f.find("440") != std::string::npos);
        Decoded d = Decode(j);
        ASSERT_EQ(d.result, 0);
        Diff diff = Compare(d, ref);
        EXPECT_LE(diff.mean, 1.5);
        EXPECT_LE(diff.max, 16);
    }
}

}  // namespace
}  // namespace picdec_test
