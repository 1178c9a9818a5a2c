// The tray icon: the record handed to the shell, the look of each state, the icon resources.
#include "fake_platform.h"

#include <string>

#include "app/tray_icon.h"
#include "res/resource.h"

namespace {

struct LookRow {
    TrayState state;
    HICON AppState::*icon;
    const char* tip;
};

const LookRow kLooks[] = {
    {NotSignedIn, &AppState::signedOutIcon, "Pagewren - Not Signed In"},
    {SigningIn, &AppState::signedOutIcon, "Pagewren - Signing In..."},
    {SignedIn, &AppState::signedInIcon, "Pagewren - Signed In"},
    {Error, &AppState::errorIcon, "Pagewren - Error"},
    {static_cast<TrayState>(4), &AppState::signedOutIcon, "Pagewren - Not Signed In"},
    {static_cast<TrayState>(0xFFFFFFFF), &AppState::signedOutIcon, "Pagewren - Not Signed In"},
};

void ExpectRecordFor(const NOTIFYICONDATAA& data) {
    EXPECT_EQ(488u, data.cbSize);
    EXPECT_EQ(g_app.mainWindow, data.hWnd);
    EXPECT_EQ(100u, data.uID);
}

TEST_F(ControllerTest, UpdateShowsTheLookOfEachState) {
    g_app.mainWindow = reinterpret_cast<HWND>(0x1234);
    for (const LookRow& look : kLooks) {
        g_fake.tray.clear();
        g_app.state = look.state;
        UpdateTrayIcon();
        ASSERT_EQ(1u, g_fake.tray.size());
        const TrayCall& call = g_fake.tray[0];
        EXPECT_EQ(DWORD(NIM_MODIFY), call.operation);
        ExpectRecordFor(call.data);
        EXPECT_EQ(UINT(NIF_ICON | NIF_TIP), call.data.uFlags);
        EXPECT_EQ(g_app.*look.icon, call.data.hIcon) << look.state;
        EXPECT_STREQ(look.tip, call.data.szTip);
    }
}

TEST_F(ControllerTest, AddRegistersTheCallbackWithTheCurrentLook) {
    g_app.mainWindow = reinterpret_cast<HWND>(0x1234);
    AddTrayIcon();
    ASSERT_EQ(1u, g_fake.tray.size());
    const TrayCall& call = g_fake.tray[0];
    EXPECT_EQ(DWORD(NIM_ADD), call.operation);
    ExpectRecordFor(call.data);
    EXPECT_EQ(UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP), call.data.uFlags);
    EXPECT_EQ(1124u, call.data.uCallbackMessage);
    EXPECT_EQ(g_app.signedOutIcon, call.data.hIcon);
    EXPECT_STREQ("Pagewren - Not Signed In", call.data.szTip);
}

TEST_F(ControllerTest, AddThatFailsBringsTheExistingIconUpToDate) {
    g_fake.addSucceeds = FALSE;
    g_app.state = SignedIn;
    AddTrayIcon();
    ASSERT_EQ(2u, g_fake.tray.size());
    EXPECT_EQ(DWORD(NIM_ADD), g_fake.tray[0].operation);
    EXPECT_EQ(DWORD(NIM_MODIFY), g_fake.tray[1].operation);
    EXPECT_EQ(g_app.signedInIcon, g_fake.tray[1].data.hIcon);
    EXPECT_STREQ("Pagewren - Signed In", g_fake.tray[1].data.szTip);
}

TEST(TrayTip, LongTextIsCutTo127Characters) {
    NOTIFYICONDATAA data = {};
    std::string text(200, 'x');
    text[126] = 'a';
    text[127] = 'b';
    SetTrayTip(&data, text.c_str());
    EXPECT_EQ(std::string(126, 'x') + "a", data.szTip);
    SetTrayTip(&data, "short");
    EXPECT_STREQ("short", data.szTip);
}

TEST_F(ControllerTest, RemoveReleasesTheIconsOnceAndDeletesTheIcon) {
    g_app.mainWindow = reinterpret_cast<HWND>(0x1234);
    HICON before[] = {g_app.signedInIcon, g_app.signedOutIcon, g_app.errorIcon};
    RemoveTrayIcon();
    ASSERT_EQ(1u, g_fake.tray.size());
    EXPECT_EQ(DWORD(NIM_DELETE), g_fake.tray[0].operation);
    ExpectRecordFor(g_fake.tray[0].data);
    EXPECT_EQ(nullptr, g_app.signedInIcon);
    EXPECT_EQ(nullptr, g_app.signedOutIcon);
    EXPECT_EQ(nullptr, g_app.errorIcon);
    for (HICON icon : before) {
        ICONINFO info;
        EXPECT_FALSE(GetIconInfo(icon, &info)) << "icon still alive after RemoveTrayIcon";
    }
    RemoveTrayIcon();
    EXPECT_EQ(2u, g_fake.tray.size());
    EXPECT_EQ(nullptr, g_app.signedInIcon);
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroup {
    WORD reserved;
    WORD type;
    WORD count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

// "size/bits" for every image of an icon resource, in resource order.
std::vector<std::string> IconImages(UINT id) {
    std::vector<std::string> images;
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14));
    if (!found) return images;
    const IconGroup* group = static_cast<const IconGroup*>(LockResource(LoadResource(module, found)));
    for (WORD i = 0; i < group->count; ++i) {
        const IconGroupEntry& entry = group->entries[i];
        images.push_back(std::to_string(entry.width) + "x" + std::to_string(entry.height) + "/" +
                         std::to_string(entry.bitCount));
    }
    return images;
}

TEST(IconResources, HoldTheImagesOfEachSizeAndDepth) {
    const std::vector<std::string> tray = {"32x32/8", "32x32/32", "16x16/8", "16x16/32"};
    EXPECT_EQ(tray, IconImages(IDI_TRAY_SIGNED_IN));
    EXPECT_EQ(tray, IconImages(IDI_TRAY_SIGNED_OUT));
    EXPECT_EQ(tray, IconImages(IDI_TRAY_ERROR));
    const std::vector<std::string> small = {"32x32/4", "16x16/4",  "48x48/8",  "48x48/32",
                                            "32x32/8", "32x32/32", "16x16/8", "16x16/32"};
    EXPECT_EQ(small, IconImages(IDI_SMALL));
}

}  // namespace
