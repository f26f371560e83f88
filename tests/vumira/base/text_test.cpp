// The plug-in's fixed-size texts: cut to fit, and a shared text that holds
// nothing of an earlier, longer one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/text.h"

namespace {

using vumira::SharedText;

TEST(CopyText, CutsToFitAndAlwaysEnds) {
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {{"", ""}, {"abc", "abc"}, {"abcdefg", "abcdefg"}, {"abcdefgh", "abcdefg"}, {nullptr, ""}};
    for (const auto& c : cases) {
        char out[8];
        std::memset(out, 'x', sizeof out);
        vumira::copyText(out, c.source);
        EXPECT_STREQ(out, c.expected) << (c.source ? c.source : "(null)");
    }
}

// Each set stores the whole buffer; the bytes after the end must be zeros,
// not what the cut copy held before (a reader that copies the whole buffer,
// as get() does, would otherwise hand on stale or uninitialised bytes).
TEST(SharedText, AShortTextAfterALongOneLeavesOnlyZerosBehindIt) {
    SharedText<16> text;
    for (const char* shorter : {"ab", "", "h"}) {
        text.set("fifteen letters");
        text.set(shorter);
        char now[16];
        text.get(now);
        EXPECT_STREQ(now, shorter);
        for (std::size_t i = std::string(shorter).size(); i < sizeof now; ++i)
            EXPECT_EQ(now[i], '\0') << "byte " << i << " after \"" << shorter << "\"";
    }
}

TEST(SharedText, CutsALongTextAndComparesWhole) {
    const std::string whole = "abcdef";
    SharedText<4> text(whole.c_str());
    EXPECT_TRUE(text.equals("abc"));
    EXPECT_FALSE(text.equals(whole.c_str()));
    text.set(nullptr);
    EXPECT_TRUE(text.equals(""));
}

}  // namespace
