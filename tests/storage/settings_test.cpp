#include "storage/settings.h"

#include "storage/default_server.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

TEST(Settings, ResetToDefaultsKeepsThePort) {
    FreshSettings();
    lstrcpynA(g_settings.port, "8080", sizeof g_settings.port);
    lstrcpynA(g_settings.user, "someone@example.com", sizeof g_settings.user);
    g_settings.remember = true;
    ResetToDefaults();
    EXPECT_STREQ(DEFAULT_SERVER_HOST, Host());
    EXPECT_STREQ("/", Directory());
    EXPECT_STREQ("8080", Port());
    EXPECT_STREQ("", User());
    EXPECT_FALSE(Remember());
    EXPECT_EQ(SettingsState::Initial, State());
}

TEST(Settings, OnlyADifferentValueMarksTheRecordModified) {
    FreshSettings();
    lstrcpynA(g_settings.user, "Ann@Example.com", sizeof g_settings.user);
    lstrcpynA(g_settings.password, "Secret", sizeof g_settings.password);
    SetUser("ann@example.COM");  // the address is compared without letter case
    SetUser(nullptr);
    SetPassword("Secret");
    SetRemember(false);
    EXPECT_STREQ("Ann@Example.com", User());
    EXPECT_EQ(SettingsState::Initial, State());

    void (*const changes[])() = {[] { SetPassword("secret"); }, [] { SetPassword(""); },
                                 [] { SetUser("bob@example.com"); }, [] { SetRemember(true); }};
    for (auto change : changes) {
        change();
        EXPECT_EQ(SettingsState::Modified, State());
        g_settings.state = SettingsState::Loaded;
    }
    EXPECT_STREQ("", Password());

    static char longText[SettingsTextSize + 100];
    memset(longText, 'a', sizeof longText - 1);
    SetUser(longText);
    EXPECT_EQ(SettingsTextSize - 1, strlen(User()));
}

}  // namespace
