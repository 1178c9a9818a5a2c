#include "support/test_authority.h"

#include "support/files.h"
#include "support/refserver_control.h"

#include <windows.h>
#include <wincrypt.h>

#include <stdlib.h>

#include <string>
#include <vector>

bool TrustTestAuthority() {
    const char* folder = getenv("PAGEWREN_TLS_DIR");
    if (!folder) return false;
    // Under Wine the folder is a Unix path, which drive Z: shows.
    std::string path = std::string(folder[0] == '/' ? "Z:" : "") + folder + "\\ca.pem";
    std::string pem = ReadFileBytes(path);
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return false;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        return false;
    // Wine adds it without a prompt; Windows would ask the user to confirm a new root.
    return CertAddEncodedCertificateToSystemStoreA("Root", der.data(), size) != FALSE;
}

int StartTlsListener(const char* certificateName) {
    std::string answer;
    if (!ControlServer(std::string("listen?port=0&tls=") + certificateName, &answer)) return 0;
    return atoi(answer.c_str());
}
