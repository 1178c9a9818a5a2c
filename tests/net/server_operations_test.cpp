#include "net/basic_auth.h"
#include "net/challenge_table.h"
#include "net/http_exchange.h"
#include "net/proxy_login.h"
#include "net/server_operations.h"
#include "net/session.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "storage/storage_test_support.h"
#include "support/proxy_control.h"
#include "support/refserver_control.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <string.h>

#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

void UseServer(const std::string& port, const char* directory = "/", SettingsState state = SettingsState::Loaded,
               const char* host = "127.0.0.1", bool secure = false) {
    ScopedLock hold(g_settings.lock);
    SetRecord(host, directory, port.c_str(), "demo@pagewren.test", "pagewren-demo", false, secure);
    g_settings.state = state;
}

struct ServerTest : ::testing::Test {
    void SetUp() override {
        ASSERT_NE(0, TestServerPort()) << "run through scripts/with-refserver.sh";
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ResetAll();
    }
    // Server, settings and session as at a fresh start with settings loaded.
    static void ResetAll() {
        // WinINet keeps Basic credentials that once succeeded for the process and sends them
        // unasked to the same host, and the program remembers which origins asked for Basic;
        // each test starts without either.
        (void)InternetSetOptionA(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
        ForgetBasicOrigins();
        ASSERT_TRUE(ControlServer("reset"));
        UseServer(TestServerPortText());
        ScopedLock hold(g_session.lock);
        memset(g_session.token, 0, sizeof g_session.token);
        g_session.serverClockOffset = 0;
        g_session.serverClockKnown = false;
    }
    void TearDown() override {
        g_exchangeTimeoutMs = 30000;
        // Lets go of any answer the server still holds back.
        EXPECT_TRUE(ControlServer("reset"));
        CoUninitialize();
    }
};

// The refresh comes five minutes before the token runs out on the server's clock, which the
// Date header tells. Only the service speaks for its clock: an answer without a valid Date, a
// 503 page and a proxy's 407, each with a Date of their own, leave the offset last measured.
TEST_F(ServerTest, RefreshIsPlannedOnTheServersClock) {
    const int64_t kHour = 3600, kLifetime = 3900;
    // The server's offset, and the one the session holds afterwards, in seconds.
    const struct { const char* clock; int64_t serverS, measuredS; const char* fault = "none"; ResultCode code = Success; } cases[] = {
        {"offset=10800", 3 * kHour, 3 * kHour}, {"offset=-10800", -3 * kHour, -3 * kHour},
        {"offset=0&date=missing", 0, -3 * kHour}, {"offset=0&date=malformed", 0, -3 * kHour},
        {"offset=0", 0, -3 * kHour, "status&code=503", 0}, {"offset=0", 0, -3 * kHour, "none", Failure | ProxyRefused}};
    ASSERT_TRUE(ControlServer("lifetime?seconds=" + std::to_string(kLifetime)));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.clock) + ", fault " + c.fault);
        ASSERT_TRUE(ControlServer(std::string("clock?") + c.clock));
        ASSERT_TRUE(ControlServer(std::string("fault?script=auth-tray.php&mode=") + c.fault));
        std::optional<ProxyInUse> proxy;
        if (c.code == (Failure | ProxyRefused)) proxy.emplace();
        const ResultCode code = signIn(g_session);
        EXPECT_EQ(c.code, code);
        EXPECT_NEAR(double(c.measuredS), double(ServerClockOffset(g_session) / 10000000), 2.0);
        if (code != Success) continue;
        EXPECT_NEAR(double((kLifetime + c.serverS - c.measuredS - 300) * 1000), double(RefreshIntervalMs(g_session)), 3000.0);
    }
}

// No listener, a connection closed without a status line, and an answer held back past the
// time-out (shortened through its seam) are all no answer at all; once the password went out,
// to a server that asked for it before, the server may have refused it.
TEST_F(ServerTest, NoAnswerWithinTheTimeOut) {
    ASSERT_EQ(Success, signIn(g_session));
    g_exchangeTimeoutMs = 1000;
    for (const char* mode : {"", "close", "hang", "slow&seconds=10"}) {
        ASSERT_TRUE(ControlServer(std::string("fault?script=any&mode=") + (*mode ? mode : "none")));
        // Nothing listens on port 1 of the loopback address.
        UseServer(*mode ? TestServerPortText() : "1");
        const ResultCode sent = *mode ? ResultCode(PasswordUnanswered) : 0;
        for (auto [operation, code] : {std::pair{checkServer, Failure | ServerUnreachable}, {verifyCredentials, Success},
                                       {signIn, Failure | ServerUnreachable | sent},
                                       {refreshSession, Failure | ServerUnreachable | sent}}) {
            DWORD start = GetTickCount();
            EXPECT_EQ(code, operation(g_session)) << mode;
            // The time-out applies per wait; WinINet may wait once for sending and once for receiving.
            EXPECT_LT(GetTickCount() - start, 5000u) << mode;
        }
    }
}

