// Seeded mutation of server answers and configuration files. Case i of a run with seed S
// mutates from seed S + i, so PAGEWREN_FUZZ_SEED=S+i with a count of 1 replays it alone.
// PAGEWREN_FUZZ_ANSWERS, PAGEWREN_FUZZ_CONFIGS and PAGEWREN_FUZZ_SEED set the pass
// (scripts/fuzz.sh runs long ones); without them the suite runs a short fixed pass.
#include "net/response_reader.h"
#include "res/default_server.h"
#include "storage/config_file.h"
#include "storage/scoped_lock.h"
#include "storage/storage_test_support.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace {

uint64_t Setting(const char* name, uint64_t fallback) {
    const char* text = getenv(name);
    return text && *text ? _strtoui64(text, nullptr, 10) : fallback;
}

// splitmix64: small, and the same sequence on every compiler.
struct Random {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    template <size_t N> const char* Pick(const char* const (&items)[N]) { return items[Below(N)]; }
};

const char* const kPrologues[] = {
    "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<?xml version=\"1.0\" encoding=\"bogus\"?>",
    "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
    "<!DOCTYPE r [<!ENTITY e \"entity\">]>",
    "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///c:/windows/win.ini\">]>",
    "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>",
    "<!DOCTYPE r [<!ENTITY % p \"<!ENTITY q 'x'>\"> %p;]>",
};
const char* const kInserts[] = {"&e;", "&x;", "&d;", "&q;", "&amp;", "&#0;", "&#xD800;", "&#233;", "&#x4E00;",
                                "<![CDATA[<>&]]>", "<!-- -->", "<?pi x?>", "\"", "'", "<", ">", "&", "\x81\x8D\x8F\x90\x9D",
                                "\xE9\xFC\xDF", "\x96", "\r\n", "\t", " ", "\0"};
const size_t kRunLengths[] = {255, 256, 4095, 4096, 4097, 5000, 70000};

// Applies one to most mutations to bytes.
void Mutate(std::string& bytes, Random& random, size_t most) {
    for (size_t n = 1 + random.Below(most); n > 0; --n) {
        size_t at = random.Below(bytes.size() + 1);
        switch (random.Below(11)) {
        case 0:  // byte flips
            for (size_t k = 1 + random.Below(8); k > 0 && !bytes.empty(); --k)
                bytes[random.Below(bytes.size())] ^= static_cast<char>(1 + random.Below(255));
            break;
        case 1:  // truncation
            bytes.resize(at);
            break;
        case 2: {  // repetition of a slice
            size_t length = random.Below(bytes.size() - at + 1);
            std::string slice = bytes.substr(at, length);
            for (size_t k = random.Below(60); k > 0; --k) bytes.insert(at, slice);
            break;
        }
        case 3: {  // a huge attribute or element text
            size_t quote = bytes.find(random.Below(2) ? "=\"" : ">", at);
            if (quote == std::string::npos) quote = at;
            bytes.insert(std::min(quote + 1, bytes.size()), std::string(kRunLengths[random.Below(7)], "A\xE9 &"[random.Below(3)]));
            break;
        }
        case 4: {  // deep nesting
            size_t depth = 1 + random.Below(3000);
            std::string open, close;
            for (size_t k = 0; k < depth; ++k) open += "<n>", close += "</n>";
            bytes = open + bytes + close;
            break;
        }
        case 5:  // DOCTYPE, entities, encodings and byte-order marks
            bytes.insert(0, random.Pick(kPrologues));
            break;
        case 6: {  // references, markup and non-ASCII or undefined code-page bytes
            const char* insert = random.Pick(kInserts);
            bytes.insert(at, insert, *insert ? strlen(insert) : 1);
            break;
        }
        case 7: {  // an odd expiry
            const char* const dates[] = {"", "x", "2 30 2026 10:00:00", "0 0 0 0:0:0", "12 31 30828 23:59:59",
                                         "-1 -1 -1 -1:-1:-1", "99999999999 1 2026 1:1:1", "12 31 2026 23:59"};
            size_t value = bytes.find("gmtexpiration=\"");
            if (value != std::string::npos) bytes.insert(value + 15, random.Pick(dates));
            break;
        }
        case 8: {  // an attribute emptied
            size_t value = bytes.find("=\"", at);
            size_t end = value == std::string::npos ? value : bytes.find('"', value + 2);
            if (end != std::string::npos) bytes.erase(value + 2, end - value - 2);
            break;
        }
        case 9:  // a slice cut out
            bytes.erase(at, random.Below(bytes.size() - at + 1));
            break;
        default:  // random bytes
            for (size_t k = 1 + random.Below(16); k > 0; --k) bytes.insert(random.Below(bytes.size() + 1), 1, static_cast<char>(random.Next()));
        }
    }
}

