// The About box.
#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        // Read as what they are: a reader left to guess the format loads every image format plugin first
        // (and the libraries behind them), which the start-up would wait for.
        QImageReader reader(QStringLiteral(":/veltrin/icons/hicolor/%1x%1/apps/veltrin-test.png").arg(size),
                            QByteArrayLiteral("png"));
        reader.setAutoDetectImageFormat(false);
        const QImage picture = reader.read();
        if (!picture.isNull())
            icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("О программе"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    // about@2x.png is the same picture for screens of twice the density.
    QIcon about;
    about.addFile(QStringLiteral(":/veltrin/about.png"), QSize(120, 200));
    about.addFile(QStringLiteral(":/veltrin/about@2x.png"), QSize(240, 400));
    picture->setPixmap(about.pixmap(QSize(120, 200), devicePixelRatioF()));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(ProgramIcon().pixmap(QSize(48, 48), devicePixelRatioF()));

    auto* texts = new QVBoxLayout;
    texts->addWidget(icon);
    for (const QString& text : {QStringLiteral("Программа тестирования"), QStringLiteral("четырех-канальной платы"),
                                QStringLiteral("Version " VELTRIN_VERSION)}) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("aboutText"));
        texts->addWidget(label);
    }
    texts->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("aboutButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    texts->addWidget(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picture);
    layout->addLayout(texts);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
