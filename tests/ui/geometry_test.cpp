// The arithmetic behind the dialogs' placement and the sign-in dialog's painted background.
#include <gtest/gtest.h>

#include "ui/center_on_desktop.h"
#include "ui/signin_background.h"

namespace {

struct CenterCase {
    RECT window;
    LONG expectedX;
    LONG expectedY;
};

TEST(CenteredPosition, CentresOnA1024x768DesktopWhereverTheWindowWasCreated) {
    const RECT desktop = {0, 0, 1024, 768};
    const CenterCase cases[] = {
        {{0, 0, 200, 120}, 412, 324},
        {{700, 600, 900, 720}, 412, 324},
        {{-300, -50, -100, 70}, 412, 324},
        // Half of an odd difference is truncated toward zero, so the side it came from matters.
        {{0, 0, 201, 120}, 411, 324},
        {{500, 0, 701, 120}, 412, 324},
        {{0, 0, 200, 121}, 412, 323},
        {{0, 700, 200, 821}, 412, 324},
    };
    for (const CenterCase& c : cases) {
        const POINT p = CenteredPosition(desktop, c.window);
        EXPECT_EQ(c.expectedX, p.x) << "window at " << c.window.left << "," << c.window.top;
        EXPECT_EQ(c.expectedY, p.y) << "window at " << c.window.left << "," << c.window.top;
    }
}

TEST(SignInBackground, FactorsOfTheClientSize) {
    const SignInAnchors anchors = {33, 89, 200, 220, 0};
    const SignInBackgroundGeometry g = ComputeSignInBackground(417, 353, anchors);
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
}

TEST(SignInBackground, PanelRightEdgeUsesOneMinusSevenHundredths) {
    // 500 x 0.93 is 465, but 500 x (1 - 0.07) is just below it.
    const SignInAnchors anchors = {33, 89, 200, 220, 0};
    EXPECT_EQ(464, ComputeSignInBackground(500, 400, anchors).panel.right);
    EXPECT_EQ(93, ComputeSignInBackground(100, 400, anchors).panel.right);
}

TEST(SignInBackground, RuleAndPanelTopDependOnWhereTheDialogLies) {
    struct Case {
        int clientTop;
        int ruleY;
        int panelTop;
    };
    // Title bottom and heading top at client y 33 and 89 in both cases.
    const Case cases[] = {{0, 57, 64}, {200, 45, 74}};
    for (const Case& c : cases) {
        const SignInAnchors anchors = {33 + c.clientTop, 89 + c.clientTop, 300 + c.clientTop, 321 + c.clientTop,
                                       c.clientTop};
        const SignInBackgroundGeometry g = ComputeSignInBackground(417, 353, anchors);
        EXPECT_EQ(c.ruleY, g.ruleY) << "client top " << c.clientTop;
        EXPECT_EQ(c.panelTop, g.panel.top) << "client top " << c.clientTop;
        // A true midpoint, wherever the dialog is.
        EXPECT_EQ(310, g.separatorY) << "client top " << c.clientTop;
    }
}

}  // namespace
