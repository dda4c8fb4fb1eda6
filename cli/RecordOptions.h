// The record-keeping options of veltrin-cli (--records, --station, --operator, --mode, with their
// environment variables) and the two calls a testing command makes: open the store before any board is
// touched, and keep each board's record at the end of its run.
#pragma once

#include "CliArgs.h"
#include "RecordKeeper.h"

#include <memory>
#include <set>

// The options every testing command accepts for its records.
const std::set<std::string>& RecordOptionNames();

// The settings from the command line, else VELTRIN_RECORDS, VELTRIN_STATION, VELTRIN_OPERATOR, else the
// defaults (the per-user store, the host name, the login name, production). A bad URL or mode is a
// usage error.
RecordSettings RecordSettingsFromArgs(const CliArgs& args);

// Opens and checks the store before any board is touched. A store that is not a records store or is of
// a newer schema, or a store that is away with a spool that cannot be used either, ends the run with
// exit 3 (CliError). A store that is away with a usable spool is accepted: records will be spooled.
std::unique_ptr<CRecordKeeper> OpenRecordsBeforeBoards(const CliArgs& args);

// Keeps one board's record (see CRecordKeeper::Keep): a spooled record is said on standard error; a record
// neither the store nor the spool took is said too, and the caller ends the run with exit 3 (kExitDevice)
// whatever the board's outcome, as a board without a record must not pass as tested.
KeepResult StoreRecord(CRecordKeeper& keeper, TestRecord& record);
