#include "storage/config_file.h"

#include "storage/credential_cipher.h"
#include "storage/heap_text.h"
#include "storage/kept_password.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "storage/storage_paths.h"
#include "storage/support_log.h"
#include "storage/text_encoding.h"
#include "storage/xml_document.h"

#include <string.h>

BOOL(WINAPI* g_replaceConfigFile)(LPCSTR from, LPCSTR to, DWORD flags);

namespace {

const char kTemporarySuffix[] = ".tmp";
const char kUnreadableSuffix[] = ".unreadable";

// Set while the per-user file could not be read and no copy of it could be kept: saving then
// would destroy the only copy of what the user or an administrator wrote there.
bool s_unreadableFileUnkept = false;
// The per-user file that could not be read at the last Load, and where its copy went ("" when
// it was read, missing, or not kept).
char s_unreadableFile[MAX_PATH];
char s_keptCopy[MAX_PATH];
// Why the last ReadConfigFile failed, null after a read; names a value, never holds one. Null at
// start, as the image has no initialised writable data.
const char* s_readFault;

// Path followed by suffix in out (MAX_PATH bytes); false when it would not fit.
bool AppendSuffix(const char* path, const char* suffix, char* out) {
    if (strlen(path) + strlen(suffix) + 1 > MAX_PATH) return false;
    lstrcpynA(out, path, MAX_PATH);
    lstrcatA(out, suffix);
    return true;
}

// Keeps a per-user file that exists but could not be read as "config.xml.unreadable" beside
// it, replacing an earlier copy, before the defaults that stand instead are ever saved over it.
void KeepUnreadableFile(const char* path) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            LogEvent("settings: no per-user file");
            return;
        }
    }
    lstrcpynA(s_unreadableFile, path, MAX_PATH);
    s_unreadableFileUnkept = !AppendSuffix(path, kUnreadableSuffix, s_keptCopy) || !CopyFileA(path, s_keptCopy, FALSE);
    if (s_unreadableFileUnkept) s_keptCopy[0] = '\0';
    LogEvent("settings: per-user file unreadable, copy as config.xml.unreadable %s, reason: %s",
             s_unreadableFileUnkept ? "failed" : "kept", ConfigReadFault());
}

