#include "net/response_reader.h"
#include "net/session.h"
#include "net/utc_clock.h"
#include "storage/scoped_lock.h"
#include "storage/text_encoding.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

namespace {

FILETIME g_now;

void WINAPI FixedNow(LPFILETIME now) { *now = g_now; }

FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second = 0, WORD milliseconds = 0) {
    SYSTEMTIME time = {year, month, 0, day, hour, minute, second, milliseconds};
    FILETIME result = {};
    EXPECT_TRUE(SystemTimeToFileTime(&time, &result));
    return result;
}

const int64_t kHourMs = 3600000;
const int64_t kMarginMs = 300000;

struct ReaderTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        g_currentUtcTime = FixedNow;
        g_now = Utc(2026, 12, 31, 22, 59);
        ResetSession();
    }
    void TearDown() override {
        g_currentUtcTime = GetSystemTimeAsFileTime;
        CoUninitialize();
    }
    static void ResetSession() {
        ScopedLock hold(g_session.lock);
        StoreToken(g_session, "old");
        StoreExpiry(g_session, 0, 42);
        StoreErrorDescription(g_session, "old");
    }
};

// The daylight-saving rows need a zone with the European changes: on Windows the zone is the
// system's setting; under Wine it follows TZ, which the test registration sets to Europe/Berlin.
TEST_F(ReaderTest, ExpiryBecomesMillisecondsUntilFiveMinutesBeforeOrHalfwayWhenCloser) {
    const struct {
        const char* name;
        const char* expiry;
        FILETIME now;
        int64_t interval;
    } cases[] = {
        {"one hour ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 22, 59), kHourMs - kMarginMs},
        {"doubled space, no seconds", "12  31 2026 23:59", Utc(2026, 12, 31, 22, 59), kHourMs - kMarginMs},
        {"exactly five minutes ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 23, 54), 150000},
        {"five minutes and 1 ms ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 23, 53, 59, 999), 1},
        {"1 ms ahead", "12 31 2026 23:59:00", Utc(2026, 12, 31, 23, 58, 59, 999), 1},
        {"now", "12 31 2026 23:59:00", Utc(2026, 12, 31, 23, 59), -kMarginMs},
        {"in the past", "12 31 2026 23:59:00", Utc(2027, 1, 1, 0, 0), -60000 - kMarginMs},
        {"leap day", "2 29 2028 0:0:0", Utc(2028, 2, 28, 0, 0), 24 * kHourMs - kMarginMs},
        // Across the daylight-saving changes local wall clocks would give one hour more in spring,
        // so the refresh would come after the token ran out, and one hour less in autumn.
        {"across the spring change", "3 29 2026 1:30:00", Utc(2026, 3, 29, 0, 30), kHourMs - kMarginMs},
        {"across the autumn change", "10 26 2026 10:00:00", Utc(2026, 10, 24, 10, 0), 48 * kHourMs - kMarginMs},
    };
    for (const auto& c : cases) {
        g_now = c.now;
        EXPECT_EQ(c.interval, expiryToInterval(c.expiry)) << c.name;
    }
    // Even a far-off present must not turn these into a positive interval.
    g_now = Utc(1700, 1, 1, 0, 0);
    for (const char* expiry : {"tomorrow", "", "2 30 2026 10:00:00", "12 31 2026 24:00:00", "12-31-2026 23:59:00"}) {
        EXPECT_LT(expiryToInterval(expiry), 0) << expiry;
    }
}

// The double-byte part needs a double-byte system code page: under Wine LC_ALL=ja_JP.UTF-8
// gives code page 932, which the test registration sets for this test alone.
TEST(SessionFieldsTest, TextsAreCutBeforeASplitUtf8OrDoubleByteCharacter) {
    Session session;
    StoreErrorDescription(session, std::string(5000, 'd').c_str());
    EXPECT_EQ(std::string(SessionDescriptionSize - 1, 'd'), session.errorDescription);
    // The description is UTF-8: one byte too long for the buffer, the last character being three.
    StoreErrorDescription(session, (std::string(SessionDescriptionSize - 3, 'a') + "\xE2\x82\xAC").c_str());
    EXPECT_EQ(std::string(SessionDescriptionSize - 3, 'a'), session.errorDescription);
    if (!IsDBCSLeadByte(0x82)) GTEST_SKIP() << "the system code page has no double-byte characters";
    // The token is in the system code page.
    StoreToken(session, "ab\x82\xa0");
    char token[4];
    CopyToken(session, token, sizeof token);
    EXPECT_STREQ("ab", token);
}

// An answer's bytes as the exchange decodes them, then read: the result, and what the answer
// stores, the description whole; the fuzzer checks that nothing else changes. A success and its
// interval are the server tests' answers; the end-to-end tests read a description declared
// UTF-8, and one in the system code page (1252 there), neither declared nor UTF-8.
TEST_F(ReaderTest, AnswersInTheirEncodingGiveTheirResultAndStoreWhatTheyCarry) {
    const std::string token = "<token value='T' gmtexpiration='12 31 2026 23:59:00'/>";
    const std::string lodz = "\xC5\x81\xC3\xB3" "d\xC5\xBA";  // "Łódź" in UTF-8
    const std::string open = "<result value='error'><description>", close = "</description></result>";
    std::string bigEndian = "\xFE\xFF";
    for (char16_t c : u"<result value='error'><description>\u0141</description></result>") {
        if (c) bigEndian += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    const struct {
        std::string bytes;
        const char* contentType;
        std::string description;  // UTF-8
        ResultCode code = Failure | ServerError;
        const char* token = "old";  // the interval stays the one stored before: no row succeeds
    } cases[] = {
        {"<r><result value='error'><description>Try <b>again</b></description></result><result value='success'>" +
             token + "</result></r>", "text/xml", "Try again"},
        {"<result value='success'><token value='T'/></result>", "text/xml", "old", 0, "T"},
        {"<result value='Success'>" + token + "</result>", "text/xml", "old", 0},
        {"<result value='success'><token value='' gmtexpiration='12 31 2026 23:59:00'/></result>", "text/xml", "old", 0},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-2\" ?>" + open + "\xA3\xF3" "d\xBC" + close,
         "text/xml; charset=utf-8", lodz},
        {"\xEF\xBB\xBF" + open + lodz + close, "text/xml; charset=iso-8859-1", lodz},
        {open + "\xCF\xF0\xE8" + close, "text/xml;charset=\"windows-1251\"", "\xD0\x9F\xD1\x80\xD0\xB8"},
        {open + lodz + close, "text/xml", lodz},
        {bigEndian, "", "\xC5\x81"},
    };
    for (const auto& c : cases) {
        ResetSession();
        HeapText text;
        ASSERT_TRUE(BytesToWide(c.bytes.data(), c.bytes.size(),
                                XmlCodePage(c.bytes.data(), c.bytes.size(), c.contentType), &text));
        EXPECT_EQ(c.code, readServerAnswer(WideText(text), g_session)) << c.bytes;
        EXPECT_EQ(std::string(c.token) + "|42|" + c.description,
                  std::string(g_session.token) + "|" + std::to_string(RefreshIntervalMs(g_session)) + "|" +
                      g_session.errorDescription)
            << c.bytes;
    }
}

}  // namespace
