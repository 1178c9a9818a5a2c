#include "net/response_reader.h"
#include "net/session.h"
#include "storage/scoped_lock.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <string.h>

#include <string>

namespace {

FILETIME g_now;

void WINAPI FixedNow(LPFILETIME now) { *now = g_now; }

FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD milliseconds = 0) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = milliseconds;
    FILETIME result = {};
    EXPECT_TRUE(SystemTimeToFileTime(&time, &result));
    return result;
}

// Minutes east of UTC that the current zone applies at the given UTC instant.
int LocalOffsetMinutes(const FILETIME& utc) {
    SYSTEMTIME universal, local;
    FILETIME localTime;
    EXPECT_TRUE(FileTimeToSystemTime(&utc, &universal));
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local));
    EXPECT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ULARGE_INTEGER a, b;
    a.LowPart = utc.dwLowDateTime;
    a.HighPart = utc.dwHighDateTime;
    b.LowPart = localTime.dwLowDateTime;
    b.HighPart = localTime.dwHighDateTime;
    return static_cast<int>((static_cast<int64_t>(b.QuadPart) - static_cast<int64_t>(a.QuadPart)) / 600000000);
}

const int64_t kHourMs = 3600000;
const int64_t kMarginMs = 300000;

struct ReaderTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        g_currentUtcTime = FixedNow;
        g_now = Utc(2026, 12, 31, 22, 59, 0);
        ResetSession();
    }
    void TearDown() override {
        g_currentUtcTime = GetSystemTimeAsFileTime;
        CoUninitialize();
    }
    static void ResetSession() {
        ScopedLock hold(g_session.lock);
        StoreToken(g_session, "old-token");
        StoreRefreshInterval(g_session, 42);
        StoreErrorDescription(g_session, "old description");
    }
    static std::string Token() {
        char token[SessionTokenSize];
        CopyToken(g_session, token, sizeof token);
        return token;
    }
    static std::string Description() {
        char text[SessionDescriptionSize];
        CopyErrorDescription(g_session, text, sizeof text);
        return text;
    }
};

struct AnswerCase {
    const char* name;
    const wchar_t* answer;
    ResultCode code;
    const char* token;        // token afterwards
    int64_t interval;         // interval afterwards
    const char* description;  // description afterwards
};

const AnswerCase kAnswers[] = {
    {"success", L"<result value='success'><token value='T1' gmtexpiration='12 31 2026 23:59:00'/></result>",
     Success, "T1", kHourMs - kMarginMs, "old description"},
    {"result nested deep", L"<a><b><c><result value='success'><token value='T2' gmtexpiration='12 31 2026 23:59:00'/>"
     L"</result></c></b></a>", Success, "T2", kHourMs - kMarginMs, "old description"},
    {"second result ignored", L"<r><result value='error'><description>first</description></result>"
     L"<result value='success'><token value='T3' gmtexpiration='12 31 2026 23:59:00'/></result></r>",
     Failure | ServerError, "old-token", 42, "first"},
    {"capital Success", L"<result value='Success'><token value='T4' gmtexpiration='12 31 2026 23:59:00'/></result>",
     0, "old-token", 42, "old description"},
    {"no token", L"<result value='success'/>", 0, "old-token", 42, "old description"},
    {"token only as grandchild", L"<result value='success'><x><token value='T5' gmtexpiration='12 31 2026 23:59:00'/>"
     L"</x></result>", 0, "old-token", 42, "old description"},
    {"empty token", L"<result value='success'><token value='' gmtexpiration='12 31 2026 23:59:00'/></result>",
     0, "old-token", 42, "old description"},
    {"token without expiry", L"<result value='success'><token value='T6'/></result>", 0, "T6", 42, "old description"},
    {"token with empty expiry", L"<result value='success'><token value='T7' gmtexpiration=''/></result>",
     0, "T7", 42, "old description"},
    {"error", L"<result value='error'><description>Account locked</description></result>", Failure | ServerError,
     "old-token", 42, "Account locked"},
    {"error text spread over children", L"<result value='error'><description>Try <b>again</b> later</description>"
     L"</result>", Failure | ServerError, "old-token", 42, "Try again later"},
    {"error with empty description", L"<result value='error'><description/></result>", 0, "old-token", 42,
     "old description"},
    {"error without description", L"<result value='error'/>", 0, "old-token", 42, "old description"},
    {"no value", L"<result><token value='T8' gmtexpiration='12 31 2026 23:59:00'/></result>", 0, "old-token", 42,
     "old description"},
    {"other value", L"<result value='ok'/>", 0, "old-token", 42, "old description"},
    {"no result", L"<answer value='success'/>", 0, "old-token", 42, "old description"},
    {"empty text", L"", 0, "old-token", 42, "old description"},
    {"not XML", L"Internal Server Error", 0, "old-token", 42, "old description"},
    {"cut off", L"<result value='success'><token value='T9'", 0, "old-token", 42, "old description"},
    {"document type", L"<!DOCTYPE result [<!ENTITY t 'T10'>]><result value='success'>"
     L"<token value='&t;' gmtexpiration='12 31 2026 23:59:00'/></result>", 0, "old-token", 42, "old description"},
};

