#include "storage/resource_text.h"

namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x3000; }

// Chinese and Japanese write no blanks between words: a line breaks between any two of their
// characters, punctuation included.
bool Ideographic(wchar_t c) { return (c >= 0x3000 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF); }

}  // namespace

void LoadResourceText(UINT id, char* out, int capacity) {
    if (capacity <= 0) return;
    out[0] = '\0';
    if (LoadStringA(GetModuleHandleA(NULL), id, out, capacity) == 0) out[0] = '\0';
}

void LoadResourceText(UINT id, wchar_t* out, int capacity) {
    if (capacity <= 0) return;
    out[0] = L'\0';
    if (LoadStringW(GetModuleHandleW(NULL), id, out, capacity) == 0) out[0] = L'\0';
}

// A string table block holds 16 strings, each a character count followed by its characters.
void LoadResourceTextIn(UINT id, LANGID language, wchar_t* out, int capacity) {
    if (capacity <= 0) return;
    out[0] = L'\0';
    HMODULE module = GetModuleHandleW(NULL);
    HRSRC block = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);  // RT_STRING
    const WCHAR* entry = block ? static_cast<const WCHAR*>(LockResource(LoadResource(module, block))) : NULL;
    if (!entry) return;
    for (UINT skipped = 0; skipped < id % 16; ++skipped) entry += 1 + *entry;
    const int length = *entry < capacity ? *entry : capacity - 1;
    CopyMemory(out, entry + 1, length * sizeof(WCHAR));
    out[length] = L'\0';
}

bool AppendText(char* out, size_t capacity, const char* text) {
    size_t used = static_cast<size_t>(lstrlenA(out));
    size_t length = static_cast<size_t>(lstrlenA(text));
    if (used + 1 >= capacity) return length == 0;
    // lstrcpynA counts the terminator in its bound.
    lstrcpynA(out + used, text, static_cast<int>(capacity - used));
    return used + length < capacity;
}

bool AppendText(wchar_t* out, size_t capacity, const wchar_t* text) {
    const size_t used = static_cast<size_t>(lstrlenW(out));
    const size_t length = static_cast<size_t>(lstrlenW(text));
    if (used + 1 >= capacity) return length == 0;
    size_t taken = used + length < capacity ? length : capacity - used - 1;
    // Half a pair would show as a broken character.
    if (taken < length && taken > 0 && IS_HIGH_SURROGATE(text[taken - 1])) --taken;
    CopyMemory(out + used, text, taken * sizeof(wchar_t));
    out[used + taken] = L'\0';
    return taken == length;
}

bool AppendWholeWords(wchar_t* out, size_t capacity, const wchar_t* text) {
    const size_t used = static_cast<size_t>(lstrlenW(out));
    if (used + static_cast<size_t>(lstrlenW(text)) < capacity) return AppendText(out, capacity, text);
    // Room for the words and the ellipsis after them.
    if (used + 2 >= capacity) return false;
    const size_t room = capacity - used - 2;
    size_t cut = room;
    while (cut > 0 && !Blank(text[cut]) && !(Ideographic(text[cut - 1]) && Ideographic(text[cut]))) --cut;
    // One word longer than the room is cut where it must, but not inside a character.
    if (cut == 0) cut = IS_HIGH_SURROGATE(text[room - 1]) ? room - 1 : room;
    while (cut > 0 && Blank(text[cut - 1])) --cut;
    CopyMemory(out + used, text, cut * sizeof(wchar_t));
    out[used + cut] = 0x2026;
    out[used + cut + 1] = L'\0';
    return false;
}