// Behind a proxy that asks for its own sign-in every operation says so, never that the server
// refused or could not be reached; kept credentials pass it, and refused ones are forgotten.
// Over TLS the proxy tunnels the exchange and never sees the Pagewren password, which it sees
// over plain HTTP. A proxy that asks with nothing kept for it, and one named by a configuration
// script, are the end-to-end proxy test's.
TEST_F(ServerTest, ProxyThatAsksForItsSignIn) {
    const int tlsPort = StartTlsListener("localhost");
    ProxyInUse proxy;
    ASSERT_NE(0, proxy.port);
    const std::string named = "127.0.0.1:" + std::to_string(proxy.port);
    const struct { const char* kept; bool secure; } rows[] = {
        {kProxyPassword, false}, {"wrong", false}, {kProxyPassword, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.kept) + (row.secure ? " TLS" : ""));
        if (row.secure) UseServer(std::to_string(tlsPort), "/", SettingsState::Loaded, "localhost", true);
        ASSERT_TRUE(KeepCredential(ProxyTarget(proxy.port, "127.0.0.1"), kProxyUser, row.kept));
        const ResultCode code = row.kept == kProxyPassword ? Success : (Failure | ProxyRefused);
        for (auto operation : {checkServer, verifyCredentials, signIn}) EXPECT_EQ(code, operation(g_session));
        EXPECT_EQ(code == Success, !KeptCredential(ProxyTarget(proxy.port, "127.0.0.1")).empty());
        wchar_t asked[ProxyNameSize] = L"";
        bool refused = false;
        EXPECT_TRUE(code == Success || (ProxyThatAsked(asked, ProxyNameSize, &refused) && Widened(named) == asked));
    }
    // squid logs a tunnel once it is closed.
    std::string log;
    for (DWORD start = GetTickCount(); ControlServer("proxy_log", &log) && log.find("CONNECT") == std::string::npos &&
                                       GetTickCount() - start < 5000;) {
        Sleep(50);
    }
    std::istringstream lines(log);
    size_t tunnels = 0, passwordsSeen = 0;
    for (std::string line; std::getline(lines, line);) {
        const bool tunnel = line.find(" CONNECT ") != std::string::npos;
        const bool seen = line.find("ZGVtb0BwYWdld3Jlbi50ZXN0OnBhZ2V3cmVuLWRlbW8=") != std::string::npos;
        tunnels += tunnel, passwordsSeen += seen;
        EXPECT_FALSE(tunnel && seen) << line;
    }
    EXPECT_TRUE(tunnels > 0 && passwordsSeen > 0) << log;
    // WinINet answers every proxy's challenge with what the program holds for it, and a proxy's
    // integrated logon with the Windows logon; the program answers only the server's Basic. The
    // server and the squid ask for Basic alone: the other schemes are told here by their words,
    // the server's by one that only begins like Basic.
    const struct { ChallengeFrom from; const char* challenge; Answerer answerer; AnswerWith with; } challenges[] = {
        {ChallengeFrom::Server, "Basicx", Answerer::WinInet, AnswerWith::ServicePassword},
        {ChallengeFrom::Proxy, "ntlm", Answerer::WinInet, AnswerWith::WindowsLogon},
        {ChallengeFrom::Proxy, "Negotiate YIIB", Answerer::WinInet, AnswerWith::WindowsLogon},
    };
    for (const auto& c : challenges) {
        const ChallengeRule& rule = RuleForChallenge(c.from, c.challenge);
        EXPECT_TRUE(rule.answerer == c.answerer && rule.with == c.with) << c.challenge;
    }
}

TEST_F(ServerTest, RefreshNeedsSettingsAndSendsTheTokenUnchanged) {
    UseServer(TestServerPortText(), "/", SettingsState::Initial);
    EXPECT_EQ(Failure | InternalError, refreshSession(g_session));
    // An e-mail address never goes out without its password, as after a sign-out.
    UseServer(TestServerPortText());
    SetPassword("");
    EXPECT_EQ(Failure | CredentialsRejected, refreshSession(g_session));
    EXPECT_EQ(Failure | CredentialsRejected, verifyCredentials(g_session));
    EXPECT_EQ(Failure | SignInRefused, signIn(g_session));
    EXPECT_TRUE(ServerLog().empty());

    UseServer(TestServerPortText());
    {
        ScopedLock hold(g_session.lock);
        StoreToken(g_session, "a&b c");
    }
    EXPECT_EQ(Failure | ServerError, refreshSession(g_session));
    // The refresh meets the challenge, then carries the credentials.
    std::vector<LoggedRequest> log = ServerLog();
    ASSERT_EQ(2u, log.size());
    // WinINet escapes the space itself when it writes the request line; the "&" stays.
    EXPECT_EQ("/tray.php?token=a&b%20c&action=1", log[1].path);
}