TEST_F(ReaderTest, AnswersGiveTheirResultAndStoreOnlyWhatTheyCarry) {
    for (const AnswerCase& c : kAnswers) {
        ResetSession();
        EXPECT_EQ(c.code, readServerAnswer(c.answer, g_session)) << c.name;
        EXPECT_EQ(c.token, Token()) << c.name;
        EXPECT_EQ(c.interval, RefreshIntervalMs(g_session)) << c.name;
        EXPECT_EQ(c.description, Description()) << c.name;
    }
}

struct ExpiryCase {
    const char* name;
    const char* expiry;
    FILETIME now;
    int64_t interval;
};

TEST_F(ReaderTest, ExpiryBecomesMillisecondsUntilFiveMinutesBefore) {
    const ExpiryCase cases[] = {
        {"one hour ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 22, 59, 0), kHourMs - kMarginMs},
        {"doubled space, no seconds", "12  31 2026 23:59", Utc(2026, 12, 31, 22, 59, 0), kHourMs - kMarginMs},
        {"single digits", "1 2 2027 3:4:5", Utc(2027, 1, 2, 3, 4, 5), -kMarginMs},
        {"exactly five minutes ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 23, 54, 0), 0},
        {"five minutes and 1 ms ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 23, 53, 59, 999), 1},
        {"in the past", "12 31 2026 23:59:00", Utc(2027, 1, 1, 0, 0, 0), -60000 - kMarginMs},
        {"leap day", "2 29 2028 0:0:0", Utc(2028, 2, 28, 0, 0, 0), 24 * kHourMs - kMarginMs},
    };
    for (const ExpiryCase& c : cases) {
        g_now = c.now;
        EXPECT_EQ(c.interval, expiryToInterval(c.expiry)) << c.name;
    }
}

TEST_F(ReaderTest, UnreadableExpiryGivesANegativeInterval) {
    const char* unreadable[] = {"tomorrow", "", "2 30 2026 10:00:00", "13 1 2026 0:0:0", "12 31 2026 24:00:00",
                                "12 31 1600 23:59:00", "12-31-2026 23:59:00"};
    // Even a far-off present must not turn these into a positive interval.
    g_now = Utc(1700, 1, 1, 0, 0, 0);
    for (const char* expiry : unreadable) EXPECT_LT(expiryToInterval(expiry), 0) << expiry;
}

TEST_F(ReaderTest, OversizedAndHostileAnswersAreRefusedWithoutHarm) {
    std::wstring longToken(5000, L'k');
    std::wstring answer = L"<result value='success'><token value='" + longToken +
                          L"' gmtexpiration='12 31 2026 23:59:00'/></result>";
    EXPECT_EQ(0u, readServerAnswer(answer.c_str(), g_session));
    EXPECT_EQ("old-token", Token());

    std::wstring fullToken(SessionTokenSize - 1, L'f');
    answer = L"<result value='success'><token value='" + fullToken + L"' gmtexpiration='12 31 2026 23:59:00'/></result>";
    EXPECT_EQ(Success, readServerAnswer(answer.c_str(), g_session));
    EXPECT_EQ(std::string(SessionTokenSize - 1, 'f'), Token());

    std::wstring longValue(300, L's');
    answer = L"<result value='" + longValue + L"'/>";
    EXPECT_EQ(0u, readServerAnswer(answer.c_str(), g_session));

    // Each entity expands to ten of the one before: 10^9 characters if it were expanded.
    std::wstring bomb = L"<?xml version='1.0'?><!DOCTYPE result [<!ENTITY a 'aaaaaaaaaa'>";
    for (wchar_t name = L'b'; name <= L'j'; ++name) {
        std::wstring previous = std::wstring(L"&") + wchar_t(name - 1) + L";";
        bomb += std::wstring(L"<!ENTITY ") + name + L" '";
        for (int i = 0; i < 10; ++i) bomb += previous;
        bomb += L"'>";
    }
    bomb += L"]><result value='success'><token value='&j;' gmtexpiration='12 31 2026 23:59:00'/></result>";
    EXPECT_EQ(0u, readServerAnswer(bomb.c_str(), g_session));
    EXPECT_EQ(std::string(SessionTokenSize - 1, 'f'), Token());
}

TEST_F(ReaderTest, LongDescriptionIsCutToItsBuffer) {
    std::wstring answer = L"<result value='error'><description>" + std::wstring(5000, L'd') + L"</description></result>";
    EXPECT_EQ(Failure | ServerError, readServerAnswer(answer.c_str(), g_session));
    EXPECT_EQ(std::string(SessionDescriptionSize - 1, 'd'), Description());
}

// On Windows the zone is the system's setting; under Wine it follows the TZ environment
// variable, which the test registration sets to Europe/Berlin.
TEST_F(ReaderTest, DaylightSavingChangeDoesNotShiftTheRefresh) {
    FILETIME beforeSpring = Utc(2026, 3, 29, 0, 30, 0);
    FILETIME afterSpring = Utc(2026, 3, 29, 1, 30, 0);
    FILETIME beforeAutumn = Utc(2026, 10, 24, 10, 0, 0);
    FILETIME afterAutumn = Utc(2026, 10, 26, 10, 0, 0);
    if (LocalOffsetMinutes(beforeSpring) == LocalOffsetMinutes(afterSpring) ||
        LocalOffsetMinutes(beforeAutumn) == LocalOffsetMinutes(afterAutumn)) {
        GTEST_SKIP() << "the time zone has no European daylight-saving change in 2026 (set TZ=Europe/Berlin)";
    }
    // Local wall clocks would give one hour more in spring, so the refresh would come
    // after the token ran out, and one hour less in autumn.
    g_now = beforeSpring;
    EXPECT_EQ(kHourMs - kMarginMs, expiryToInterval("3 29 2026 1:30:00"));
    g_now = beforeAutumn;
    EXPECT_EQ(48 * kHourMs - kMarginMs, expiryToInterval("10 26 2026 10:00:00"));
}

TEST(SessionFieldsTest, CopiesAreBoundedAndEmptyValuesNeverReplace) {
    Session session;
    char text[8] = "garbage";
    EXPECT_FALSE(CopyErrorDescription(session, text, sizeof text));
    EXPECT_STREQ("", text);
    CopyToken(session, text, sizeof text);
    EXPECT_STREQ("", text);
    EXPECT_EQ(0, RefreshIntervalMs(session));

    StoreToken(session, "0123456789");
    StoreToken(session, "");
    CopyToken(session, text, sizeof text);
    EXPECT_STREQ("0123456", text);
    StoreErrorDescription(session, "kept");
    StoreErrorDescription(session, "");
    EXPECT_TRUE(CopyErrorDescription(session, text, sizeof text));
    EXPECT_STREQ("kept", text);
    SetMainThreadId(session, 1234);
    EXPECT_EQ(1234u, MainThreadId(session));
}

// Needs a double-byte system code page: under Wine LC_ALL=ja_JP.UTF-8 gives code page 932,
// which the test registration sets for this test alone.
TEST(SessionFieldsTest, DescriptionIsCutBeforeASplitDoubleByteCharacter) {
    if (!IsDBCSLeadByte(0x82)) GTEST_SKIP() << "the system code page has no double-byte characters";
    Session session;
    // 4094 single bytes and one two-byte character: one byte too long for the buffer.
    std::string text(SessionDescriptionSize - 2, 'a');
    text += "\x82\xa0";
    StoreErrorDescription(session, text.c_str());
    char stored[SessionDescriptionSize];
    EXPECT_TRUE(CopyErrorDescription(session, stored, sizeof stored));
    EXPECT_EQ(std::string(SessionDescriptionSize - 2, 'a'), stored);

    char small[4];
    StoreErrorDescription(session, "a\x82\xa0z");
    EXPECT_TRUE(CopyErrorDescription(session, small, sizeof small));
    EXPECT_STREQ("a\x82\xa0", small);
    StoreErrorDescription(session, "ab\x82\xa0");
    EXPECT_TRUE(CopyErrorDescription(session, small, sizeof small));
    EXPECT_STREQ("ab", small);
}

}  // namespace
