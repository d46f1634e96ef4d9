#pragma once

#include <QString>

#include <functional>

namespace store {

inline constexpr char16_t kStoreFileName[] = u"SMSGateway.mdb";
inline constexpr char16_t kStoreKey[] = u"morvik";

// Where the store file lives: beside the program when that folder is writable (a portable
// copy), otherwise in the user's data folder (a system install under /usr).
struct StoreLocation
{
    QString appDir;
    QString xdgDataHome;                               // empty: $HOME/.local/share
    QString installBinDir;                             // the installed program's folder is never used for data
    std::function<bool(const QString&)> isWritableDir; // empty: a real write test

    QString storeDir() const;
    QString storePath() const;
};

// True when a file can really be created in dir (root ignores permission bits, and a
// read-only mount is only found out by trying).
bool canCreateFilesIn(const QString& dir);

} // namespace store
