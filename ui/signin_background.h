// Where the sign-in dialog's painted background puts its banner, blue rule, panel and separator.
#pragma once

#include <windows.h>

// Screen y coordinates the background is measured from.
struct SignInAnchors {
    int titleBottom;   // IDC_TITLE's bottom
    int headingTop;    // IDC_HEADING's top
    int forgotBottom;  // IDC_FORGOT_LINK's bottom
    int promptTop;     // IDC_SIGNUP_PROMPT's top
    int clientTop;     // the dialog's client origin
};

// Everything in client pixels. Lines run from their left x to their right x, end point excluded.
struct SignInBackgroundGeometry {
    RECT banner;
    int ruleLeft, ruleRight, ruleY;
    RECT panel;
    int separatorLeft, separatorRight, separatorY;
};

// Which logo bitmap fills the banner box, and where. The 68 x 43 image is stretched to the box
// at 96 DPI and below; above, the 136 x 86 one is scaled down to the box, but never up.
struct BannerPlacement {
    int resourceId;
    int imageWidth, imageHeight;
    RECT target;
};

// The layout for a client area of width x height pixels. The rule and the panel's top divide a
// sum of screen coordinates, so they shift with the dialog's place on the screen; the separator
// is a true midpoint and does not.
SignInBackgroundGeometry ComputeSignInBackground(int width, int height, const SignInAnchors& anchors);
// The banner for the geometry's banner box at dpi.
BannerPlacement PlaceBanner(const RECT& box, UINT dpi);
