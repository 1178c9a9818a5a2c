// The arithmetic behind the sign-in background and the addresses the links open.
#include <gtest/gtest.h>

#include <string>

#include "net/page_address.h"
#include "ui/signin_background.h"

namespace {

// The anchors come in screen coordinates; the rule and the panel follow the client area
// wherever the dialog lies on the screen.
TEST(SignInBackground, FollowsWhereTheDialogLies) {
    const int clientTops[] = {0, 200}, ruleYs[] = {57, 45}, panelTops[] = {64, 74};
    for (int i = 0; i < 2; ++i) {
        const int top = clientTops[i];
        const SignInBackgroundGeometry at =
            ComputeSignInBackground(417, 353, {33 + top, 89 + top, 300 + top, 321 + top, top});
        EXPECT_EQ(ruleYs[i], at.ruleY) << "client top " << top;
        EXPECT_EQ(panelTops[i], at.panel.top) << "client top " << top;
    }
}

TEST(ComposeServerPageAddress, RefusesAnAddressOneCharacterTooLong) {
    char exact[sizeof "http://a/b"];
    EXPECT_TRUE(ComposeServerPageAddress(false, "a", "", "/", "b", exact, sizeof exact));
    EXPECT_STREQ("http://a/b", exact);
    EXPECT_FALSE(ComposeServerPageAddress(false, "a", "", "/", "bc", exact, sizeof exact));
    EXPECT_STREQ("", exact);
}

}  // namespace