TEST_F(ServerTest, PortAndDirectoryAsTheServerSawThem) {
    // Every other test gives the port in digits alone.
    for (auto [text, port, directory] : {std::tuple{"", 80, "/"}, {"8080x", 8080, "/app"}, {"70000", 4464, "/"}}) {
        ASSERT_TRUE(ControlServer("listen?port=" + std::to_string(port))) << "could not also listen on " << port;
        UseServer(text, directory);
        EXPECT_EQ(Success, checkServer(g_session)) << "port text \"" << text << "\"";
        std::vector<LoggedRequest> log = ServerLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(std::to_string(port) + " " + directory + "auth-tray.php",
                  std::to_string(log.back().port) + " " + log.back().path) << "port text \"" << text << "\"";
    }
    // The rest of the port rule: like atoi, cut to sixteen bits without overflow.
    for (auto [text, port] : {std::pair{" +81", 81}, {"x8080", 0}, {"-1", 65535}, {"99999999999", 59391}})
        EXPECT_EQ(port, PortFromText(text)) << text;
}

// Over TLS the exchanges work with a certificate that verifies. Any other certificate, and a
// redirect to plain HTTP, end the exchange before the credentials leave. A certificate for
// another name stands here for the failures the exchange treats alike; an issuer nobody trusts,
// a failure of its own, is the end-to-end test's.
TEST_F(ServerTest, TlsOnlyWithAVerifiedServer) {
    const ResultCode kUnverified = Failure | IdentityUnverified;
    // Each with the certificate for localhost.
    const struct {
        const char* host;
        const char* fault;
        ResultCode check, signIn, refresh;
    } rows[] = {
        {"localhost", "none", Success, Success, Success},
        // The certificate names localhost, not the address.
        {"127.0.0.1", "none", kUnverified, kUnverified, kUnverified},
        // Wine's WinINet never follows a redirect from https to http; Windows' would, but for
        // the program's flag. Without a token the refresh meets the server's error instead.
        {"localhost", "redirect", Success, 0, Failure | ServerError},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.host) + ", fault " + row.fault);
        ResetAll();
        const int port = StartTlsListener("localhost");
        ASSERT_NE(0, port);
        ASSERT_TRUE(ControlServer(std::string("fault?script=any&mode=") + row.fault + "&to=http://127.0.0.1:" +
                                  TestServerPortText() + "/auth-tray.php"));
        UseServer(std::to_string(port), "/", SettingsState::Loaded, row.host, true);
        EXPECT_EQ(row.check, checkServer(g_session));
        EXPECT_EQ(row.signIn, signIn(g_session));
        EXPECT_EQ(row.refresh, refreshSession(g_session));
        size_t withCredentials = 0;
        for (const LoggedRequest& request : ServerLog()) {
            EXPECT_EQ(port, request.port) << request.path << ": a redirect to plain HTTP was followed";
            withCredentials += request.auth != "-";
        }
        EXPECT_EQ(row.signIn != kUnverified, withCredentials > 0);
    }
}

