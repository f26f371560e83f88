// When a changed settings or style file is taken: every line blank, a
// comment, `key: value`, or a line the last good text held already.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "live_reload.h"

namespace {

struct Case {
    const char* name;
    std::string text;
    std::string lastGood;
    int firstUnreadable;  // 0: the file is taken
};

const Case kCases[] = {
    {"empty", "", "", 0},
    {"keys, blanks and comments", "a: 1\n\n  # note\n! note\nb.c: x: y\n", "", 0},
    {"carriage returns", "a: 1\r\n\r\n", "", 0},
    {"a key with an empty value", "a:\n", "", 0},
    {"a new line without a colon", "a: 1\nb 2\n", "a: 1\n", 2},
    {"a colon with no key before it", "a: 1\n  : 2\n", "", 2},
    {"a line the file held before is the user's own", "my notes\na: 2\n", "my notes\na: 1\n", 0},
    {"the same line moved is still known", "a: 2\nmy notes\n", "my notes\na: 1\n", 0},
    {"a NUL byte is not text, even in a known line", std::string("a: 1\nx\0y\n", 9), std::string("x\0y\n", 4), 2},
    {"the first of two bad lines", "x\ny\n", "", 1},
};

// Named by its row in test listings, the same natively and under Wine.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class UnreadableLine : public testing::TestWithParam<Case> {};

TEST_P(UnreadableLine, FindsTheFirstLineThatIsNotKeyValue) {
    EXPECT_EQ(obsidel::firstUnreadableLine(GetParam().text, GetParam().lastGood), GetParam().firstUnreadable);
}

INSTANTIATE_TEST_SUITE_P(Table, UnreadableLine, testing::ValuesIn(kCases), [](const auto& param) {
    std::string name;
    for (const char* c = param.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

}  // namespace
