// Texts from the program's string table.
#pragma once

#include <windows.h>

// Loads string id into out, bounded by capacity; an empty text when the string is missing.
void LoadResourceText(UINT id, char* out, int capacity);
// Appends text to out (capacity bytes), cutting it to fit; false when it was cut.
bool AppendText(char* out, size_t capacity, const char* text);
