#include "net/http_exchange.h"
#include "net/server_operations.h"
#include "net/session.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "support/refserver_control.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kUser[] = "demo@pagewren.test";
const char kPassword[] = "pagewren-demo";

void UseServer(const std::string& port, const char* directory = "/", const char* user = kUser,
               const char* password = kPassword, SettingsState state = SettingsState::Loaded) {
    ScopedLock hold(g_settings.lock);
    lstrcpynA(g_settings.host, "127.0.0.1", sizeof g_settings.host);
    lstrcpynA(g_settings.directory, directory, sizeof g_settings.directory);
    lstrcpynA(g_settings.port, port.c_str(), sizeof g_settings.port);
    lstrcpynA(g_settings.user, user, sizeof g_settings.user);
    lstrcpynA(g_settings.password, password, sizeof g_settings.password);
    g_settings.state = state;
}

std::string Token() {
    char token[SessionTokenSize];
    CopyToken(g_session, token, sizeof token);
    return token;
}

std::string Description() {
    char text[SessionDescriptionSize];
    CopyErrorDescription(g_session, text, sizeof text);
    return text;
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
        // unasked to the same host; each test starts without them.
        (void)InternetSetOptionA(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
        ASSERT_TRUE(ControlServer("reset"));
        UseServer(TestServerPortText());
        ScopedLock hold(g_session.lock);
        memset(g_session.token, 0, sizeof g_session.token);
        StoreRefreshInterval(g_session, 0);
        memset(g_session.errorDescription, 0, sizeof g_session.errorDescription);
    }
    void TearDown() override {
        g_exchangeTimeoutMs = 30000;
        // Lets go of any answer the server still holds back.
        EXPECT_TRUE(ControlServer("reset"));
        CoUninitialize();
    }
    static void Fault(const std::string& query) { ASSERT_TRUE(ControlServer("fault?" + query)) << query; }
};

// Every request of the program, as the server received it: a GET with the agent name and no body.
void ExpectPlainGets(const std::vector<LoggedRequest>& log) {
    for (const LoggedRequest& r : log) {
        EXPECT_EQ("GET", r.method) << r.path;
        EXPECT_EQ("Pagewren", r.userAgent) << r.path;
        EXPECT_EQ("0", r.bodyLength) << r.path;
    }
}

TEST_F(ServerTest, SignInRoadAsTheServerSawIt) {
    EXPECT_EQ(Success, checkServer(g_session));
    std::vector<LoggedRequest> log = ServerLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("/auth-tray.php", log[0].path);
    EXPECT_EQ("-", log[0].auth);

    EXPECT_EQ(Success, verifyCredentials(g_session));
    EXPECT_EQ(Success, signIn(g_session));
    std::string granted = Token();
    EXPECT_EQ(32u, granted.size());
    // The server grants an hour; the interval is that less five minutes and the time the answer took.
    EXPECT_LE(RefreshIntervalMs(g_session), 3300000);
    EXPECT_GT(RefreshIntervalMs(g_session), 3300000 - 60000);

    EXPECT_EQ(Success, refreshSession(g_session));
    EXPECT_NE(granted, Token());
    EXPECT_GT(RefreshIntervalMs(g_session), 3300000 - 60000);

    log = ServerLog();
    ExpectPlainGets(log);
    // Credentials go only in answer to the challenge: each authenticated exchange is the
    // request without them, then the same request with them.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/auth-tray.php", "-"},
        {"/auth-tray.php", "-"}, {"/auth-tray.php", kUser},
        {"/auth-tray.php", "-"}, {"/auth-tray.php", kUser},
        {"/tray.php?token=" + granted + "&action=1", "-"}, {"/tray.php?token=" + granted + "&action=1", kUser},
    };
    ASSERT_EQ(expected.size(), log.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, log[i].path) << i;
        EXPECT_EQ(expected[i].second, log[i].auth) << i;
    }
}

