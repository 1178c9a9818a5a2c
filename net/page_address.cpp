#include "net/page_address.h"

#include "storage/resource_text.h"

bool ComposeServerPageAddress(bool secure, const char* host, const char* port, const char* directory, const char* page,
                              char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    bool fits = AppendText(out, capacity, secure ? "https://" : "http://") && AppendText(out, capacity, host);
    if (port[0] != '\0') fits = fits && AppendText(out, capacity, ":") && AppendText(out, capacity, port);
    fits = fits && AppendText(out, capacity, directory) && AppendText(out, capacity, page);
    if (!fits) out[0] = '\0';
    return fits;
}

bool BuildTrayPageAddress(PageAction action, char* out, size_t capacity) {
    char token[SessionTokenSize];
    CopyToken(g_session, token, sizeof token);
    char page[SessionTokenSize + 32] = "tray.php?token=";
    bool fits = AppendText(page, sizeof page, token) &&
                AppendText(page, sizeof page, action == PageActionAllPages ? "&action=2" : "&action=3");
    return fits && ComposeServerPageAddress(Secure(), Host(), Port(), Directory(), page, out, capacity);
}