// Appends a text in codePage as XML character data: the reserved characters as entity
// references, everything outside printable ASCII as numeric character references, so that
// the file stays ASCII and reads back exactly. False for text XML cannot carry.
bool AppendEscaped(HeapText* xml, const char* text, UINT codePage = CP_ACP) {
    if (!*text) return true;
    HeapText converted;
    if (!TextToWide(text, codePage, &converted)) return false;
    const wchar_t* wide = WideText(converted);
    size_t size = converted.length / sizeof(wchar_t);
    for (size_t i = 0; i < size; ++i) {
        unsigned long code = wide[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < size && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        // Control characters other than tab, CR and LF have no XML 1.0 form.
        if (code < 0x20 && code != 0x09 && code != 0x0A && code != 0x0D) return false;
        if ((code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF) return false;
        char reference[16] = {static_cast<char>(code), '\0'};
        const char* piece = reference;
        switch (code) {
            case '&': piece = "&amp;"; break;
            case '<': piece = "&lt;"; break;
            case '>': piece = "&gt;"; break;
            case '"': piece = "&quot;"; break;
            default:
                // At most "&#1114111;", well inside the buffer.
                if (code < 0x20 || code >= 0x7F) (void)wsprintfA(reference, "&#%lu;", code);
        }
        if (!AppendText(xml, piece)) return false;
    }
    return true;
}

// The whole file text of the current record; false when a value cannot be written.
// Running out of memory shows in the text's failed flag, which the last append reports.
bool BuildConfigText(HeapText* xml) {
    (void)AppendText(xml, "<config>\r\n\t<server host=\"");
    if (!AppendEscaped(xml, g_settings.host)) return false;
    (void)AppendText(xml, "\" directory=\"");
    if (!AppendEscaped(xml, g_settings.directory)) return false;
    (void)AppendText(xml, "\"");
    if (g_settings.port[0]) {
        (void)AppendText(xml, " port=\"");
        if (!AppendEscaped(xml, g_settings.port)) return false;
        (void)AppendText(xml, "\"");
    }
    // Plain HTTP writes no scheme, so that its files stay as they always were.
    if (g_settings.secure) (void)AppendText(xml, " scheme=\"https\"");
    // Likewise only when on: a file without it is what earlier versions wrote.
    if (g_settings.autoSignIn) (void)AppendText(xml, " signin=\"automatic\"");
    (void)AppendText(xml, ">\r\n");
    // The password never goes into the file: Windows keeps it.
    if (g_settings.remember) {
        (void)AppendText(xml, "\t\t<user>");
        if (!AppendEscaped(xml, g_settings.user, CP_UTF8)) return false;
        (void)AppendText(xml, "</user>\r\n");
    }
    return AppendText(xml, "\t</server>\r\n</config>");
}

// Writes text to a new file at path and flushes it to disk.
bool WriteWholeFile(const char* path, const HeapText& text) {
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, &security, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool complete = WriteFile(file, NarrowText(text), static_cast<DWORD>(text.length), &written, nullptr) &&
                    written == text.length && FlushFileBuffers(file);
    return CloseHandle(file) && complete;
}

// Reads the text of the first child element called name in codePage. Absent leaves out alone;
// a text too long for out (capacity counts the NUL) or a failing component is Unusable.
XmlValue ReadChildText(IXMLDOMElement* server, const wchar_t* name, UINT codePage, char* out, size_t capacity) {
    IXMLDOMElement* element = SelectElement(server, name);
    if (!element) return XmlValue::Absent;
    HeapText text;
    bool read = ReadNodeText(element, codePage, &text);
    element->Release();
    if (!read || text.length >= capacity) return XmlValue::Unusable;
    memcpy(out, NarrowText(text), text.length + 1);
    return XmlValue::Read;
}

// Decrypts the password of an earlier version's file, which held it in the system code page,
// into the record as UTF-8; it stays empty when either step fails.
void ReadOldFormPassword(const char* encoded) {
    char inCodePage[CredentialTextSize] = "";
    wchar_t wide[CredentialTextSize];
    if (!DecryptCredential(encoded, inCodePage) || !TextToWideBuffer(inCodePage, CP_ACP, wide, CredentialTextSize) ||
        !WideToUtf8Buffer(wide, g_settings.password, sizeof g_settings.password)) {
        SecureZeroMemory(g_settings.password, sizeof g_settings.password);
    }
    SecureZeroMemory(inCodePage, sizeof inCodePage);
    SecureZeroMemory(wide, sizeof wide);
}

// Fills the record from the server element; null, else the value that could not be used. The
// port, the scheme and the remember and automatic sign-in flags are taken only when everything
// else was read, so a failed read never leaves them behind.
const char* ReadServerElement(IXMLDOMElement* server) {
    if (ReadAttribute(server, L"host", g_settings.host, sizeof g_settings.host) != XmlValue::Read) {
        return "bad value host";
    }
    if (ReadAttribute(server, L"directory", g_settings.directory, sizeof g_settings.directory) != XmlValue::Read) {
        return "bad value directory";
    }
    char port[SettingsPortSize];
    XmlValue portValue = ReadAttribute(server, L"port", port, sizeof port);
    if (portValue == XmlValue::Unusable) return "bad value port";
    // Only the two schemes the exchange speaks, in any letter case; any other value is as
    // unusable as a bad port.
    char scheme[sizeof "https"];
    XmlValue schemeValue = ReadAttribute(server, L"scheme", scheme, sizeof scheme);
    const bool secure = schemeValue == XmlValue::Read && lstrcmpiA(scheme, "https") == 0;
    if (schemeValue == XmlValue::Unusable ||
        (schemeValue == XmlValue::Read && !secure && lstrcmpiA(scheme, "http") != 0)) {
        return "bad value scheme";
    }
    // Only "automatic" signs in at start; any other value, or one too long to be it, is off and
    // spoils nothing else.
    char signIn[sizeof "automatic"];
    const bool automatic = ReadAttribute(server, L"signin", signIn, sizeof signIn) == XmlValue::Read &&
                           strcmp(signIn, "automatic") == 0;
    XmlValue user = ReadChildText(server, L"user", CP_UTF8, g_settings.user, sizeof g_settings.user);
    if (user == XmlValue::Unusable) return "bad value user";
    char encoded[CredentialTextSize];
    XmlValue password = ReadChildText(server, L"password", CP_ACP, encoded, sizeof encoded);
    if (password == XmlValue::Unusable) return "bad value password";
    // A password that cannot be decrypted stays empty; the rest of the file still counts.
    if (password == XmlValue::Read) ReadOldFormPassword(encoded);
    SecureZeroMemory(encoded, sizeof encoded);
    g_settings.passwordInFile = password == XmlValue::Read;
    if (portValue == XmlValue::Read) memcpy(g_settings.port, port, sizeof port);
    g_settings.secure = secure;
    g_settings.autoSignIn = automatic;
    if (user == XmlValue::Read || password == XmlValue::Read) g_settings.remember = true;
    return nullptr;
}

}  // namespace

bool Load() {
    ScopedLock hold(g_settings.lock);
    s_unreadableFileUnkept = false;
    s_unreadableFile[0] = '\0';
    s_keptCopy[0] = '\0';
    char path[MAX_PATH];
    if (!GetConfigPath(StorageScope::CurrentUser, path)) return false;
    const bool perUser = ReadConfigFile(path);
    if (!perUser) {
        KeepUnreadableFile(path);
        if (!GetConfigPath(StorageScope::AllUsers, path) || !ReadConfigFile(path)) return false;
    }
    LogEvent("settings: %s file read", perUser ? "per-user" : "all-users");
    g_settings.state = SettingsState::Loaded;
    // Only the password kept for this server and this e-mail address is filled in.
    g_settings.passwordKept = g_settings.remember && ReadKeptPassword();
    return true;
}

const char* ConfigReadFault() { return s_readFault ? s_readFault : ""; }

UnreadableUserFile UnreadableFileAtLoad(char* path) {
    lstrcpynA(path, s_keptCopy[0] ? s_keptCopy : s_unreadableFile, MAX_PATH);
    if (!s_unreadableFile[0]) return UnreadableUserFile::None;
    return s_keptCopy[0] ? UnreadableUserFile::Kept : UnreadableUserFile::NotKept;
}

bool Save() {
    ScopedLock hold(g_settings.lock);
    if (g_settings.state != SettingsState::Modified && !g_settings.passwordInFile) return true;
    if (s_unreadableFileUnkept) return false;
    char folder[MAX_PATH];
    char path[MAX_PATH];
    const bool written = GetStorageFolder(StorageScope::CurrentUser, folder) && CreateFolderPath(folder) &&
                         GetConfigPath(StorageScope::CurrentUser, path) && WriteConfigFile(path);
    if (written) g_settings.passwordInFile = false;
    // A password Windows refuses to keep is not kept at all: the next start asks for it.
    const bool keep = g_settings.remember && g_settings.password[0];
    const bool kept = keep ? KeepPassword() : DeleteKeptPassword();
    // Deleted, or refused and so deleted: Windows no longer keeps the password in memory.
    if (!keep || !kept) g_settings.passwordKept = false;
    LogEvent("settings saved: file %s, kept password %s", written ? "written" : "not written",
             kept ? "in order" : "failed");
    return written && kept;
}

bool ForgetPassword() {
    ScopedLock hold(g_settings.lock);
    SecureZeroMemory(g_settings.password, sizeof g_settings.password);
    g_settings.passwordKept = false;
    if (!g_settings.passwordInFile) return DeleteKeptPassword();
    g_settings.state = SettingsState::Modified;
    return Save();
}

bool ReadConfigFile(const char* path) {
    if (!path) return false;
    ScopedLock hold(g_settings.lock);
    memset(g_settings.user, 0, sizeof g_settings.user);
    SecureZeroMemory(g_settings.password, sizeof g_settings.password);
    g_settings.passwordInFile = false;
    g_settings.passwordKept = false;
    memset(g_settings.directory, 0, sizeof g_settings.directory);
    memset(g_settings.host, 0, sizeof g_settings.host);
    XmlDocument xml;
    s_readFault = "no XML component";
    if (!CreateXmlDocument(&xml)) return false;
    bool unreadable = false;
    const char* fault = "not XML";
    // Without it the component trims the spaces around an element's text.
    if (SUCCEEDED(xml.document->put_preserveWhiteSpace(VARIANT_TRUE)) && LoadXmlFile(xml, path, &unreadable)) {
        IXMLDOMElement* server = SelectElement(xml, L"//config/server");
        fault = server ? ReadServerElement(server) : "no server element";
        if (server) server->Release();
    } else if (unreadable) {
        fault = "could not be read";
    }
    ReleaseXmlDocument(&xml);
    s_readFault = fault;
    return !fault;
}

bool WriteConfigFile(const char* path) {
    if (!path) return false;
    ScopedLock hold(g_settings.lock);
    HeapText text;
    if (!BuildConfigText(&text)) return false;
    // The new text goes to a file beside the old one, which is replaced only when the
    // new one is complete on disk: a failed save leaves the old file as it was.
    char temporary[MAX_PATH];
    if (!AppendSuffix(path, kTemporarySuffix, temporary)) return false;
    if (!WriteWholeFile(temporary, text) ||
        !(g_replaceConfigFile ? g_replaceConfigFile : MoveFileExA)(temporary, path,
                                                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        (void)DeleteFileA(temporary);
        return false;
    }
    return true;
}
