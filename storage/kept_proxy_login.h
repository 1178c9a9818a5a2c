// A proxy's user name and password as Windows keeps them for this program: a generic
// credential of this computer under "Pagewren proxy:" + the proxy's "host:port", the proxy user
// its user name, the password its blob in UTF-16. They belong to the network, not to the
// service's account, so signing out leaves them.
#pragma once

#include <windows.h>
#include <stddef.h>

// "Pagewren proxy:" + proxy into target; false when it does not fit capacity (with the NUL).
bool ProxyLoginTarget(const wchar_t* proxy, wchar_t* target, size_t capacity);
// Keeps user and password for proxy; false when Windows refuses.
bool KeepProxyLogin(const wchar_t* proxy, const wchar_t* user, const wchar_t* password);
// Reads what is kept for proxy into user and password, each cut to its capacity; false when
// nothing is kept or it is empty.
bool ReadKeptProxyLogin(const wchar_t* proxy, wchar_t* user, size_t userCapacity, wchar_t* password,
                        size_t passwordCapacity);
// Deletes what is kept for proxy; true also when nothing was.
bool ForgetKeptProxyLogin(const wchar_t* proxy);
