/* Trusts a certificate authority for the current user (its Root store), so that the tests and
   the benchmark can reach the reference server over TLS with certificates it issued.
   Usage: trust_authority CA.pem   (exit code 0 once the authority is trusted) */
#include <windows.h>
#include <wincrypt.h>

#include <stdio.h>

int main(int argc, char** argv) {
    static char pem[16384];
    static BYTE der[8192];
    DWORD size = sizeof der;
    FILE* file;
    size_t length;
    if (argc != 2 || !(file = fopen(argv[1], "rb"))) return 2;
    length = fread(pem, 1, sizeof pem - 1, file);
    (void)fclose(file);
    pem[length] = '\0';
    if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, der, &size, NULL, NULL)) return 1;
    /* Windows asks the user to confirm a new root here; Wine adds it silently. */
    return CertAddEncodedCertificateToSystemStoreA("Root", der, size) ? 0 : 1;
}
