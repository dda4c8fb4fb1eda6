// Program start-up and its command line.
#include "TestApp.h"

#include "AboutDlg.h"
#include "DriverLibrary.h"
#include "DriverLocation.h"
#include "MainDlg.h"
#include "PictureStyle.h"
#include "Prompts.h"
#include "Screenshots.h"
#include "Settings.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace {

// In a --screenshot run nobody can answer a dialog: messages go to standard error, file dialogs cancel.
class ConsolePrompts final : public IPrompts {
public:
    void Message(QWidget*, const QString& text, const QString& caption, PromptIcon) override {
        std::fprintf(stderr, "veltrin-test: %s: %s\n", qPrintable(caption), qPrintable(text));
    }
    QString ChooseFile(QWidget*, bool, const QStringList&) override { return {}; }
};

// A path as the system's loader takes it: in the local 8-bit encoding of file names, which on Windows is
// the code page that LoadLibraryA reads (and in which the machine-wide setting's length was measured).
std::string LibraryPathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::unique_ptr<CDriverLibrary> LoadNamedLibrary(const QString& path, const char* what) {
    if (path.isEmpty()) {
        std::fprintf(stderr, "veltrin-test: %s not found; using the kernel driver alone\n", what);
        return nullptr;
    }
    std::string why;
    auto library = LoadDriverLibrary(LibraryPathBytes(QFileInfo(path).absoluteFilePath()), &why);
    if (!library)
        std::fprintf(stderr, "veltrin-test: cannot load %s %s: %s; using the kernel driver alone\n", what,
                     qPrintable(path), why.c_str());
    return library;
}

} // namespace

int CTestApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    QApplication::setApplicationVersion(QString::fromLatin1(VELTRIN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Test and service utility for the KVR telephony and audio boards."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption libraryOption(QStringLiteral("driver-library"),
                                           QStringLiteral("Reach the boards through the driver library at <path>."),
                                           QStringLiteral("path"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Use the bundled board simulator (demo boards)."));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Show every board and page in turn, save each as a PNG file in <dir>, then exit."),
        QStringLiteral("dir"));
    parser.addOptions({libraryOption, demoOption, screenshotOption});
    parser.process(app);
    if (parser.isSet(libraryOption) && parser.isSet(demoOption)) {
        std::fprintf(stderr, "veltrin-test: --driver-library and --demo exclude each other\n");
        return 2;
    }
    const bool screenshots = parser.isSet(screenshotOption);
    // Fusion's frame and arrow pictures read as PNG: the first window loads no image format plugin.
    QApplication::setStyle(new CPictureStyle);

    // A batch screenshot run is not a second interactive instance; it skips the check.
    CSingleInstance instance(CSingleInstance::DefaultName());
    if (!screenshots) {
        switch (instance.Claim()) {
        case CSingleInstance::Role::First:
            break;
        case CSingleInstance::Role::Second:
            return 0; // the running instance has brought its window forward
        case CSingleInstance::Role::Unguarded:
            std::fprintf(stderr, "veltrin-test: %s; starting without the single-instance check\n",
                         qPrintable(instance.LockProblem()));
            break;
        }
    }

    const QIcon icon = ProgramIcon();
    if (icon.isNull())
        return 0;
    QApplication::setWindowIcon(icon);
    QApplication::setOrganizationName(QString::fromLatin1(kSettingsKey));

    CMainDlg::LibraryLoader loader;
    if (parser.isSet(libraryOption)) {
        const QString path = parser.value(libraryOption);
        loader = [path] { return LoadNamedLibrary(path, "driver library"); };
    } else if (parser.isSet(demoOption)) {
        loader = [] { return LoadNamedLibrary(BundledSimulatorPath(), "bundled board simulator"); };
    } else {
        loader = [] {
            const QString path = InstalledDriverLibraryPath();
            return path.isEmpty() ? nullptr : LoadDriverLibrary(LibraryPathBytes(path));
        };
    }

    ConsolePrompts console;
    if (screenshots)
        SetPrompts(&console);

    int result = 0;
    {
        CMainDlg window(icon, loader);
        QObject::connect(&instance, &CSingleInstance::activationRequested, &window, [&window] {
            window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
            window.show();
            window.raise();
            window.activateWindow();
        });
        // An interactive window paints before the boards after the first are built; screenshots want all.
        if (window.OnInitDialog(screenshots ? CMainDlg::Rest::Now : CMainDlg::Rest::AfterFirstPaint)) {
            if (screenshots) {
                const int written = TakeScreenshots(window, parser.value(screenshotOption));
                if (written < 0) {
                    std::fprintf(stderr, "veltrin-test: cannot create the folder %s\n",
                                 qPrintable(parser.value(screenshotOption)));
                    result = 1;
                }
            } else {
                // Requests to come forward wait until the window is shown by exec.
                QTimer::singleShot(0, &instance, &CSingleInstance::AcceptRequests);
                window.exec();
            }
        }
    } // boards, pages and devices are released here, then the driver library
    SetPrompts(nullptr);
    return result;
}
