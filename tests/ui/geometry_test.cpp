// The arithmetic behind the sign-in background and the addresses the links open.
#include <gtest/gtest.h>

#include "net/page_address.h"
#include "ui/signin_background.h"

namespace {

// The anchors come in screen coordinates. The rule and the panel divide their sums, so they
// shift with the dialog's place on the screen: with the client area 200 pixels down, the rule
// lies 12 pixels higher in it and the panel 10 lower than at the top of the screen, each quotient
// truncated.
TEST(SignInBackground, FollowsWhereTheDialogLies) {
    const SignInBackgroundGeometry at = ComputeSignInBackground(417, 353, {233, 289, 500, 521, 200});
    EXPECT_EQ(45, at.ruleY);
    EXPECT_EQ(74, at.panel.top);
}

TEST(ComposeServerPageAddress, RefusesAnAddressOneCharacterTooLong) {
    char exact[sizeof "http://a/b"];
    EXPECT_TRUE(ComposeServerPageAddress(false, "a", "", "/", "b", exact, sizeof exact));
    EXPECT_STREQ("http://a/b", exact);
    EXPECT_FALSE(ComposeServerPageAddress(false, "a", "", "/", "bc", exact, sizeof exact));
    EXPECT_STREQ("", exact);
}

}  // namespace
