// The arithmetic behind the dialogs' placement, the sign-in dialog's painted background and the
// addresses its links open.
#include <gtest/gtest.h>

#include <string>

#include "app/page_address.h"
#include "ui/center_on_desktop.h"
#include "ui/signin_background.h"

namespace {

TEST(CenteredPosition, CentresOnA1024x768Desktop) {
    const RECT desktop = {0, 0, 1024, 768};
    struct Case {
        RECT window;
        LONG x, y;
    };
    const Case cases[] = {
        {{0, 0, 200, 120}, 412, 324},
        // Half of an odd difference is truncated toward zero, so the side it came from matters.
        {{0, 0, 201, 120}, 411, 324},
        {{500, 0, 701, 120}, 412, 324},
    };
    for (const Case& c : cases) {
        const POINT p = CenteredPosition(desktop, c.window);
        EXPECT_EQ(c.x, p.x) << "window at " << c.window.left;
        EXPECT_EQ(c.y, p.y) << "window at " << c.window.left;
    }
}

TEST(SignInBackground, FollowsTheClientSizeAndWhereTheDialogLies) {
    const SignInBackgroundGeometry g = ComputeSignInBackground(417, 353, {33, 89, 200, 220, 0});
    EXPECT_EQ(0, g.banner.left);
    EXPECT_EQ(0, g.banner.top);
    EXPECT_EQ(70, g.banner.right);
    EXPECT_EQ(41, g.banner.bottom);
    EXPECT_EQ(8, g.ruleLeft);
    EXPECT_EQ(396, g.ruleRight);
    EXPECT_EQ(29, g.panel.left);
    EXPECT_EQ(387, g.panel.right);
    EXPECT_EQ(317, g.panel.bottom);
    EXPECT_EQ(54, g.separatorLeft);
    EXPECT_EQ(333, g.separatorRight);
    // 500 x 0.93 is 465, but 500 x (1 - 0.07) is just below it.
    EXPECT_EQ(464, ComputeSignInBackground(500, 400, {33, 89, 200, 220, 0}).panel.right);

    // Title bottom and heading top at client y 33 and 89, with the client top at screen y 0 and 200.
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
    EXPECT_TRUE(ComposeServerPageAddress("a", "", "/", "b", exact, sizeof exact));
    EXPECT_STREQ("http://a/b", exact);
    EXPECT_FALSE(ComposeServerPageAddress("a", "", "/", "bc", exact, sizeof exact));
    EXPECT_STREQ("", exact);
}

}  // namespace
