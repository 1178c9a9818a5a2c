// The tests' own look into the Windows Credential Manager: what is kept for a target, and
// putting or removing an entry as an earlier run of the program would have left it. ASCII texts.
#pragma once

#include <windows.h>
#include <wincred.h>

#include <string>

inline std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// "user/password" of the generic credential kept for target, or "" when there is none.
inline std::string KeptCredential(const std::string& target) {
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(Widened(target).c_str(), CRED_TYPE_GENERIC, 0, &credential)) return "";
    const std::wstring text = std::wstring(credential->UserName ? credential->UserName : L"") + L"/" +
                              std::wstring(reinterpret_cast<wchar_t*>(credential->CredentialBlob),
                                           credential->CredentialBlobSize / sizeof(wchar_t));
    CredFree(credential);
    return std::string(text.begin(), text.end());
}

inline bool KeepCredential(const std::string& target, const std::string& user, const std::string& password) {
    std::wstring wideTarget = Widened(target), wideUser = Widened(user), widePassword = Widened(password);
    CREDENTIALW credential = {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = &wideTarget[0];
    credential.UserName = &wideUser[0];
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(&widePassword[0]);
    credential.CredentialBlobSize = static_cast<DWORD>(widePassword.size() * sizeof(wchar_t));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    return CredWriteW(&credential, 0) != FALSE;
}

inline void RemoveCredential(const std::string& target) { (void)CredDeleteW(Widened(target).c_str(), CRED_TYPE_GENERIC, 0); }
