#include "support/refserver_control.h"

#include <windows.h>
#include <wininet.h>

#include <stdlib.h>

#include <sstream>

int TestServerPort() {
    const char* text = getenv("PAGEWREN_TEST_PORT");
    return text ? atoi(text) : 0;
}

std::string TestServerPortText() { return std::to_string(TestServerPort()); }

bool ControlServer(const std::string& commandAndQuery, std::string* answer) {
    if (answer) answer->clear();
    int port = TestServerPort();
    if (port == 0) return false;
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/_control/" + commandAndQuery;
    HINTERNET internet = InternetOpenA("PagewrenTests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    HINTERNET request = InternetOpenUrlA(internet, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    bool ok = false;
    if (request) {
        DWORD status = 0;
        DWORD length = sizeof status;
        ok = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) &&
             status == 200;
        char buffer[4096];
        DWORD read = 0;
        while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
            if (answer) answer->append(buffer, read);
        }
        InternetCloseHandle(request);
    }
    InternetCloseHandle(internet);
    return ok;
}

std::string HexBytes(const std::string& text, const char* prefix) {
    const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : text) hex += prefix + std::string{digits[byte >> 4], digits[byte & 15]};
    return hex;
}

std::vector<LoggedRequest> ServerLog() {
    std::vector<LoggedRequest> requests;
    std::string text;
    if (!ControlServer("log", &text)) return requests;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
        if (fields.size() < 8) continue;
        requests.push_back(
            {fields[0], fields[1], fields[2], fields[3], fields[4], atoi(fields[5].c_str()), fields[6], fields[7]});
    }
    return requests;
}

bool FaultMetSince(size_t logBefore, const std::string& mode) {
    std::vector<LoggedRequest> log = ServerLog();
    for (size_t i = logBefore; i < log.size(); ++i)
        if (log[i].fault != "none" && (mode.empty() || mode.compare(0, log[i].fault.size(), log[i].fault) == 0))
            return true;
    return false;
}

int StartTlsListener(const char* certificateName) {
    std::string port;
    return ControlServer(std::string("listen?port=0&tls=") + certificateName, &port) ? atoi(port.c_str()) : 0;
}
