// A real squid that asks for Basic credentials, started through the reference server, and this
// test prefix's Windows proxy setting pointed at it for one test and removed after it.
#pragma once

#include "support/kept_credentials.h"
#include "support/refserver_control.h"

#include <windows.h>
#include <wininet.h>

#include <string>

const char kProxyUser[] = "proxy-user";
const char kProxyPassword[] = "proxy-secret";

// Sets a value of the Internet settings key or of its subkey to bytes, or deletes it for none.
inline bool SetInternetSetting(const char* subkey, const char* name, DWORD type, const std::string* bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER,
                        (std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings") + subkey).c_str(),
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return false;
    const bool set = bytes ? !RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes->data()),
                                             DWORD(bytes->size()))
                           : (RegDeleteValueA(key, name), true);
    RegCloseKey(key);
    return set;
}

inline std::string LoopbackProxy(int port) { return "127.0.0.1:" + std::to_string(port); }

// Points the Windows proxy setting at 127.0.0.1:port, or removes it for port 0; WinINet in this
// process reads it again.
inline bool UseProxy(int port) {
    const DWORD enable = 1;
    const std::string on(reinterpret_cast<const char*>(&enable), sizeof enable);
    const std::string server = LoopbackProxy(port) + '\0';
    const bool set = SetInternetSetting("", "ProxyEnable", REG_DWORD, port ? &on : nullptr) &&
                     SetInternetSetting("", "ProxyServer", REG_SZ, port ? &server : nullptr);
    InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    InternetSetOptionA(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
    return set;
}

// Names script, a proxy auto-configuration address, in Windows' connection settings beside the
// proxy of port 0 or more, or takes it out for an empty script. Windows' own layout: version,
// counter, flags, then proxy, bypass list and script address, each a length and its bytes.
// Wine's WinINet never runs the script for its requests, but WinHTTP's engine does.
inline bool UseProxyScript(const std::string& script, int port) {
    std::string blob;
    auto number = [&](DWORD value) { blob.append(reinterpret_cast<const char*>(&value), sizeof value); };
    number(0x46), number(1), number(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_PROXY_URL);
    for (const std::string& text : {LoopbackProxy(port), std::string(), script}) number(DWORD(text.size())), blob += text;
    blob.append(32, '\0');
    return SetInternetSetting("\\Connections", "DefaultConnectionSettings", REG_BINARY, script.empty() ? nullptr : &blob);
}

// Starts a squid that lets through only requests signed in as the proxy user, and logs their
// headers, and makes it this prefix's proxy; its port, or 0.
inline int StartProxy() {
    const std::string config =
        "http_port 127.0.0.1:@PORT@\npid_filename none\naccess_log stdio:@DIR@/access.log\n"
        "cache_log @DIR@/cache.log\ncache_store_log none\ncache deny all\nvisible_hostname pagewren-test\n"
        "shutdown_lifetime 0 seconds\nlog_mime_hdrs on\nauth_param basic program /usr/lib/squid/basic_ncsa_auth @DIR@/passwd\n"
        "auth_param basic realm pagewren-test\nacl signed proxy_auth REQUIRED\nhttp_access allow signed\n"
        "http_access deny all\n";
    std::string port;
    if (!ControlServer("proxy?user=" + std::string(kProxyUser) + "&password=" + kProxyPassword +
                       "&config=" + HexBytes(config, "%"), &port))
        return 0;
    return UseProxy(atoi(port.c_str())) ? atoi(port.c_str()) : 0;
}

// "Pagewren proxy:host:port", the target the program keeps the proxy's credentials under.
inline std::string ProxyTarget(int port, const char* host) {
    return std::string("Pagewren proxy:") + host + ":" + std::to_string(port);
}

// The squid as this prefix's proxy for one test's scope; the setting and any credential kept for
// it go with the scope, so that other tests run without a proxy.
struct ProxyInUse {
    int port = StartProxy();
    ~ProxyInUse() {
        (void)UseProxyScript("", 0);
        (void)UseProxy(0);
        for (const char* host : {"127.0.0.1", "localhost"})
            (void)CredDeleteW(Widened(ProxyTarget(port, host)).c_str(), CRED_TYPE_GENERIC, 0);
    }
};
