// The Windows Installer package as a user or an administrator meets it: silent install,
// AUTOSTART=0, an upgrade over an older package and a running copy, and uninstall.
// Packages come from scripts/make-msi.sh with this build's Pagewren.exe (PAGEWREN_TEST_MSI)
// and an older one holding a different file (PAGEWREN_TEST_OLDER_MSI); msiexec is the system's.
#include "e2e/e2e_fixture.h"

#include "res/resource.h"
#include "support/files.h"
#include "support/texts.h"

#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include <string>

namespace {

const char kUpgradeCode[] = "{C8821574-035F-4F3E-9100-6D01218655BE}";
const DWORD kInstallTimeoutMs = 120000;

std::string InstalledExe() { return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Pagewren\\Pagewren.exe"; }
std::string StartMenuShortcut() { return KnownFolder(CSIDL_PROGRAMS) + "\\Pagewren.lnk"; }

// The command of the start at sign-in, or "" when there is none.
std::string RunValue() {
    char value[MAX_PATH + 8] = {};
    DWORD size = sizeof value;
    return RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Pagewren",
                        RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS ? value : std::string();
}

// The product codes installed under Pagewren's upgrade code.
std::vector<std::string> InstalledProducts() {
    std::vector<std::string> products;
    char code[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i) products.push_back(code);
    return products;
}

std::string ProductInfo(const std::string& product, const char* property) {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (MsiGetProductInfoA(product.c_str(), property, value, &size) != ERROR_SUCCESS) return std::string();
    return value;
}

// Runs msiexec with arguments and returns its exit code, pumping messages meanwhile, since a
// running Pagewren.exe talks to this thread's stand-in notification area while it closes.
DWORD Msiexec(const std::string& arguments) {
    ProgramRun run;
    if (!StartProcess("msiexec.exe " + arguments, &run)) return GetLastError();
    const DWORD code = WaitForProgramExit(run, kInstallTimeoutMs);
    CloseProcessHandles(run);
    return code;
}

std::string Package(const char* variable) {
    const char* path = getenv(variable);
    return path ? std::string("\"") + path + "\"" : std::string();
}

struct PackageTest : ProgramTest {
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_FALSE(Package("PAGEWREN_TEST_MSI").empty());
        ASSERT_FALSE(ThisBuildsProgram().empty());
        RemoveEveryInstall();
    }
    void TearDown() override {
        ProgramTest::TearDown();
        RemoveEveryInstall();
    }
    static void RemoveEveryInstall() {
        for (const std::string& product : InstalledProducts()) (void)Msiexec("/x " + product + " /qn");
    }
    static std::string ThisBuildsProgram() { return ReadFileBytes(getenv("PAGEWREN_EXE")); }
};

// The older package without the start at sign-in; the installed program signs in; the newer
// package then closes it the way Exit does, replaces its file at once instead of at the next
// restart, and brings the start at sign-in; uninstalling keeps the configuration.
TEST_F(PackageTest, InstallsUpgradesOverARunningCopyAndUninstallsKeepingTheConfiguration) {
    ASSERT_TRUE(WriteUserConfig(ConfigText(TestServerPort(), kDemoEmail)));
    ASSERT_EQ(0u, Msiexec("/i " + Package("PAGEWREN_TEST_OLDER_MSI") + " /qn AUTOSTART=0"));
    EXPECT_TRUE(PathExists(StartMenuShortcut()));
    EXPECT_EQ("", RunValue());
    std::vector<std::string> products = InstalledProducts();
    ASSERT_EQ(1u, products.size());
    EXPECT_EQ("0.9.0.0", ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING));

    ASSERT_EQ(0, _putenv(("PAGEWREN_INSTALLED_EXE=" + InstalledExe()).c_str()));
    HWND dialog = LaunchAndWaitForSignIn("PAGEWREN_INSTALLED_EXE");
    ASSERT_NE(nullptr, dialog);
    SetControlText(dialog, IDC_PASSWORD, kDemoPassword);
    PressEnter(dialog, IDC_PASSWORD);
    ASSERT_TRUE(WaitForTrayTip(kSignedIn));
    // As the sign-in left it; Windows keeps the password.
    const std::string config = ReadFileBytes(UserConfigPath());

    ASSERT_EQ(0u, Msiexec("/i " + Package("PAGEWREN_TEST_MSI") + " /qn")) << "3010 would mean: replaced at restart";
    EXPECT_EQ(0u, WaitForProgramExit(program, kStepTimeoutMs));
    EXPECT_TRUE(TrayIconRemoved());
    EXPECT_EQ(ThisBuildsProgram(), ReadFileBytes(InstalledExe()));
    EXPECT_EQ("\"" + InstalledExe() + "\"", RunValue());
    products = InstalledProducts();
    ASSERT_EQ(1u, products.size()) << "the newer package replaces the older one";
    EXPECT_EQ(PAGEWREN_VERSION, ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING));
    EXPECT_TRUE(PathExists(ProductInfo(products[0], INSTALLPROPERTY_PRODUCTICON)));

    ASSERT_EQ(0u, Msiexec("/x " + Package("PAGEWREN_TEST_MSI") + " /qn"));
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(PathExists(KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Pagewren"));
    EXPECT_FALSE(PathExists(StartMenuShortcut()));
    EXPECT_EQ("", RunValue());
    EXPECT_EQ(config, ReadFileBytes(UserConfigPath()));
}

}  // namespace