// The case being run, for a watchdog that names the seed of a case that hangs: one that has
// not handed over to the next case within a minute.
std::atomic<uint64_t> g_caseSeed{0};

DWORD WINAPI Watchdog(void*) {
    uint64_t seen = g_caseSeed.load();
    for (int quiet = 0;; Sleep(1000)) {
        uint64_t current = g_caseSeed.load();
        quiet = current == seen ? quiet + 1 : 0;
        seen = current;
        if (quiet == 60) {
            fprintf(stderr, "case with seed %llu hangs\n", static_cast<unsigned long long>(g_caseSeed.load()));
            fflush(stderr);
            ExitProcess(3);
        }
    }
}

void Report(const char* what, uint64_t cases, DWORD startTick) {
    DWORD ms = GetTickCount() - startTick;
    printf("%llu %s in %lu ms: %.0f per second\n", static_cast<unsigned long long>(cases), what, ms,
           ms ? cases * 1000.0 / ms : 0.0);
    fflush(stdout);
}

struct FuzzTest : FakeFoldersTest {
    void SetUp() override {
        FakeFoldersTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        static HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
        ASSERT_NE(nullptr, watchdog);
        seed = Setting("PAGEWREN_FUZZ_SEED", 20261207);
    }
    // Case i: one of the bases, mutated from its own seed.
    template <size_t N>
    std::string Case(uint64_t i, const char* const (&bases)[N], size_t mostMutations, Random* random) {
        g_caseSeed = seed + i;
        *random = Random{seed + i};
        std::string bytes = random->Pick(bases);
        Mutate(bytes, *random, mostMutations);
        return bytes;
    }
    void TearDown() override {
        CoUninitialize();
        FakeFoldersTest::TearDown();
    }
    uint64_t seed = 0;
};

const char* const kAnswers[] = {
    "<result value=\"success\"><token value=\"0123456789abcdef\" gmtexpiration=\"12 31 2099 23:59:00\"/></result>",
    "<result value=\"error\"><description>Your session has expired</description></result>",
    "<r><x/><result value=\"error\"><description>Konto &#233; <b>gesperrt</b> \xE9</description></result>"
    "<result value=\"success\"/></r>",
    "<?xml version=\"1.0\"?><a><result value=\"success\" x=\"1\"><y/><token gmtexpiration=\"1 1 2030 0:0:0\" "
    "value=\"a&amp;b c\">text</token></result></a>",
};

