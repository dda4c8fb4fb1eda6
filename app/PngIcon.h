// Icons made of PNG pictures that are read only when drawn, each read as PNG.
#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// An icon from PNG files (resource paths included), one per size. A picture is read the first time the
// icon is drawn at a size it suits; the icon is null when none of the files exists. Reading them as PNG
// keeps the image reader from guessing the format, which loads every image format plugin (and the
// libraries behind them) first.
QIcon PngIcon(const QList<QString>& files);

// A PNG file read as PNG, without the format being guessed; null when it cannot be read.
QPixmap ReadPng(const QString& file);
