// The configuration file config.xml: the settings record across runs.
#pragma once

#include <windows.h>

// Fills the settings from the per-user file, else the all-users one; true when one was read.
bool Load();

// What the last Load made of a per-user file that exists but could not be read.
enum class UnreadableUserFile : int { None = 0, Kept = 1, NotKept = 2 };
// The per-user file at the last Load; path (MAX_PATH bytes) gets the copy kept of an unreadable
// one, or the file itself when no copy could be kept, else "".
UnreadableUserFile UnreadableFileAtLoad(char* path);
// Writes the per-user file when the settings were modified or the file still holds the
// password, and keeps the remembered password with Windows or deletes it; true when nothing failed.
bool Save();
// Wipes the password from the settings and deletes the one kept for their server, taking an
// old one out of the file too; the e-mail address and the remember and automatic sign-in flags
// stay. True when nothing failed.
bool ForgetPassword();
// Reads one configuration file into the settings record.
bool ReadConfigFile(const char* path);
// Why the last ReadConfigFile failed, for the support log: "could not be read", "not XML", "no
// server element", or "bad value " and the value's name; "" after a read.
const char* ConfigReadFault();
// Writes the settings record to one configuration file, replacing it only when complete.
bool WriteConfigFile(const char* path);

// Puts the finished temporary file in place of the old one; tests make it fail. Null, as at
// start: MoveFileExA.
extern BOOL(WINAPI* g_replaceConfigFile)(LPCSTR from, LPCSTR to, DWORD flags);
