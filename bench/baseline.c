/* The yardsticks of the benchmark: the least a program like Pagewren has to do.
   Bare (BENCH_SAME_WORK 0): a hidden window, one WinINet GET, then one dialog.
   Same work (BENCH_SAME_WORK 1): also a COM XML DOM parse and a Credential Manager read, the
   dialog with common controls 6 (by its manifest), and the GET on a worker thread.
   The command line names the server: host port. */
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <wincred.h>
#include <wininet.h>
#include <msxml2.h>
#include <stdlib.h>

#define IDD_BASELINE 100

static char g_host[256] = "127.0.0.1";
static INTERNET_PORT g_port = 80;

static DWORD WINAPI GetSignInScript(void* unused) {
    HINTERNET internet = InternetOpenA("PagewrenBench", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    HINTERNET connection = NULL, request = NULL;
    (void)unused;
    if (internet) connection = InternetConnectA(internet, g_host, g_port, NULL, NULL, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection) {
        request = HttpOpenRequestA(connection, "GET", "/auth-tray.php", NULL, NULL, NULL,
                                   INTERNET_FLAG_KEEP_CONNECTION, 0);
    }
    if (request) (void)HttpSendRequestA(request, NULL, 0, NULL, 0);
    if (request) (void)InternetCloseHandle(request);
    if (connection) (void)InternetCloseHandle(connection);
    if (internet) (void)InternetCloseHandle(internet);
    return 0;
}

#if BENCH_SAME_WORK
static void ParseAnswer(void) {
    static const CLSID clsid = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
    static const IID iid = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
    IXMLDOMDocument* document = NULL;
    BSTR text;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &iid, (void**)&document))) return;
    text = SysAllocString(L"<result value='success'><token value='T' gmtexpiration='1 1 2030 0:0:0'/></result>");
    if (text) (void)document->lpVtbl->loadXML(document, text, &loaded);
    SysFreeString(text);
    document->lpVtbl->Release(document);
}

static void ReadKeptPassword(void) {
    WCHAR target[300];
    PCREDENTIALW credential = NULL;
    (void)wsprintfW(target, L"Pagewren:http://%S:%u", g_host, (unsigned)g_port);
    if (CredReadW(target, CRED_TYPE_GENERIC, 0, &credential)) CredFree(credential);
}
#endif

static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        (void)EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    WNDCLASSA windowClass = {0};
    HWND window;
    char* port;
    (void)previous;
    (void)show;
    lstrcpynA(g_host, commandLine, sizeof g_host);
    port = strchr(g_host, ' ');
    if (port) {
        *port++ = '\0';
        g_port = (INTERNET_PORT)atoi(port);
    }
#if BENCH_SAME_WORK
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
        (void)InitCommonControlsEx(&controls);
    }
    if (FAILED(CoInitialize(NULL))) return 1;
    ParseAnswer();
    ReadKeptPassword();
    {
        HANDLE worker = CreateThread(NULL, 0, GetSignInScript, NULL, 0, NULL);
        if (worker) (void)CloseHandle(worker);
    }
#else
    (void)GetSignInScript(NULL);
#endif
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "PagewrenBaseline";
    if (!RegisterClassA(&windowClass)) return 1;
    window = CreateWindowA("PagewrenBaseline", "PagewrenBaseline", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                           instance, NULL);
    if (!window) return 1;
    (void)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BASELINE), window, DialogProc, 0);
    return 0;
}
