// Mnemonics chosen from the texts' own letters: which letter, and the texts that keep none.
#include "Mnemonics.h"

#include <gtest/gtest.h>

TEST(Mnemonics, TheFirstFreeWordStartThenAnyFreeLetterIsMarked) {
    const struct {
        const char* text;
        const char* taken;
        const char* marked;
    } cases[] = {
        {"Start address :", "", "&Start address :"},
        {"Read and Write", "R", "Read &and Write"},
        {"Read and Write", "RAW", "R&ead and Write"},
        {"start", "S", "s&tart"}, // letters are taken whatever their case
        {"Write ID", "WI", "W&rite ID"},
        {"0x7500 :", "", "&0x7500 :"},
        {"Load & go", "", "Load & go"}, // a text with its own "&" stays as it is
        {"Sin", "SIN", "Sin"},          // no free letter
        {": /", "", ": /"},
    };
    for (const auto& c : cases) {
        QSet<QChar> taken;
        for (const char* t = c.taken; *t; ++t)
            taken.insert(QChar::fromLatin1(*t));
        const QString marked = WithMnemonic(QString::fromUtf8(c.text), taken);
        EXPECT_EQ(marked, QString::fromUtf8(c.marked)) << c.text << " / " << c.taken;
        const qsizetype at = marked.indexOf(QLatin1Char('&'));
        if (marked != QString::fromUtf8(c.text)) {
            EXPECT_TRUE(taken.contains(marked[at + 1].toUpper())) << c.text;
        }
    }
    QSet<QChar> taken{QChar(0x0414)}; // Д
    EXPECT_EQ(WithMnemonic(QString::fromUtf8("Далее"), taken), QString::fromUtf8("Д&алее"));
}

TEST(Mnemonics, AChangingTextKeepsItsLetterWhenItStillHasIt) {
    const struct {
        const char* before;
        const char* after;
        const char* marked;
    } cases[] = {
        {"&Hook up", "Hook down", "&Hook down"},
        {"S&tart WDT", "Stop WDT", "S&top WDT"},
        {"Start &WDT", "Stop WDT", "Stop &WDT"},
        {"&Hook up", "Stop", "Stop"},          // the letter is gone: no mnemonic rather than a clash
        {"Hook up", "Hook down", "Hook down"}, // none before, none after
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeepMnemonic(QString::fromUtf8(c.before), QString::fromUtf8(c.after)), QString::fromUtf8(c.marked))
            << c.before;
}
