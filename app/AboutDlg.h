// The About box: picture, icon, the program's texts and an OK button.
#pragma once

#include <QDialog>
#include <QIcon>

// The program's icon with every size it is drawn at; the window and the About box pick the one that
// suits the screen's pixel density.
QIcon ProgramIcon();

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
