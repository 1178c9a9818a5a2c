// Pagewren.log beside config.xml: one UTF-8 line per event, for support. Each event is written
// when it happens, by the thread it happens on, through a file opened for it with sharing; no
// timer and no thread of its own, and a write that fails changes nothing the caller does.
// Never give it a password, a token, an Authorization header or an e-mail address.
#pragma once

#include <windows.h>
#include <stddef.h>

// At this size the file becomes Pagewren.1.log, replacing the older one, and a new file starts.
enum : DWORD { SupportLogLimit = 256 * 1024 };
// Tests shorten the limit here; 0, as at start, keeps SupportLogLimit.
extern DWORD g_supportLogLimit;

// Places the log in the per-user folder, creating the folder; until then, and when it fails,
// events go nowhere. On the main thread, before any other thread starts.
bool StartSupportLog();
// Names the calling thread in its lines ("check", "sign-in", ...); a thread that names none is "main".
void SetLogThreadRole(const char* role);
// Writes one line: UTC time to the millisecond, the thread's role, and the event formatted as
// wsprintfA does (system code page, cut at 1024 characters, line breaks made spaces).
void LogEvent(const char* format, ...);
// The same formatted as wsprintfW does, for texts the system code page may lack (%s is UTF-16).
void LogEventW(const wchar_t* format, ...);
// Copies address into out (capacity bytes, cut to fit) with all from after the first "token="
// to the last "&action=" (or the end) made "<token>": the token as inserted, whatever it holds.
void RedactToken(const char* address, char* out, size_t capacity);
