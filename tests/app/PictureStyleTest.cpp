// The program's style draws Fusion's group box frames and tool bar arrows exactly as Fusion does, and
// does so without loading an image format plugin (which Fusion's own reading of them does).
#include "PictureStyle.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct BoxCase {
    const char* title;
    bool checkable;
    bool checked;
    bool flat;
    Qt::LayoutDirection direction;
};

const BoxCase kBoxes[] = {
    {"", false, false, false, Qt::LeftToRight},    {"Memory list", false, false, false, Qt::LeftToRight},
    {"", true, true, false, Qt::LeftToRight},      {"Watchdog", true, false, false, Qt::LeftToRight},
    {"Flat", false, false, true, Qt::LeftToRight}, {"Справа налево", true, true, false, Qt::RightToLeft},
};

QImage DrawBox(QStyle* style, const BoxCase& c) {
    QWidget window;
    window.setStyle(style);
    window.setLayoutDirection(c.direction);
    auto* box = new QGroupBox(QString::fromUtf8(c.title), &window);
    box->setStyle(style);
    box->setCheckable(c.checkable);
    box->setChecked(c.checked);
    box->setFlat(c.flat);
    (new QVBoxLayout(box))->addWidget(new QLabel(QStringLiteral("0x7500"), box));
    (new QVBoxLayout(&window))->addWidget(box);
    window.resize(260, 140);
    return window.grab().toImage();
}

QIcon Arrow(QStyle* style, QStyle::StandardPixmap which, Qt::LayoutDirection direction) {
    QStyleOption option;
    option.direction = direction;
    return style->standardIcon(which, &option);
}

bool ImageFormatPluginLoaded() {
#ifdef Q_OS_LINUX
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
#else
    return false;
#endif
}

} // namespace

TEST(PictureStyle, DrawsAsFusionDoesWithoutLoadingAnImageFormatPlugin) {
    ASSERT_FALSE(ImageFormatPluginLoaded()) << "loaded before the test began";
    auto* picture = new CPictureStyle(QStyleFactory::create(QStringLiteral("fusion")));
    QApplication::setStyle(picture); // as the program does; the menu bar below asks the application's style
    std::vector<QImage> drawn;
    for (const BoxCase& c : kBoxes)
        drawn.push_back(DrawBox(picture, c));
    const QMenuBar menu; // asks for the extension arrow as it is made
    const QStyle::StandardPixmap arrows[] = {QStyle::SP_ToolBarHorizontalExtensionButton,
                                             QStyle::SP_ToolBarVerticalExtensionButton};
    const Qt::LayoutDirection directions[] = {Qt::LeftToRight, Qt::RightToLeft};
    const int sizes[] = {5, 8, 10, 12, 16, 20, 24, 32, 48};
    std::vector<QImage> arrowPictures;
    for (auto which : arrows)
        for (auto direction : directions)
            for (int size : sizes)
                arrowPictures.push_back(Arrow(picture, which, direction).pixmap(size, size).toImage());
    EXPECT_FALSE(ImageFormatPluginLoaded());

    // Fusion itself now (it may load the plugins).
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
    for (size_t i = 0; i < std::size(kBoxes); ++i)
        EXPECT_EQ(drawn[i], DrawBox(fusion.get(), kBoxes[i])) << "group box " << i << " '" << kBoxes[i].title << "'";
    size_t n = 0;
    for (auto which : arrows)
        for (auto direction : directions)
            for (int size : sizes) {
                const QIcon own = Arrow(fusion.get(), which, direction);
                EXPECT_EQ(arrowPictures[n++], own.pixmap(size, size).toImage())
                    << "arrow " << which << " direction " << direction << " size " << size;
            }
}

TEST(PictureStyle, LeavesOtherStylesAlone) {
    const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("windows")));
    if (!windows)
        GTEST_SKIP() << "no Windows style in this Qt";
    CPictureStyle picture(QStyleFactory::create(QStringLiteral("windows")));
    EXPECT_EQ(DrawBox(&picture, kBoxes[1]), DrawBox(windows.get(), kBoxes[1]));
}
