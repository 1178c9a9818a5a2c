// The process-wide settings record: where the server lives and who signs in to it.
#pragma once

#include <windows.h>
#include <stddef.h>

enum class SettingsState : int { Initial = 0, Loaded = 1, Modified = 2 };

enum : size_t {
    SettingsTextSize = 4096,
    SettingsPortSize = 12,
};

// Host, directory and port are in the system code page; the e-mail address and the password
// are UTF-8, so that they hold whatever the user typed.
struct Settings {
    char host[SettingsTextSize];
    char directory[SettingsTextSize];
    char port[SettingsPortSize];
    char user[SettingsTextSize];
    char password[SettingsTextSize];
    bool remember;
    // Sign in at start with the kept password, without the dialog.
    bool autoSignIn;
    // The password is the one Windows kept for this origin and e-mail address, read at Load.
    bool passwordKept;
    // The server speaks HTTPS: TLS with verified certificates, default port 443.
    bool secure;
    // The file read holds the password in the cipher of earlier versions; the next save takes
    // it out of the file and gives it to Windows to keep.
    bool passwordInFile;
    SettingsState state;
    // Recursive: Load and Save hold it while the file operations take it again.
    CRITICAL_SECTION lock;

    Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
};

// The one record of the process, built before WinMain runs and never destroyed: a worker
// that nothing waits for may still hold its lock while the process ends.
extern Settings g_settings;

// A consistent copy of what a server exchange needs, taken under the settings lock; its
// texts are encoded as the record's.
struct ServerSettings {
    char host[SettingsTextSize];
    char directory[SettingsTextSize];
    char port[SettingsPortSize];
    char user[SettingsTextSize];
    char password[SettingsTextSize];
    bool secure;
    SettingsState state;

    // The copy of the password goes when the exchange that needed it is over.
    ~ServerSettings() { SecureZeroMemory(password, sizeof password); }
};

// Writes the default host and directory and clears the credentials; port, scheme, automatic
// sign-in and state stay.
void ResetToDefaults();

// Live stored texts, read without the lock (main thread only).
const char* Host();
const char* Directory();
const char* Port();
const char* User();
const char* Password();
bool Remember();
bool AutoSignIn();
// True while the password is the one Load read from Windows for the settings' origin and e-mail
// address; false when it came from an old file, was typed or forgotten since, or none was kept.
bool PasswordKept();
bool Secure();
SettingsState State();

// Stores the e-mail address unless it equals the stored one apart from letter case.
void SetUser(const char* user);
// Stores the password unless it equals the stored one byte for byte.
void SetPassword(const char* password);
// Stores the remember flag when it differs.
void SetRemember(bool remember);
// Stores the automatic sign-in flag when it differs.
void SetAutoSignIn(bool autoSignIn);

// The port the text names, read as atoi does and cut to its low 16 bits; 0 (the scheme's
// default) for an empty text or one without leading digits.
WORD PortFromText(const char* text);
// The port an exchange with the server uses: the text's, else 443 over HTTPS and 80 over HTTP.
WORD PortInUse(const char* text, bool secure);

// Copies the server fields and credentials under the lock, for a worker thread.
void CopyServerSettings(ServerSettings* out);

// The credentials in force at one moment, so that what the user typed since can be undone.
struct CredentialSnapshot {
    char user[SettingsTextSize];
    char password[SettingsTextSize];
    bool remember;
    bool autoSignIn;
    bool passwordKept;
    SettingsState state;
};

// Copies the e-mail address, password, their flags and the state under the lock.
void TakeCredentialSnapshot(CredentialSnapshot* out);
// Puts the snapshot back, state included, so that nothing counts as changed; then forgets it.
void RestoreCredentialSnapshot(CredentialSnapshot* snapshot);
// Wipes the snapshot's password from memory.
void ForgetCredentialSnapshot(CredentialSnapshot* snapshot);