TEST_F(ServerTest, RejectedCredentials) {
    UseServer(TestServerPortText(), "/", kUser, "wrong");
    EXPECT_EQ(Failure | CredentialsRejected, verifyCredentials(g_session));
    EXPECT_EQ(Failure | SignInRefused, signIn(g_session));
    EXPECT_EQ(Failure | CredentialsRejected, refreshSession(g_session));

    UseServer(TestServerPortText());
    Fault("script=any&mode=reject");
    EXPECT_EQ(Failure | CredentialsRejected, verifyCredentials(g_session));
    EXPECT_EQ(Failure | SignInRefused, signIn(g_session));
    EXPECT_EQ(Failure | CredentialsRejected, refreshSession(g_session));
    EXPECT_EQ("", Token());
    ExpectPlainGets(ServerLog());
}

struct AnswerFault {
    const char* fault;
    ResultCode code;
    bool tokenStored;
    int64_t lowestInterval;
    int64_t highestInterval;
};

TEST_F(ServerTest, SignInAnswersAndTheirResults) {
    const AnswerFault cases[] = {
        {"mode=status500", Success, true, 3300000 - 60000, 3300000},
        {"mode=empty", 0, false, 0, 0},
        {"mode=malformed", 0, false, 0, 0},
        {"mode=expired", Success, true, -3600000 - 300000 - 60000, -3600000 - 300000},
        {"mode=soon", Success, true, 60000 - 300000 - 60000, 60000 - 300000},
        {"mode=error&description=Account%20locked", Failure | ServerError, false, 0, 0},
        {"mode=longtoken&bytes=5000", 0, false, 0, 0},
        {"mode=longtoken&bytes=4095", Success, true, 3300000 - 60000, 3300000},
        {"mode=bomb", 0, false, 0, 0},
        {"mode=huge&bytes=2097152", Failure | InvalidResponse, false, 0, 0},
        {"mode=huge&bytes=1000000", Success, true, 3300000 - 60000, 3300000},
    };
    for (const AnswerFault& c : cases) {
        ResetAll();
        Fault(std::string("script=auth-tray.php&") + c.fault);
        EXPECT_EQ(c.code, signIn(g_session)) << c.fault;
        EXPECT_EQ(c.tokenStored, !Token().empty()) << c.fault;
        EXPECT_GE(RefreshIntervalMs(g_session), c.lowestInterval) << c.fault;
        EXPECT_LE(RefreshIntervalMs(g_session), c.highestInterval) << c.fault;
    }
    ResetAll();
    Fault("script=auth-tray.php&mode=error&description=Account%20locked");
    EXPECT_EQ(Failure | ServerError, signIn(g_session));
    EXPECT_EQ("Account locked", Description());
}

TEST_F(ServerTest, UnreachableHost) {
    int port = UnusedLoopbackPort();
    ASSERT_NE(0, port);
    UseServer(std::to_string(port));
    EXPECT_EQ(Failure | ServerUnreachable, checkServer(g_session));
    EXPECT_EQ(Success, verifyCredentials(g_session));
    EXPECT_EQ(Failure | InvalidResponse, signIn(g_session));
    EXPECT_EQ(Failure | InvalidResponse, refreshSession(g_session));
}

TEST_F(ServerTest, ConnectionClosedWithoutAnswer) {
    Fault("script=any&mode=close");
    // Windows fails the send (18, then 66); Wine's WinINet takes the silence for an empty
    // answer (1, then 0). Either way no sign-in succeeds and nothing is stored.
    ResultCode checked = checkServer(g_session);
    EXPECT_TRUE(checked == (Failure | ServerUnreachable) || checked == Success) << checked;
    EXPECT_EQ(Success, verifyCredentials(g_session));
    for (ResultCode code : {signIn(g_session), refreshSession(g_session)}) {
        EXPECT_TRUE(code == (Failure | InvalidResponse) || code == 0) << code;
    }
    EXPECT_EQ("", Token());
    EXPECT_FALSE(ServerLog().empty());
}

