// CPageDlg: the base of every board page. A page never closes or hides itself on Esc or Enter.
#pragma once

#include <QWidget>

class CPageDlg : public QWidget {
    Q_OBJECT
public:
    explicit CPageDlg(QWidget* parent = nullptr);

    // The page's opening, run once by the board dialog after construction. False means the page
    // ended itself (the board did not answer): its tab stays and shows nothing.
    virtual bool OnInitDialog() { return true; }
    // Run by the board dialog on every page before it destroys any: a page ends its background work here
    // while all widgets still exist. Pages call it from their destructor too; it must be safe to repeat.
    virtual void Shutdown() {}

protected:
    // Esc calls this; every page's cancel action does nothing.
    virtual void OnCancel() {}
    void keyPressEvent(QKeyEvent* event) override;
};
