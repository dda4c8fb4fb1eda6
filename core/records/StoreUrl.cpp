// Store URLs and the default places of the store and the spool.
#include "StoreUrl.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

std::optional<StoreUrl> ParseStoreUrl(const QString& text, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("records store \"%1\": %2").arg(text, why);
        return std::nullopt;
    };
    StoreUrl url;
    url.text = text;
    if (text.isEmpty())
        return fail(QStringLiteral("empty"));
    if (text == QLatin1String("none")) {
        url.kind = StoreUrl::Kind::None;
        return url;
    }
    if (text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"))) {
        const QUrl u(text, QUrl::StrictMode);
        if (!u.isValid() || !u.query().isEmpty() || !u.fragment().isEmpty())
            return fail(QStringLiteral("not a valid postgresql://user@host:port/db URL"));
        url.kind = StoreUrl::Kind::Postgres;
        url.user = u.userName();
        url.password = u.password();
        url.host = u.host();
        url.port = u.port(-1);
        url.database = u.path().mid(1);
        if (url.database.contains(QLatin1Char('/')))
            return fail(QStringLiteral("the database name has a \"/\""));
        if (!url.password.isEmpty()) {
            QUrl shown = u;
            shown.setPassword(QString());
            url.text = shown.toString();
        }
        return url;
    }
    if (text.startsWith(QLatin1String("sqlite:"))) {
        url.path = text.mid(7);
        if (url.path.isEmpty())
            return fail(QStringLiteral("no file after \"sqlite:\""));
    } else if (text.contains(QLatin1String("://"))) {
        return fail(QStringLiteral("neither a path, sqlite:PATH, postgresql://... nor none"));
    } else {
        url.path = text;
    }
    url.kind = StoreUrl::Kind::Sqlite;
    return url;
}

QString RecordsDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/VeltrinTest");
}

StoreUrl DefaultStoreUrl() {
    StoreUrl url;
    url.kind = StoreUrl::Kind::Sqlite;
    url.path = RecordsDataFolder() + QStringLiteral("/records.sqlite");
    url.text = url.path;
    return url;
}

QString DefaultSpoolPath() { return RecordsDataFolder() + QStringLiteral("/spool.sqlite"); }