TEST_F(ServerTest, SilentServerTimesOut) {
    Fault("script=any&mode=hang");
    g_exchangeTimeoutMs = 1000;
    struct {
        ResultCode (*operation)(Session&);
        ResultCode code;
    } const operations[] = {
        {checkServer, Failure | ServerUnreachable},
        {verifyCredentials, Success},
        {signIn, Failure | InvalidResponse},
        {refreshSession, Failure | InvalidResponse},
    };
    for (const auto& o : operations) {
        DWORD start = GetTickCount();
        EXPECT_EQ(o.code, o.operation(g_session));
        DWORD elapsed = GetTickCount() - start;
        // The time-out applies per wait; WinINet may wait once for sending and once for receiving.
        EXPECT_LT(elapsed, 5000u);
    }
}

TEST_F(ServerTest, RefreshNeedsSettingsAndSendsTheTokenUnchanged) {
    UseServer(TestServerPortText(), "/", kUser, kPassword, SettingsState::Initial);
    EXPECT_EQ(Failure | InternalError, refreshSession(g_session));
    EXPECT_TRUE(ServerLog().empty());

    UseServer(TestServerPortText());
    EXPECT_EQ(Failure | ServerError, refreshSession(g_session));
    {
        ScopedLock hold(g_session.lock);
        StoreToken(g_session, "a&b c");
    }
    EXPECT_EQ(Failure | ServerError, refreshSession(g_session));
    std::vector<LoggedRequest> log = ServerLog();
    ExpectPlainGets(log);
    ASSERT_EQ(4u, log.size());
    EXPECT_EQ("/tray.php?token=&action=1", log[1].path);
    // WinINet escapes the space itself when it writes the request line; the "&" stays.
    EXPECT_EQ("/tray.php?token=a&b%20c&action=1", log[3].path);
    EXPECT_EQ("Your session has expired", Description());
}

TEST_F(ServerTest, PortAndDirectoryAsTheServerSawThem) {
    const struct {
        const char* text;
        int port;
    } ports[] = {{"", 80}, {"8080", 8080}, {"8080x", 8080}, {"http", 80}, {"70000", 4464}};
    for (const auto& p : ports) {
        ASSERT_TRUE(ControlServer("listen?port=" + std::to_string(p.port)))
            << "the reference server could not also listen on port " << p.port;
        UseServer(p.text);
        EXPECT_EQ(Success, checkServer(g_session)) << "port text \"" << p.text << "\"";
        std::vector<LoggedRequest> log = ServerLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(p.port, log.back().port) << "port text \"" << p.text << "\"";
    }
    UseServer(TestServerPortText(), "/app");
    EXPECT_EQ(Success, checkServer(g_session));
    EXPECT_EQ("/appauth-tray.php", ServerLog().back().path);
}

TEST(PortTextTest, ReadsLikeAtoiCutToSixteenBits) {
    const struct {
        const char* text;
        INTERNET_PORT port;
    } cases[] = {{"", 0}, {"8080", 8080}, {" 8080", 8080}, {"+81", 81}, {"8080x", 8080}, {"x8080", 0},
                 {"70000", 4464}, {"65536", 0}, {"-1", 65535}, {"99999999999", 59391}};
    for (const auto& c : cases) EXPECT_EQ(c.port, PortFromText(c.text)) << c.text;
}

struct ConcurrentCall {
    ResultCode (*operation)(Session&);
    ResultCode result;
};

DWORD WINAPI RunConcurrentCall(void* argument) {
    ConcurrentCall* call = static_cast<ConcurrentCall*>(argument);
    // Each worker initialises COM for itself, as the program's workers do.
    (void)CoInitialize(nullptr);
    call->result = call->operation(g_session);
    CoUninitialize();
    return 0;
}

TEST_F(ServerTest, OperationsOnTwoThreadsNeverOverlap) {
    Fault("script=any&mode=slow&seconds=0.5");
    ConcurrentCall calls[] = {{signIn, 0}, {verifyCredentials, 0}, {signIn, 0}};
    HANDLE threads[3];
    for (int i = 0; i < 3; ++i) {
        threads[i] = CreateThread(nullptr, 0, RunConcurrentCall, &calls[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, threads, TRUE, 60000));
    for (HANDLE thread : threads) CloseHandle(thread);
    for (const ConcurrentCall& call : calls) EXPECT_EQ(Success, call.result);
    EXPECT_EQ(6u, ServerLog().size());
    EXPECT_EQ(1, ServerConcurrency());
}

}  // namespace
