// Replays a fuzz target's committed corpus as ordinary tests: each file of
// the corpus folder goes once through the target's entry point, so that a
// fault the fuzzer once found (and every seed) stays fixed in every build.
// The target reports a fault by crashing, as under the fuzzer; the
// sanitizer builds catch the memory faults the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> corpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class Corpus : public testing::TestWithParam<std::filesystem::path> {
protected:
    static void SetUpTestSuite() {
        if (!LLVMFuzzerInitialize) return;
        int argc = 0;
        char** argv = nullptr;
        LLVMFuzzerInitialize(&argc, &argv);
    }
};

TEST(CorpusFolder, HoldsSeeds) { EXPECT_FALSE(corpusFiles().empty()) << "no seed in " << FUZZ_CORPUS; }

TEST_P(Corpus, GoesThroughTheTarget) {
    std::ifstream in(GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
}

std::string testName(const testing::TestParamInfo<std::filesystem::path>& info) {
    std::string name = info.param.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Files, Corpus, testing::ValuesIn(corpusFiles()), testName);

}  // namespace
