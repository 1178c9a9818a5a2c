#include "app/page_address.h"

#include "app/platform_calls.h"
#include "app/resource_text.h"

bool BuildTrayPageAddress(PageAction action, char* out, size_t capacity) {
    if (capacity == 0) return false;
    char token[SessionTokenSize];
    CopyToken(g_session, token, sizeof token);
    out[0] = '\0';
    bool fits = AppendText(out, capacity, "http://") && AppendText(out, capacity, Host());
    if (Port()[0] != '\0') fits = fits && AppendText(out, capacity, ":") && AppendText(out, capacity, Port());
    return fits && AppendText(out, capacity, Directory()) && AppendText(out, capacity, "tray.php") &&
           AppendText(out, capacity, "?token=") && AppendText(out, capacity, token) &&
           AppendText(out, capacity, action == PageActionAllPages ? "&action=2" : "&action=3");
}

bool OpenTrayPage(PageAction action) {
    char address[PageAddressSize];
    // A cut address would open the wrong page.
    if (!BuildTrayPageAddress(action, address, sizeof address)) return false;
    HINSTANCE result = g_platform.shellExecute(NULL, "open", address, NULL, NULL, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