// Basic credentials as the program writes them: UTF-8, then the old code page where a server
// refuses UTF-8 and the code page holds them. The sign-in meets the challenge; the origin then
// gets the header from the start in the form it took, refused or not. With a typo, a mistyped
// password comes first, refused in UTF-8, and its code-page retry meets a passing 503: no form
// was taken, so the right one then goes in UTF-8 at once.
TEST_F(ServerTest, BasicCredentialsInTheFormTheServerTakes) {
    const std::string ascii = "demo@pagewren.test:pagewren-demo";
    const std::string latin = u8"jürgen@pagewren.test:Grüße-Señor";
    const std::string beyond = u8"zoë.łukasz@pagewren.test:Grüße-ł€ 密码";
    const struct {
        const char* charset;
        std::string credentials;
        ResultCode signIn;
        std::vector<std::string> sent;  // the sign-in's requests: "-" without credentials
        ResultCode refresh;
        const char* typo = nullptr;
        const char* fault = "none";
    } rows[] = {
        // A server that reads UTF-8 takes it at once: the typo's last sign-in and the limits'
        // rows; the end-to-end sign-in sends text beyond the code page so.
        {"codepage", latin, Success, {"-", latin, "j\xFCrgen@pagewren.test:Gr\xFC\xDF" "e-Se\xF1or"}, Success},
        // Code page 1252 has no "\xC5\x82" nor Chinese: no second form to try.
        {"codepage", beyond, Failure | SignInRefused, {"-", beyond}, Failure | CredentialsRejected},
        {"utf-8", latin, Success, {"-", u8"jürgen@pagewren.test:Grüße-Señr", "j\xFCrgen@pagewren.test:Gr\xFC\xDF" "e-Se\xF1r", latin},
         Success, u8"Grüße-Señr"},
        // A redirect is an answer the program cannot use: the credentials never follow it.
        {"utf-8", ascii, 0, {"-", ascii}, Failure | ServerError, nullptr, "redirect&to=/moved"},
        // The limits around the fault matrix's long token and huge answer.
        {"utf-8", ascii, 0, {"-", ascii}, Failure | ServerError, nullptr, "longtoken&bytes=4096"},
        {"utf-8", ascii, Success, {"-", ascii}, Success, nullptr, "longtoken&bytes=4095"},
        {"utf-8", ascii, Failure | InvalidResponse, {"-", ascii}, Failure | ServerError, nullptr, "huge&bytes=1048577"},
        {"utf-8", ascii, Success, {"-", ascii}, Success, nullptr, "huge&bytes=1048576"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.charset) + " server, " + row.credentials);
        ResetAll();
        const size_t colon = row.credentials.find(':');
        const std::string user = row.credentials.substr(0, colon), password = row.credentials.substr(colon + 1);
        ASSERT_TRUE(ControlServer(std::string("charset?credentials=") + row.charset));
        ASSERT_TRUE(ControlServer("account?email=" + HexBytes(user, "%") + "&password=" + HexBytes(password, "%")));
        ASSERT_TRUE(ControlServer(std::string("fault?script=auth-tray.php&mode=") + row.fault));
        ScopedLock hold(g_settings.lock);
        if (row.typo) {
            ASSERT_TRUE(ControlServer("fault?script=auth-tray.php&mode=status&code=503&skip=2"));
            SetRecord("127.0.0.1", "/", TestServerPortText().c_str(), user.c_str(), row.typo);
            EXPECT_EQ(0u, signIn(g_session));
        }
        SetRecord("127.0.0.1", "/", TestServerPortText().c_str(), user.c_str(), password.c_str());
        EXPECT_EQ(row.signIn, signIn(g_session));
        EXPECT_EQ(row.signIn == Success, g_session.token[0] != '\0');
        EXPECT_EQ(row.refresh, refreshSession(g_session));
        std::vector<LoggedRequest> log = ServerLog();
        ASSERT_EQ(row.sent.size() + 1, log.size()) << "the refresh is one request";
        for (size_t i = 0; i < log.size(); ++i) {
            const std::string& sent = i < row.sent.size() ? row.sent[i] : row.sent.back();
            EXPECT_EQ(sent == "-" ? sent : HexBytes(sent), log[i].credentials) << "request " << i;
        }
        EXPECT_EQ(std::string(row.fault).substr(0, std::string(row.fault).find('&')), log[row.sent.size() - 1].fault)
            << "the sign-in's last request";
    }
}

DWORD WINAPI SignInOnItsOwnThread(void* result) {
    // Each worker initialises COM for itself, as the program's workers do.
    (void)CoInitialize(nullptr);
    *static_cast<ResultCode*>(result) = signIn(g_session);
    CoUninitialize();
    return 0;
}

TEST_F(ServerTest, OperationsOnTwoThreadsNeverOverlap) {
    ASSERT_TRUE(ControlServer("fault?script=any&mode=slow&seconds=0.5"));
    ResultCode results[2] = {0, 0};
    HANDLE threads[] = {CreateThread(nullptr, 0, SignInOnItsOwnThread, &results[0], 0, nullptr),
                        CreateThread(nullptr, 0, SignInOnItsOwnThread, &results[1], 0, nullptr)};
    ASSERT_TRUE(threads[0] && threads[1]);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 60000));
    for (HANDLE thread : threads) CloseHandle(thread);
    for (ResultCode result : results) EXPECT_EQ(Success, result);
    // The most service requests that were in progress at once. That the second sign-in sends
    // the credentials at once is the Basic table's, whose refresh after a sign-in is one request.
    std::string concurrency;
    EXPECT_TRUE(ControlServer("concurrency", &concurrency));
    EXPECT_EQ("1\n", concurrency);
}

}  // namespace
