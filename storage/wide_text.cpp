#include "storage/wide_text.h"

bool WidenText(UINT codePage, const char* text, wchar_t* out, int capacity) {
    if (capacity <= 0) return false;
    if (MultiByteToWideChar(codePage, 0, text, -1, out, capacity) > 0) return true;
    // A call that ran out of room may have written part of the text.
    out[0] = L'\0';
    return false;
}

bool NarrowToUtf8(const wchar_t* text, char* out, int capacity) {
    if (capacity <= 0) return false;
    // What each character takes in UTF-8; a lone surrogate becomes U+FFFD, three bytes.
    int units = 0;
    int bytes = 0;
    while (text[units]) {
        const wchar_t c = text[units];
        const bool pair = IS_SURROGATE_PAIR(c, text[units + 1]);
        const int size = c < 0x80 ? 1 : c < 0x800 ? 2 : pair ? 4 : 3;
        if (bytes + size >= capacity) break;
        bytes += size;
        units += pair ? 2 : 1;
    }
    const int made = units ? WideCharToMultiByte(CP_UTF8, 0, text, units, out, capacity - 1, nullptr, nullptr) : 0;
    out[made] = '\0';
    return made == bytes && text[units] == L'\0';
}
