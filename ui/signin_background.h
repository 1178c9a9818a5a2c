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

// The layout for a client area of width x height pixels. The rule and the panel's top divide a
// sum of screen coordinates, so they shift with the dialog's place on the screen; the separator
// is a true midpoint and does not.
SignInBackgroundGeometry ComputeSignInBackground(int width, int height, const SignInAnchors& anchors);
