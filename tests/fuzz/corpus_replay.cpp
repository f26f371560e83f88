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

// The corpus files by name, so that the tests are named by them alone.
std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS))
        if (entry.is_regular_file()) files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    // An empty folder gives one test that fails, naming the folder.
    if (files.empty()) files.push_back("(no seed)");
    return files;
}

class Corpus : public testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        if (!LLVMFuzzerInitialize) return;
        int argc = 0;
        char** argv = nullptr;
        LLVMFuzzerInitialize(&argc, &argv);
    }
};

TEST_P(Corpus, GoesThroughTheTarget) {
    const auto path = std::filesystem::path(FUZZ_CORPUS) / GetParam();
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// Named by the target, so that every corpus file's test has a name of its own.
INSTANTIATE_TEST_SUITE_P(FUZZ_TARGET, Corpus, testing::ValuesIn(corpusFiles()), testName);

}  // namespace
