// Rendering every page to a PNG file (works on the offscreen platform).
#include "Screenshots.h"

#include "AboutDlg.h"
#include "CodecPage.h"
#include "MainDlg.h"
#include "RecordsModule.h"
#include "WaitForSignal.h"

#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString Slug(const QString& text) {
    QString slug = text.toLower();
    slug.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    slug.remove(QRegularExpression(QStringLiteral("^-+|-+$")));
    return slug.isEmpty() ? QStringLiteral("page") : slug;
}

bool Save(QWidget& widget, const QString& file) {
    if (widget.grab().save(file)) {
        std::fprintf(stdout, "%s\n", qPrintable(QDir::toNativeSeparators(file)));
        return true;
    }
    std::fprintf(stderr, "veltrin-test: cannot write %s\n", qPrintable(QDir::toNativeSeparators(file)));
    return false;
}

// The records window as the records module prepares it for its picture.
bool RecordsPicture(const QString& file, int settleMs) {
    QString error;
    IRecordsModule* records = RecordsModule(&error);
    if (!records) {
        std::fprintf(stderr, "veltrin-test: %s\n", qPrintable(error));
        return false;
    }
    const std::unique_ptr<QWidget> window(records->MakePictureWindow(settleMs));
    return window && Save(*window, file);
}

} // namespace

int TakeScreenshots(CMainDlg& window, const QString& dir, int settleMs) {
    if (!QDir().mkpath(dir))
        return -1;
    window.show();
    window.BuildRemainingBoards();
    int written = 0;
    for (int b = 0; b < window.BoardCount(); ++b) {
        window.Tabs()->setCurrentIndex(b);
        CBoardDlg* board = window.Board(b);
        for (int p = 0; p < board->Tabs()->count(); ++p) {
            board->Tabs()->setCurrentIndex(p);
            Settle(settleMs);
            const QString file = QDir(dir).filePath(
                QStringLiteral("board%1-%2-%3.png").arg(b).arg(p).arg(Slug(board->Tabs()->tabText(p))));
            if (Save(window, file))
                ++written;
        }
    }
    // The analyser of the first board's first codec line, with its input running so it shows a signal.
    CCodecPage* codec = nullptr;
    if (window.BoardCount() > 0) {
        for (CCodecPage* page : window.Board(0)->findChildren<CCodecPage*>())
            if (page->Line() == 0)
                codec = page;
    }
    if (codec) {
        codec->Start(CCodecPage::kInput);
        codec->OpenAnalyser();
        Settle(std::max(settleMs, 600));
        if (codec->Analyser() && Save(*codec->Analyser(), QDir(dir).filePath(QStringLiteral("analyser.png"))))
            ++written;
        if (codec->Analyser())
            codec->Analyser()->close();
        codec->Stop(CCodecPage::kInput);
    }
    // The About box too, so its pictures can be checked at any screen density.
    CAboutDlg about(&window);
    about.show();
    Settle(settleMs);
    if (Save(about, QDir(dir).filePath(QStringLiteral("about.png"))))
        ++written;
    about.close();
    if (RecordsPicture(QDir(dir).filePath(QStringLiteral("records.png")), settleMs))
        ++written;
    return written;
}
