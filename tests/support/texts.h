// What the user reads: the tray tooltips and the texts of the failure boxes, exactly as shipped.
#pragma once

inline const char kNotSignedIn[] = "Pagewren - Not Signed In";
inline const char kSigningIn[] = "Pagewren - Signing In...";
inline const char kSignedIn[] = "Pagewren - Signed In";
inline const char kError[] = "Pagewren - Error";
inline const char kReconnecting[] = "Pagewren - Reconnecting...";
inline const char kUnknown[] = "An unknown error occured.";
inline const char kInvalid[] = "Invalid server response.";
inline const char kTimestamp[] =
    "A timestamp error occured. Please make sure your system time is correct and then retry.";
inline const char kRejected[] =
    "Pagewren could not sign in.\r\nPlease double click the Pagewren tray icon or select \"Sign In\"\r\n"
    "from the tray menu to retry.";
inline const char kConnectFailed[] = "Pagewren could not connect to the server.";
inline const char kProxyAsks[] = "Your network's proxy server asks you to sign in.";
inline const char kIdentityUnverified[] =
    "Pagewren could not verify the server's identity, so it did not send your e-mail address and password.\r\n"
    "Please check that your computer's date and time are correct, or ask your administrator about the server's "
    "certificate.";
