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
    // The closing steps. The window takes each step on every page of every board before the next, so
    // pages hung in a driver end together within one page's bound. Each must be safe to repeat or skip.
    // Step one: the page asks its background work to stop and returns at once.
    virtual void BeginShutdown() {}
    // Step two: after a short grace (at most a third of a second from step one) background work still in
    // a device request has it cancelled.
    virtual void CancelStuckRequests() {}
    // Run by the board dialog on every page before it destroys any: a page ends its background work here
    // while all widgets still exist, taking the steps above not yet taken. Pages call it from their
    // destructor too.
    virtual void Shutdown() {}
    // True after Shutdown when background work hung in a driver was left running (it was named on
    // standard error): the driver library it may be in must then stay loaded.
    virtual bool LeftWorkBehind() const { return false; }

protected:
    // Esc calls this; every page's cancel action does nothing.
    virtual void OnCancel() {}
    void keyPressEvent(QKeyEvent* event) override;
};
