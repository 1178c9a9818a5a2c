#include "storage/heap_text.h"

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

namespace {

TEST(HeapText, GrowsAsNarrowOrWideTextAndStaysFailedOnceMemoryRunsOut) {
    HeapText text;
    EXPECT_STREQ("", NarrowText(text));
    std::string expected;
    // Past the first allocation, so the text must survive being moved by a reallocation.
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(AppendText(&text, "piece "));
        expected += "piece ";
    }
    EXPECT_EQ(expected, NarrowText(text));

    HeapText wide;
    ASSERT_TRUE(AppendBytes(&wide, L"wide", 4 * sizeof(wchar_t)));
    EXPECT_STREQ(L"wide", WideText(wide)) << "two zero bytes end the text";

    EXPECT_EQ(nullptr, AppendRoom(&text, SIZE_MAX - 1)) << "a size that overflows is refused";
    EXPECT_TRUE(text.failed);
    EXPECT_FALSE(AppendText(&text, "more")) << "later appends are refused too";
    EXPECT_EQ(expected, NarrowText(text));
    ClearHeapText(&text);
    EXPECT_TRUE(AppendText(&text, "again"));
    EXPECT_STREQ("again", NarrowText(text));
}

}  // namespace
