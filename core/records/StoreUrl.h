// Where records are kept: the store a URL names (a path, sqlite:PATH, postgresql://user@host:port/db or
// none), the default store under the user's data folder and the spool beside it.
#pragma once

#include <QString>

#include <optional>

struct StoreUrl {
    enum class Kind { None, Sqlite, Postgres } kind = Kind::Sqlite;
    QString path; // SQLite: the file
    // PostgreSQL: what the URL gives; an empty part is left to the client library's own defaults
    // (PGHOST, PGUSER, ...).
    QString user;
    QString password;
    QString host;
    int port = -1;
    QString database;
    QString text; // as given, without a password, for messages

    bool operator==(const StoreUrl&) const = default;
};

// The URL's store, or nothing with the reason in `error`.
std::optional<StoreUrl> ParseStoreUrl(const QString& text, QString* error);

// The folder of the default store and the spool: $XDG_DATA_HOME/VeltrinTest (~/.local/share/VeltrinTest).
QString RecordsDataFolder();
StoreUrl DefaultStoreUrl();
QString DefaultSpoolPath();
