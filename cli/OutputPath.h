// Checks of a file a command is to write, made before anything is sent to a board: a folder, a missing
// folder or a file that may not be written is a usage error then, not a failure after the test.
#pragma once

#include <string>

// `option` names the option in the message ("--junit").
void CheckOutputPath(const std::string& option, const std::string& path);
