// The program's test records part (the "Test records" window and the writing of records) lives in a
// module loaded on first use: it stands on Qt's SQL and SVG modules, which the first window never needs.
#pragma once

#include "RecordKeeper.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

class IPrompts;
class QWidget;

class IRecordsModule {
public:
    // The store the environment names (VELTRIN_RECORDS, or the default one); nothing with the reason.
    virtual std::optional<StoreUrl> ProgramStore(QString* error) = 0;
    // The settings of the records the program writes; nothing with the reason, as above.
    virtual std::optional<RecordSettings> ProgramSettings(QString* error) = 0;
    // Writes `record` to the store of `settings` or to its spool, uploading spooled ones for at most
    // `syncBound` first; blocks, so a caller with a window calls it from a thread of its own. Never throws.
    virtual KeepResult Keep(const RecordSettings& settings, TestRecord& record,
                            std::chrono::milliseconds syncBound) = 0;
    // The "Test records" window on `store`, starting with the runs of `board` (every board when empty).
    virtual QWidget* MakeWindow(const StoreUrl& store, std::optional<uint32_t> board, QWidget* parent) = 0;
    // The window as the screenshots show it, shown and settled for `settleMs`: a board's runs, the newest
    // chosen and its first step's charts, on the store the environment names or else on seeded sample
    // records in a temporary folder the window removes as it goes. Null, said on standard error, when it
    // cannot.
    virtual QWidget* MakePictureWindow(int settleMs) = 0;

protected:
    ~IRecordsModule() = default;
};

// The module, loaded on the first call from next to the program or from its installed modules folder;
// null with the reason in `error` when it cannot be loaded. It stays loaded for the rest of the run.
IRecordsModule* RecordsModule(QString* error);

// What the module exports: given the function that yields the program's prompts in force, its records part.
using RecordsModuleEntry = IRecordsModule* (*)(IPrompts& (*prompts)());
inline constexpr char kRecordsModuleEntry[] = "veltrin_records_module";
