// A process that writes records, for the tests that kill writers or run several at once.
// records_writer write URL COUNT SEED   writes COUNT records of 40 steps (0: until killed); exit 0, 3 on error
// records_writer keep URL SPOOL SEED    keeps one record as a testing command does; exit 0 kept, 4 spooled,
//                                       3 neither store nor spool took it
#include "RecordKeeper.h"
#include "RecordsTestData.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 5)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const auto url = ParseStoreUrl(QString::fromLocal8Bit(argv[2]), nullptr);
    std::mt19937 rng(static_cast<unsigned>(std::atoi(argv[4])));
    if (!url)
        return 2;
    try {
        if (mode == QLatin1String("write")) {
            auto store = OpenRecordStore(*url);
            const long count = std::atol(argv[3]);
            for (long i = 0; count == 0 || i < count; ++i) {
                TestRecord r = records_test::RandomRecord(rng, 40);
                store->Write(r, false);
            }
            return 0;
        }
        RecordSettings settings;
        settings.store = *url;
        settings.defaultStore = false;
        settings.spoolPath = QString::fromLocal8Bit(argv[3]);
        settings.station = QStringLiteral("station");
        settings.operatorName = QStringLiteral("operator");
        CRecordKeeper keeper(settings);
        TestRecord r = records_test::RandomRecord(rng, 40);
        const KeepResult result = keeper.Keep(r);
        std::fprintf(stderr, "%s\n", qPrintable(result.message));
        std::printf("%s\n", qPrintable(r.runId));
        return result.kind == KeepResult::Kind::Kept ? 0 : result.kind == KeepResult::Kind::Spooled ? 4 : 3;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 3;
    }
}
