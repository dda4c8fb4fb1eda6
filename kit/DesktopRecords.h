// Where the desktop program keeps and reads test records: the store VELTRIN_RECORDS names or the default
// one, the station (VELTRIN_STATION or the host name) and the operator (VELTRIN_OPERATOR or the login name).
#pragma once

#include "RecordKeeper.h"

#include <optional>

// The store, or nothing with the reason in `error` (a URL that does not parse, or "none").
std::optional<StoreUrl> ProgramStoreUrl(QString* error);
// The settings of records the program writes; nothing with the reason in `error` as above.
std::optional<RecordSettings> ProgramRecordSettings(QString* error);
