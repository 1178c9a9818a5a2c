// The reading order of the user's display language. Arabic and Hebrew read right to left, and
// the program's windows, menus and boxes are then mirrored, as Windows' own are.
#pragma once

#include <windows.h>

// Whether text in the language (any sublanguage) reads right to left.
bool ReadsRightToLeft(LANGID language);
// Makes every window the process creates from now on mirrored when the user's display language
// reads right to left; true when it did. Before the first window.
bool MirrorForUserLanguage();
// MB_RTLREADING | MB_RIGHT while the process mirrors its windows, else 0.
UINT BoxReadingFlags();
// Whether the window is laid out right to left.
bool IsMirrored(HWND window);
// Lays the dialog's control out left to right, its text starting at the left end, also when the
// dialog is mirrored: for what reads so in every language, such as e-mail addresses.
void KeepLeftToRight(HWND dialog, int controlId);
