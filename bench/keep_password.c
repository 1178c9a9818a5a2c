/* Keeps a password in the Windows Credential Manager as Pagewren keeps a remembered one, so that
   the benchmark starts Pagewren as a user has it: config.xml with the e-mail address alone.
   Usage: keep_password TARGET USER PASSWORD (ASCII texts). Exit code 0 when it was kept. */
#include <windows.h>
#include <wincred.h>

int wmain(int argc, wchar_t** argv) {
    CREDENTIALW credential;
    if (argc != 4) return 2;
    ZeroMemory(&credential, sizeof credential);
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = argv[1];
    credential.UserName = argv[2];
    credential.CredentialBlob = (LPBYTE)argv[3];
    credential.CredentialBlobSize = (DWORD)(lstrlenW(argv[3]) * sizeof(wchar_t));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    return CredWriteW(&credential, 0) ? 0 : 1;
}
