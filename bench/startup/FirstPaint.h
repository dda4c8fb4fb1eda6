// The start-up benchmark's hooks in a launched program: the line it waits for, and what comes after the
// first paint.
#pragma once

class QWidget;

// Prints `line` on standard output at once.
void Report(const char* line);
// Defined by each launched program: called once the first paint of `window` has been reported; it ends
// the process with std::_Exit when it has nothing more to report.
void WhenPainted(QWidget* window);
