// The channel group both streaming pages build on: names read by assistive tools, which controls a
// running channel locks, the buffer figures, and the form the page's own controls join.
#include "ChannelGroup.h"

#include "LevelMeter.h"
#include "StreamWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <random>

namespace {

ChannelLook Look(bool playing, bool peak) {
    ChannelLook look;
    look.title = QStringLiteral("Side");
    look.prefix = QStringLiteral("side");
    look.fileSpoken = QStringLiteral("file");
    look.sine = playing;
    look.totals = playing;
    look.slashedTotals = peak;
    look.peak = peak;
    look.muteText = QStringLiteral("Mute");
    look.value = {"ValueText", {}, QStringLiteral("value"), QStringLiteral("-100.0")};
    look.count = {"Count", QStringLiteral("Count"), QStringLiteral("count"), kLongestCount};
    look.time = {"Time", QStringLiteral("Time"), QStringLiteral("time"), kLongestTime};
    look.buffer = {FigureLook{"Length", {}, QStringLiteral("length"), kLongestCount},
                   FigureLook{"Space", {}, QStringLiteral("space"), kLongestCount, 1, 2}};
    look.meterSpoken = QStringLiteral("meter");
    look.levelSpoken = QStringLiteral("level");
    return look;
}

} // namespace

TEST(ChannelGroup, NamesRunningStateAndBufferFiguresForEveryKindOfChannel) {
    struct Case {
        bool playing;
        bool peak;
        const char* space; // the second buffer figure after ShowBuffer(512, 100, 40)
    };
    for (const Case c : {Case{true, true, "100 / 40"}, Case{true, false, "100"}, Case{false, false, "100"}}) {
        QWidget page;
        auto* group = new CChannelGroup(Look(c.playing, c.peak), &page);
        auto* option = new QCheckBox(group);
        auto* extra = new QPushButton(group);
        group->AddIdleControl(option);
        group->LayOut({.optionLeft = option, .optionRight = new QCheckBox(group), .besideBuffer = extra});
        ASSERT_TRUE(group->AttachMeter());

        EXPECT_EQ(group->objectName(), QStringLiteral("sideGroup"));
        EXPECT_EQ(group->start->accessibleName(), QStringLiteral("Side Start"));
        EXPECT_EQ(group->meter->accessibleName(), QStringLiteral("Side meter"));
        EXPECT_EQ(page.findChild<QLineEdit*>(QStringLiteral("sideSineFreq")) != nullptr, c.playing);
        EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("sideTotalCount")) != nullptr, c.playing);
        EXPECT_TRUE(group->progress->accessibleName().isEmpty()) << "no spoken name given, none made up";

        // Any sequence of running states leaves exactly the idle controls locked while running.
        std::mt19937 random(static_cast<unsigned>(c.playing * 2 + c.peak));
        for (int step = 0; step < 20; ++step) {
            const bool running = random() % 2 != 0;
            group->SetRunning(running);
            std::vector<QWidget*> idle = {group->file, group->fileName, group->rate, group->start, option};
            if (c.playing)
                idle.insert(idle.end(), {group->sine, group->sineFreq, group->sineAmpl});
            for (QWidget* w : idle)
                EXPECT_EQ(w->isEnabled(), !running) << w->objectName().toStdString() << " step " << step;
            EXPECT_EQ(group->stop->isEnabled(), running);
            EXPECT_TRUE(group->mute->isEnabled() && group->slider->isEnabled() && extra->isEnabled());
        }

        group->ShowBuffer(512, 100, 40);
        EXPECT_EQ(group->buffer[0]->text(), QStringLiteral("512"));
        EXPECT_EQ(group->buffer[1]->text(), QLatin1String(c.space));
    }
}
