// The remembered password, kept by the Windows Credential Manager as a generic credential of
// this computer rather than in the configuration file. It is bound to the server's origin: the
// target "Pagewren:" + scheme + "://" + host + ":" + port in force, the e-mail address its user
// name, the password its blob in UTF-16. The settings' texts are in the system code page.
#pragma once

#include <windows.h>
#include <wincred.h>
#include <stddef.h>

// "Pagewren:https://host:443" and the like, for the settings in force; false when it does not
// fit capacity (wide characters, counting the NUL).
bool KeptPasswordTarget(wchar_t* target, size_t capacity);
// Keeps the settings' password for their e-mail address and origin; false when Windows refuses
// or the password is longer than a credential holds, and then none stays kept for the origin.
bool KeepPassword();
// Fills the settings' empty password from the one kept for their origin, when it was kept for
// their e-mail address (letter case aside); false when none was filled in.
bool ReadKeptPassword();
// Deletes the password kept for the settings' origin; true also when there was none.
bool DeleteKeptPassword();

// Writes a credential; tests make the store refuse. Null, as at start: CredWriteW.
extern BOOL(WINAPI* g_writeCredential)(PCREDENTIALW credential, DWORD flags);
