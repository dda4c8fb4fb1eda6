// What the grid control tells an assistive tool: a table whose cells, column titles and current row can
// be read, and whose current row can be chosen.
#pragma once

class CGridBox;

// Registers the grid's accessible interface with Qt once; the grid's constructor calls it.
void InstallGridBoxAccessibility();
// Tells an active assistive tool that the current row moved (selection and, with focus, the focused cell).
void NotifyGridCurrentRow(CGridBox* grid);
