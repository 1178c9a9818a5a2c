#include "storage/settings.h"

#include "storage/default_server.h"
#include "storage_test_support.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

TEST(Settings, ResetToDefaultsOnAFreshStartKeepsPortAndState) {
    FreshSettings();
    lstrcpynA(g_settings.port, "8080", sizeof g_settings.port);
    lstrcpynA(g_settings.user, "someone@example.com", sizeof g_settings.user);
    g_settings.remember = true;
    ResetToDefaults();
    EXPECT_STREQ(DEFAULT_SERVER_HOST, Host());
    EXPECT_STREQ("/", Directory());
    EXPECT_STREQ("8080", Port());
    EXPECT_STREQ("", User());
    EXPECT_STREQ("", Password());
    EXPECT_FALSE(Remember());
    EXPECT_EQ(SettingsState::Initial, State());
}

TEST(Settings, UserIsComparedWithoutLetterCase) {
    FreshSettings();
    SetUser("Ann@Example.com");
    EXPECT_EQ(SettingsState::Modified, State());
    g_settings.state = SettingsState::Loaded;
    SetUser("ann@example.COM");
    EXPECT_STREQ("Ann@Example.com", User());
    EXPECT_EQ(SettingsState::Loaded, State());
    SetUser(nullptr);
    EXPECT_EQ(SettingsState::Loaded, State());
    SetUser("bob@example.com");
    EXPECT_STREQ("bob@example.com", User());
    EXPECT_EQ(SettingsState::Modified, State());
}

TEST(Settings, PasswordIsComparedWithLetterCase) {
    FreshSettings();
    lstrcpynA(g_settings.password, "Secret", sizeof g_settings.password);
    g_settings.state = SettingsState::Loaded;
    SetPassword("Secret");
    EXPECT_EQ(SettingsState::Loaded, State());
    SetPassword("secret");
    EXPECT_STREQ("secret", Password());
    EXPECT_EQ(SettingsState::Modified, State());
    g_settings.state = SettingsState::Loaded;
    SetPassword("");
    EXPECT_STREQ("", Password());
    EXPECT_EQ(SettingsState::Modified, State());
}

TEST(Settings, RememberChangesStateOnlyWhenItDiffers) {
    FreshSettings();
    SetRemember(false);
    EXPECT_EQ(SettingsState::Initial, State());
    SetRemember(true);
    EXPECT_TRUE(Remember());
    EXPECT_EQ(SettingsState::Modified, State());
}

TEST(Settings, SetterCutsATextLongerThanItsBuffer) {
    FreshSettings();
    static char longText[SettingsTextSize + 100];
    memset(longText, 'a', sizeof longText - 1);
    longText[sizeof longText - 1] = '\0';
    SetUser(longText);
    EXPECT_EQ(SettingsTextSize - 1, strlen(User()));
}

}  // namespace
