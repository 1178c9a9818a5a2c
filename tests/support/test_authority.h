// The tests' throwaway TLS material (made by scripts/make-test-certs.sh in PAGEWREN_TLS_DIR):
// the test authority trusted in the test prefix, and TLS listeners of the reference server.
#pragma once

// Adds the test authority to the current user's Root store; true when it is there.
bool TrustTestAuthority();

// Has the reference server also listen, in TLS with the certificate pair certificateName
// ("localhost", "otherhost" or "untrusted"), on a free loopback port; the port, or 0.
int StartTlsListener(const char* certificateName);
