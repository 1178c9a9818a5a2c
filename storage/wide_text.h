// The program keeps 8-bit texts; windows show UTF-16. Conversions between the two, bounded.
#pragma once

#include <windows.h>

// Converts text in codePage (CP_ACP, CP_UTF8) into out; false, and an empty text, when it does
// not fit capacity characters. A text of n bytes always fits in n + 1.
bool WidenText(UINT codePage, const char* text, wchar_t* out, int capacity);
// Converts text into UTF-8, cut after the last whole character that fits capacity bytes (the
// terminator counted); false when it was cut.
bool NarrowToUtf8(const wchar_t* text, char* out, int capacity);
