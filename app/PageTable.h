// Which pages a board gets, by its type code, with their tab texts, in tab order.
#pragma once

#include "PageContext.h"

#include <QString>

#include <vector>

struct PageEntry {
    const char* page; // the page's class name, for tests and diagnostics
    QString tabText;
    PageFactory create; // null while the page is not part of this build
};

// The pages for a type code (its low 16 bits), including those not built, in tab order.
std::vector<PageEntry> PagesFor(uint32_t type);
