// The addresses the sign-in dialog's links open.
#include <gtest/gtest.h>

#include <string>

#include "app/page_address.h"

namespace {

TEST(ComposeServerPageAddress, JoinsHostPortDirectoryAndPageAsStored) {
    struct Case {
        const char* port;
        const char* directory;
        const char* page;
        const char* expected;
    };
    const Case cases[] = {
        {"8080", "/app/", "signup.php?skip-install", "http://example.org:8080/app/signup.php?skip-install"},
        {"", "/", "restore.php", "http://example.org/restore.php"},
        // No separator is added: a directory without its trailing slash glues to the page.
        {"", "/app", "restore.php", "http://example.org/apprestore.php"},
    };
    for (const Case& c : cases) {
        char out[4096];
        ASSERT_TRUE(ComposeServerPageAddress("example.org", c.port, c.directory, c.page, out, sizeof out));
        EXPECT_STREQ(c.expected, out);
    }
}

TEST(ComposeServerPageAddress, RefusesAnAddressThatDoesNotFit) {
    const std::string host(4090, 'h');
    char out[4096];
    EXPECT_FALSE(ComposeServerPageAddress(host.c_str(), "", "/", "restore.php", out, sizeof out));
    EXPECT_STREQ("", out);

    char exact[sizeof "http://a/b"];
    EXPECT_TRUE(ComposeServerPageAddress("a", "", "/", "b", exact, sizeof exact));
    EXPECT_FALSE(ComposeServerPageAddress("a", "", "/", "bc", exact, sizeof exact));
}

}  // namespace
