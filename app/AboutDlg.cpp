// The About box.
#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("О программе"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    picture->setPixmap(QPixmap(QStringLiteral(":/veltrin/about.png")));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QPixmap(QStringLiteral(":/veltrin/app-icon.png"))
                        .scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));

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
