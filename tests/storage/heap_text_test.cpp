#include "storage/heap_text.h"

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>

namespace {

TEST(HeapText, GrowsAsNarrowOrWideTextAndStaysFailedOnceMemoryRunsOut) {
    HeapText text;
    // Growth past the first allocation is what every answer body goes through: the network
    // tests read a whole body of 1 MiB.
    ASSERT_TRUE(AppendText(&text, "piece ") && AppendText(&text, "and piece"));
    const std::string expected = "piece and piece";
    EXPECT_EQ(expected, NarrowText(text));

    HeapText wide;
    ASSERT_TRUE(AppendBytes(&wide, L"wide", 4 * sizeof(wchar_t)));
    EXPECT_STREQ(L"wide", WideText(wide)) << "two zero bytes end the text";

    EXPECT_EQ(nullptr, AppendRoom(&text, SIZE_MAX - 1)) << "a size that overflows is refused";
    EXPECT_FALSE(AppendText(&text, "more")) << "later appends are refused too";
    EXPECT_EQ(expected, NarrowText(text));
    ClearHeapText(&text);
    EXPECT_TRUE(AppendText(&text, "again"));
    EXPECT_STREQ("again", NarrowText(text));
}

}  // namespace
