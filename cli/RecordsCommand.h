// `veltrin-cli records list|show|export|import|sync`: the test records of the chosen store.
#pragma once

#include <set>
#include <string>

class CliContext;

extern const char* const kRecordsUsage;
// The options of the records command (a function, as the command table is built at start-up).
const std::set<std::string>& RecordsCommandOptions();

int RunRecords(CliContext& c);