TEST_F(FuzzTest, ServerAnswersGiveADefinedResultAndKeepTheSessionWhole) {
    const uint64_t count = Setting("PAGEWREN_FUZZ_ANSWERS", 1500);
    const int64_t kKeptInterval = 42;
    DWORD start = GetTickCount();
    for (uint64_t i = 0; i < count; ++i) {
        Random random;
        std::string bytes = Case(i, kAnswers, 4, &random);
        // As the exchange decodes a body: the system code page, up to the first zero byte.
        std::wstring text(bytes.size() + 1, L'\0');
        text.resize(MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), -1, &text[0], static_cast<int>(text.size())));
        if (random.Below(8) == 0 && !text.empty()) text[random.Below(text.size())] = random.Below(2) ? 0xD800 : 0xFEFF;

        ScopedLock hold(g_session.lock);
        StoreToken(g_session, "kept-token");
        StoreExpiry(g_session, 0, kKeptInterval);
        StoreErrorDescription(g_session, "kept description");
        const ResultCode code = readServerAnswer(text.c_str(), g_session);
        SCOPED_TRACE(testing::Message() << "seed " << seed + i << ", result " << code);
        ASSERT_TRUE(code == 0 || code == Success || code == (Failure | ServerError));
        ASSERT_TRUE(memchr(g_session.token, 0, sizeof g_session.token));
        ASSERT_TRUE(memchr(g_session.errorDescription, 0, sizeof g_session.errorDescription));
        // Only a non-empty token replaces the stored one, and success brings one; an interval
        // only comes with success, a description only with an error answer.
        ASSERT_NE('\0', g_session.token[0]);
        ASSERT_TRUE(code != Success || strcmp("kept-token", g_session.token) != 0);
        ASSERT_TRUE(g_session.refreshIntervalMs == kKeptInterval || code == Success);
        ASSERT_EQ(code == (Failure | ServerError), strcmp(g_session.errorDescription, "kept description") != 0);
        ASSERT_NE('\0', g_session.errorDescription[0]);
        ASSERT_TRUE(code != (Failure | ServerError) || strcmp("kept-token", g_session.token) == 0);
    }
    Report("server answers", count, start);
}

const char* const kConfigs[] = {
    "<config>\r\n\t<server host=\"pagewren.com\" directory=\"/app/\">\r\n\t\t<user>ann@example.com</user>\r\n"
    "\t\t<password>FYdbhFa7/JU=</password>\r\n\t</server>\r\n</config>",
    "<config>\r\n\t<server host=\"h&amp;&lt;&gt;&quot;'\" directory=\"/a b/\" port=\"8080\">\r\n\t</server>\r\n</config>",
    "<outer><config><server host='h' directory='/'><user>x&#233;&#x4E00;</user><password/></server></config></outer>",
};

TEST_F(FuzzTest, ConfigurationFilesAreReadWholeOrNotAtAll) {
    const uint64_t count = Setting("PAGEWREN_FUZZ_CONFIGS", 300);
    const std::string file = g_localFolder + "\\Pagewren\\config.xml";
    ASSERT_TRUE(CreateFolderPath((g_localFolder + "\\Pagewren").c_str()));
    const std::string defaults = std::string(DEFAULT_SERVER_HOST) + "|/|||";
    uint64_t read = 0;
    DWORD start = GetTickCount();
    for (uint64_t i = 0; i < count; ++i) {
        // One mutation, so that many files are still read and written back.
        Random random;
        std::string bytes = Case(i, kConfigs, 1, &random);
        ASSERT_TRUE(WriteFileBytes(file, bytes));
        SCOPED_TRACE(testing::Message() << "seed " << seed + i);

        FreshSettings();
        // As at start-up: the file, else the defaults.
        if (!Load()) {
            ResetToDefaults();
            ASSERT_EQ(defaults, RecordText());
            continue;
        }
        ++read;
        // Every text of the settings record ends inside its buffer.
        for (const char* field : {g_settings.host, g_settings.directory, g_settings.user, g_settings.password, g_settings.port})
            ASSERT_TRUE(memchr(field, 0, field == g_settings.port ? SettingsPortSize : SettingsTextSize)) << field - g_settings.host;
        const std::string first = RecordText();
        ASSERT_NE('\0', g_settings.host[0]);
        ASSERT_NE('\0', g_settings.directory[0]);
        g_settings.state = SettingsState::Modified;
        ASSERT_TRUE(Save());
        FreshSettings();
        ASSERT_TRUE(Load()) << ReadFileBytes(file);
        ASSERT_EQ(first, RecordText()) << ReadFileBytes(file);
    }
    Report("configuration files", count, start);
    printf("%llu of them read\n", static_cast<unsigned long long>(read));
}

}  // namespace
