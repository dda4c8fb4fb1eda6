// Record-keeping options with their environment fallbacks, and the calls around a testing command's run.
#include "RecordOptions.h"

#include "CliOutput.h"

const std::set<std::string>& RecordOptionNames() {
    static const std::set<std::string> names = {"records", "station", "operator", "mode"};
    return names;
}

namespace {

QString OptionOrEnvironment(const CliArgs& args, const char* option, const char* variable) {
    if (const auto value = args.Value(option))
        return QString::fromStdString(*value);
    return qEnvironmentVariable(variable);
}

} // namespace

RecordSettings RecordSettingsFromArgs(const CliArgs& args) {
    RecordSettings settings;
    const QString url = OptionOrEnvironment(args, "records", "VELTRIN_RECORDS");
    if (!url.isEmpty()) {
        QString error;
        const auto parsed = ParseStoreUrl(url, &error);
        if (!parsed)
            throw UsageError(error.toStdString());
        settings.store = *parsed;
        settings.defaultStore = false;
    }
    settings.station = OptionOrEnvironment(args, "station", "VELTRIN_STATION");
    if (settings.station.isEmpty())
        settings.station = DefaultStation();
    settings.operatorName = OptionOrEnvironment(args, "operator", "VELTRIN_OPERATOR");
    if (settings.operatorName.isEmpty())
        settings.operatorName = DefaultOperator();
    if (const auto mode = args.Value("mode")) {
        settings.mode = QString::fromStdString(*mode);
        if (!ValidMode(settings.mode))
            throw UsageError("--mode: \"" + *mode + "\" is neither production nor engineering");
    }
    settings.version = QStringLiteral(VELTRIN_VERSION);
    return settings;
}

std::unique_ptr<CRecordKeeper> OpenRecordsBeforeBoards(const CliArgs& args) {
    RecordSettings settings = RecordSettingsFromArgs(args);
    try {
        return std::make_unique<CRecordKeeper>(std::move(settings));
    } catch (const StoreError& error) {
        throw DeviceError(error.what());
    }
}

KeepResult StoreRecord(CRecordKeeper& keeper, TestRecord& record) {
    KeepResult result = keeper.Keep(record);
    if (result.kind == KeepResult::Kind::Spooled)
        Diagnostic(result.message.toStdString());
    else if (result.kind == KeepResult::Kind::Failed)
        Diagnostic("the record of this run is not kept: " + result.message.toStdString());
    return result;
}
