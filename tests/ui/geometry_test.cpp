// The arithmetic behind the dialogs' placement and the addresses the links open.
#include <gtest/gtest.h>

#include <string>

#include "net/page_address.h"
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
    EXPECT_TRUE(ComposeServerPageAddress("a", "", "/", "b", exact, sizeof exact));
    EXPECT_STREQ("http://a/b", exact);
    EXPECT_FALSE(ComposeServerPageAddress("a", "", "/", "bc", exact, sizeof exact));
    EXPECT_STREQ("", exact);
}

}  // namespace
