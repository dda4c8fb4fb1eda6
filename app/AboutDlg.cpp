// The About box.
#include "AboutDlg.h"
#include "PngIcon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

QIcon ProgramIcon() {
    QList<QString> files;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files.append(QStringLiteral(":/veltrin/icons/hicolor/%1x%1/apps/veltrin-test.png").arg(size));
    return PngIcon(files);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("О программе"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    // about@2x.png is the same picture for screens of twice the density.
    const QIcon about = PngIcon({QStringLiteral(":/veltrin/about.png"), QStringLiteral(":/veltrin/about@2x.png")});
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
