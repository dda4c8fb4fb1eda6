// The desktop program's records settings from its environment, as the command line reads them.
#include "DesktopRecords.h"

std::optional<StoreUrl> ProgramStoreUrl(QString* error) {
    const QString text = qEnvironmentVariable("VELTRIN_RECORDS");
    if (text.isEmpty())
        return DefaultStoreUrl();
    QString why;
    std::optional<StoreUrl> url = ParseStoreUrl(text, &why);
    if (!url) {
        if (error)
            *error = QStringLiteral("VELTRIN_RECORDS: %1").arg(why);
        return std::nullopt;
    }
    if (url->kind == StoreUrl::Kind::None) {
        if (error)
            *error = QStringLiteral("VELTRIN_RECORDS is \"none\": no records are kept on this station");
        return std::nullopt;
    }
    return url;
}

std::optional<RecordSettings> ProgramRecordSettings(QString* error) {
    std::optional<StoreUrl> url = ProgramStoreUrl(error);
    if (!url)
        return std::nullopt;
    RecordSettings settings;
    settings.defaultStore = qEnvironmentVariable("VELTRIN_RECORDS").isEmpty();
    settings.store = *url;
    settings.station = qEnvironmentVariable("VELTRIN_STATION");
    if (settings.station.isEmpty())
        settings.station = DefaultStation();
    settings.operatorName = qEnvironmentVariable("VELTRIN_OPERATOR");
    if (settings.operatorName.isEmpty())
        settings.operatorName = DefaultOperator();
    settings.version = QStringLiteral(VELTRIN_KIT_VERSION);
    return settings;
}
