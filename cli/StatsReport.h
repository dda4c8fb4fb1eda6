// The process statistics as one self-contained HTML page: no script, no external reference, the charts
// inline SVG, so it opens from a mail attachment.
#pragma once

#include "StatsCommand.h"

#include <string>

// `store` names where the records came from.
std::string StatsReportHtml(const StatsFigures& figures, const std::string& store);
