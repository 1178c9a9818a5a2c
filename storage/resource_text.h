// Texts from the program's string table.
#pragma once

#include <windows.h>

// Loads string id into out, bounded by capacity; an empty text when the string is missing.
void LoadResourceText(UINT id, char* out, int capacity);
// The same in UTF-16, capacity counting characters.
void LoadResourceText(UINT id, wchar_t* out, int capacity);
// The string in the given language of the string table (not the user's), cut to fit; an empty
// text when that language lacks it.
void LoadResourceTextIn(UINT id, LANGID language, wchar_t* out, int capacity);
// Appends text to out (capacity bytes), cutting it to fit; false when it was cut.
bool AppendText(char* out, size_t capacity, const char* text);
// Appends text to out (capacity characters), cut to fit but never between the two halves of a
// character beyond U+FFFF; false when it was cut.
bool AppendText(wchar_t* out, size_t capacity, const wchar_t* text);
// Appends text to out (capacity characters); a text too long is cut between two words, where a
// line could break, and then ends with an ellipsis (U+2026). False when it was cut.
bool AppendWholeWords(wchar_t* out, size_t capacity, const wchar_t* text);
