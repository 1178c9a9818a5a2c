// Test-side access to the reference server that scripts/with-refserver.sh starts for a test
// program registered with SERVER: its port, its control API and the requests it saw.
#pragma once

#include <string>
#include <vector>

// One service request as the server received it.
struct LoggedRequest {
    std::string method;
    std::string path;       // path and query as on the request line
    std::string userAgent;
    std::string auth;       // "-" without credentials, else the e-mail address ("?" for a non-Basic scheme)
    std::string bodyLength; // Content-Length as sent ("0" when absent), or "chunked"
    int port;               // the port the request arrived on
    std::string fault;      // the fault mode the request met ("none" without one)
    std::string credentials;  // the Basic credentials' bytes in lower-case hex ("-" without)
};

// The server's port from PAGEWREN_TEST_PORT; 0 when the program runs without a server.
int TestServerPort();
// The same as decimal text, for the settings' port field.
std::string TestServerPortText();

// Sends one control command, for instance "reset" or "fault?script=tray.php&mode=empty";
// true on status 200. The answer text goes to answer when given.
bool ControlServer(const std::string& commandAndQuery, std::string* answer = nullptr);

// Each byte of text as two lower-case hex digits after prefix: "%" encodes a command's query
// value, "" gives the log's form of credentials.
std::string HexBytes(const std::string& text, const char* prefix = "");

// The service requests since the last reset, in order of arrival.
std::vector<LoggedRequest> ServerLog();

// Whether a request after the first logBefore of the log met a fault: any fault, or one
// whose name begins mode (as "slow" begins "slow&seconds=1").
bool FaultMetSince(size_t logBefore, const std::string& mode = "");

// Has the server also listen, in TLS with the test certificate pair certificateName
// ("localhost", "otherhost" or "untrusted"), on a free loopback port; the port, or 0. The
// test prefix trusts the authority of the first two.
int StartTlsListener(const char* certificateName);

