// veltrin-cli analyse: the audio figures of a recording or sound file, checked against optional limits.
#pragma once

#include "CliCommands.h"

int RunAnalyse(CliContext& c);
