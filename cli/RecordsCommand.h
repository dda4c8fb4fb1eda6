// `veltrin-cli records list|show|export|import|sync`: the test records of the chosen store.
#pragma once

#include "CliArgs.h"
#include "RecordStore.h"

#include <set>
#include <string>

class CliContext;

extern const char* const kRecordsUsage;
// The options of the records command (a function, as the command table is built at start-up).
const std::set<std::string>& RecordsCommandOptions();

int RunRecords(CliContext& c);
// The filters of `records list` from the command line; a bad value is a usage error.
RecordFilter RecordFilterFromArgs(const CliArgs& args);
