#include "ui/signin_background.h"

#include "res/resource.h"
#include "ui/display_scale.h"

namespace {

// Every product and quotient is truncated toward zero to a whole pixel.
int Trunc(double value) {
    return static_cast<int>(value);
}

}  // namespace

SignInBackgroundGeometry ComputeSignInBackground(int width, int height, const SignInAnchors& a) {
    const double w = width;
    const double titleToHeading = double(a.titleBottom) + a.headingTop;
    // 1 - 0.07 in double precision lies one unit in the last place below 0.93; the panel's right
    // edge is defined by that product, which differs from 0.93 for some widths.
    const double panelRightFactor = 1.0 - 0.07;

    SignInBackgroundGeometry g;
    // Both banner extents scale with the width.
    g.banner.left = 0;
    g.banner.top = 0;
    g.banner.right = Trunc(0.17 * w);
    g.banner.bottom = Trunc(0.1 * w);

    g.ruleLeft = Trunc(0.02 * w);
    g.ruleRight = Trunc(0.95 * w);
    g.ruleY = Trunc(titleToHeading / 2.13) - a.clientTop;

    g.panel.left = Trunc(0.07 * w);
    g.panel.top = Trunc(titleToHeading / 1.9) - a.clientTop;
    g.panel.right = Trunc(w * panelRightFactor);
    g.panel.bottom = Trunc(0.9 * height);

    g.separatorLeft = Trunc(0.13 * w);
    g.separatorRight = Trunc(0.8 * w);
    g.separatorY = Trunc(0.5 * (double(a.forgotBottom) + a.promptTop)) - a.clientTop;
    return g;
}

BannerPlacement PlaceBanner(const RECT& box, UINT dpi) {
    BannerPlacement placed = {IDB_BANNER, 68, 43, box};
    if (dpi <= DefaultDpi) return placed;
    placed.resourceId = IDB_BANNER_2X;
    placed.imageWidth = 136;
    placed.imageHeight = 86;
    if (placed.target.right - placed.target.left > placed.imageWidth)
        placed.target.right = placed.target.left + placed.imageWidth;
    if (placed.target.bottom - placed.target.top > placed.imageHeight)
        placed.target.bottom = placed.target.top + placed.imageHeight;
    return placed;
}
