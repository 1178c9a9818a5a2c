#include "storage/resource_text.h"

void LoadResourceText(UINT id, char* out, int capacity) {
    if (capacity <= 0) return;
    out[0] = '\0';
    if (LoadStringA(GetModuleHandleA(NULL), id, out, capacity) == 0) out[0] = '\0';
}

bool AppendText(char* out, size_t capacity, const char* text) {
    size_t used = static_cast<size_t>(lstrlenA(out));
    size_t length = static_cast<size_t>(lstrlenA(text));
    if (used + 1 >= capacity) return length == 0;
    // lstrcpynA counts the terminator in its bound.
    lstrcpynA(out + used, text, static_cast<int>(capacity - used));
    return used + length < capacity;
}
