// The --screenshot run: shows every board tab and page tab in turn and saves each as a PNG.
#pragma once

#include <QString>

class CMainDlg;

// Saves DIR/board<N>-<tab>-<page>.png for every page, DIR/about.png for the About box and DIR/records.png for
// the "Test records" window; returns how many pictures were written, or -1 when the folder cannot be made. Each page
// runs for `settleMs` before its picture is taken.
int TakeScreenshots(CMainDlg& window, const QString& dir, int settleMs = 400);
