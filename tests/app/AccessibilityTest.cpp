// What an assistive tool finds on every page of every board model: a name for each control that holds its
// visible label, live figures read with their captions and values, the custom widgets' roles and values,
// and checkable page buttons that its toggle action drives like a click.
#include "DialDlg.h"
#include "DriverLibrary.h"
#include "GridBox.h"
#include "HookView.h"
#include "LevelMeter.h"
#include "LineSettingsDlg.h"
#include "MainDlg.h"
#include "PageDlg.h"
#include "PageFactories.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "SettingsSandbox.h"
#include "SimFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

bool Interactive(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const CGridBox*>(w);
}

QString Name(QObject* object) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// A label as it is heard: without its mnemonic marks and the colon after it.
QString Heard(QString text) {
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

// The text that stands on or beside a control for the eye: its own text or title, or the caption naming it.
QString VisibleLabel(QWidget* w, QWidget* page) {
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    for (QLabel* caption : page->findChildren<QLabel*>())
        if (caption->buddy() == w && caption->isVisibleTo(page))
            return caption->text();
    return {};
}

// A named control must be heard with what the eye sees: its label, and a text's own value (a name set on
// a label replaces its text). A figure stays so when its value changes.
QStringList LabelProblems(const QString& id, QWidget* w, QWidget* page) {
    QStringList problems;
    QString name = Name(w);
    if (name.trimmed().isEmpty())
        return problems;
    // Qt names a list by its current item where the tool takes the list's caption from its Label relation.
    if (qobject_cast<QComboBox*>(w))
        for (const auto& [caption, relation] : QAccessible::queryAccessibleInterface(w)->relations(QAccessible::Label))
            name += QLatin1Char(' ') + caption->text(QAccessible::Name);
    const QString label = Heard(VisibleLabel(w, page));
    if (!name.contains(label, Qt::CaseInsensitive))
        problems << id + QStringLiteral(": heard as \"%1\", not by its label \"%2\"").arg(name, label);
    auto* text = qobject_cast<QLabel*>(w);
    if (!text || text->text().isEmpty() || text->textFormat() == Qt::RichText)
        return problems;
    if (!name.contains(Heard(text->text())))
        problems << id + QStringLiteral(": heard as \"%1\" without its text \"%2\"").arg(name, text->text());
    const QString shown = text->text();
    text->setText(QStringLiteral("4096"));
    if (!label.isEmpty() && !Name(w).contains(QLatin1String("4096")))
        problems << id + QStringLiteral(": a new value is not heard");
    text->setText(shown);
    return problems;
}

// The problems found on one page, one line each, so a failure names every control at once.
QStringList Problems(const QString& where, QWidget* page) {
    QStringList problems;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        // A control the page hides for this board is not there for the user either.
        if (!w->isVisibleTo(page) || w->objectName() == QLatin1String("gridVerticalScrollBar"))
            continue;
        const QString id =
            where + QLatin1Char('/') + w->objectName() + QLatin1Char(' ') + QLatin1String(w->metaObject()->className());
        if (Interactive(w) && Name(w).trimmed().isEmpty())
            problems << id + QStringLiteral(": no accessible name");
        problems << LabelProblems(id, w, page);
        // Without a label of its own Qt falls back to the enclosing group's title, which names no control.
        auto* group = qobject_cast<QGroupBox*>(w->parentWidget());
        if (Interactive(w) && group && w->accessibleName().isEmpty() && Name(w) == group->title())
            problems << id + QStringLiteral(": named after its group");
        // A read-only display is read, not reached; everything else must take keyboard focus.
        const auto* edit = qobject_cast<const QLineEdit*>(w);
        if (Interactive(w) && w->focusPolicy() == Qt::NoFocus && !(edit && edit->isReadOnly()))
            problems << id + QStringLiteral(": keyboard focus cannot reach it");
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        if (auto* meter = qobject_cast<CLevelMeter*>(w)) {
            QAccessibleValueInterface* value = iface->valueInterface();
            if (iface->role() != QAccessible::ProgressBar || !value || value->currentValue().toInt() != meter->Pos() ||
                value->maximumValue().toInt() != meter->Max())
                problems << id + QStringLiteral(": level not readable");
        } else if (auto* grid = qobject_cast<CGridBox*>(w)) {
            QAccessibleTableInterface* table = iface->tableInterface();
            bool cellsRead = table && table->rowCount() == grid->RowCount() && grid->RowCount() > 0 &&
                             table->columnCount() == grid->ColumnCount() &&
                             table->selectedRows() == QList<int>{grid->CurRow()};
            for (int r = 0; cellsRead && r < grid->RowCount(); ++r)
                for (int c = 0; c < grid->ColumnCount(); ++c)
                    cellsRead = cellsRead && table->cellAt(r, c)->text(QAccessible::Name) == grid->GetCellText(r, c);
            if (iface->role() != QAccessible::Table || !cellsRead)
                problems << id + QStringLiteral(": table not readable");
        } else if (auto* hook = qobject_cast<CHookView*>(w)) {
            if (iface->role() != QAccessible::Graphic || Name(w) != CHookView::StateName(hook->State()))
                problems << id + QStringLiteral(": picture not named by the hook state");
        }
    }
    return problems;
}

// The controls the Tab key visits on a page, in order.
QList<QWidget*> TabChain(QWidget* page) {
    QList<QWidget*> chain;
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page) && w->isEnabled() && page->isAncestorOf(w))
            chain << w;
    return chain;
}

// Tab moves as one reads: on along a row, down a column, or over to a column further right; never back
// up within the same column.
QStringList ReadingOrderBreaks(const QString& where, QWidget* page) {
    QStringList breaks;
    const QList<QWidget*> chain = TabChain(page);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        const QRect a(chain[i - 1]->mapTo(page, QPoint(0, 0)), chain[i - 1]->size());
        const QRect b(chain[i]->mapTo(page, QPoint(0, 0)), chain[i]->size());
        if (b.top() < a.top() - 4 && b.left() < a.right())
            breaks << where + QStringLiteral(": Tab goes back up from %1 to %2")
                                  .arg(chain[i - 1]->objectName(), chain[i]->objectName());
    }
    return breaks;
}

// Alt+letter must lead to one control only among those a page shows.
QStringList MnemonicClashes(const QString& where, QWidget* page) {
    QHash<QChar, QString> owners;
    QStringList clashes;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
            text = label->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (!w->isVisibleTo(page) || at < 0 || at + 1 >= text.size() || text[at + 1] == QLatin1Char('&'))
            continue;
        const QChar letter = text[at + 1].toUpper();
        if (owners.contains(letter))
            clashes << where + QStringLiteral(": Alt+%1 on %2 and %3").arg(letter, owners[letter], w->objectName());
        owners.insert(letter, w->objectName());
    }
    return clashes;
}

TEST(Accessibility, EveryPageOfEveryBoardModelCanBeReadByAnAssistiveTool) {
    SettingsSandbox settings;
    RecordingPrompts prompts;
    const uint32_t types[] = {0x310, 0x320, 0x330, 0x340, 0x350, 0x360, 0x310D, 0x3204, 0x330D};
    std::vector<sim::BoardConfig> configs;
    for (uint32_t type : types)
        configs.push_back({type, 100 + type, 4, "", ""});
    SimFixtureBoards boards(configs);
    sim::Simulator& simulator = *boards.simulator;
    CMainDlg window(
        QIcon(), [] { return std::unique_ptr<CDriverLibrary>(); }, nullptr,
        [&](CDriverLibrary*) {
            std::vector<BoardRecord> records;
            for (uint32_t b = 0; b < std::size(types); ++b)
                records.push_back({simulator.BaseName(b), "KVR", static_cast<int32_t>(b), types[b], 100 + types[b], 4});
            return records;
        },
        [&](const BoardRecord& r, CDriverLibrary*, QWidget* parent) {
            return std::make_unique<CBoardDlg>(nullptr, r.devicePath, r.channels, r.type, r.boardId, r.index, parent,
                                               [&](CDriverLibrary*, const std::string& base, const std::string& leaf) {
                                                   return SimDevice::Open(simulator, base + "\\" + leaf);
                                               });
        });
    ASSERT_TRUE(window.OnInitDialog());
    ASSERT_EQ(window.BoardCount(), static_cast<int>(std::size(types)));
    window.show();
    QStringList problems;
    int pages = 0;
    for (int b = 0; b < window.BoardCount(); ++b) {
        window.Tabs()->setCurrentIndex(b);
        CBoardDlg* board = window.Board(b);
        for (int p = 0; p < board->Tabs()->count(); ++p) {
            board->Tabs()->setCurrentIndex(p);
            QApplication::processEvents();
            const QString where = QStringLiteral("board%1/%2").arg(b).arg(board->Tabs()->tabText(p));
            QWidget* page = board->Tabs()->widget(p);
            problems << Problems(where, page) << MnemonicClashes(where, page) << ReadingOrderBreaks(where, page);
            // The routing grid sits between the channels, and Tab reaches it there.
            if (auto* grid = page->findChild<CGridBox*>(QStringLiteral("routingGrid"))) {
                const QList<QWidget*> chain = TabChain(page);
                const auto* left = page->findChild<QWidget*>(QStringLiteral("leftGroup"));
                const auto* right = page->findChild<QWidget*>(QStringLiteral("rightGroup"));
                const qsizetype at = chain.indexOf(grid);
                if (at <= 0 || !left->isAncestorOf(chain[at - 1]) || at + 1 >= chain.size() ||
                    !right->isAncestorOf(chain[at + 1]))
                    problems << where + QStringLiteral(": Tab does not reach the grid between the channels");
            }
            ++pages;
        }
    }
    EXPECT_GE(pages, 40);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST(Accessibility, TheLineDialogsCanBeReadByAnAssistiveTool) {
    SettingsSandbox settings;
    RecordingDevice line("line0", std::make_shared<RequestLog>());
    CDialDlg dial(&line, nullptr);
    LineSettings lineSettings;
    LineLevels levels;
    int32_t power = 1;
    CLineSettingsDlg lineDialog(nullptr, &lineSettings, &levels, &power);
    lineDialog.adjustSize(); // lays the controls out, so their places can be compared
    const QStringList problems = Problems(QStringLiteral("dial"), &dial) +
                                 Problems(QStringLiteral("settings"), &lineDialog) +
                                 MnemonicClashes(QStringLiteral("settings"), &lineDialog) +
                                 ReadingOrderBreaks(QStringLiteral("settings"), &lineDialog);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

// A page on recording devices; every device answers success with zeroed blocks.
struct RecordedPage {
    SettingsSandbox settings;
    RecordingPrompts prompts;
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    std::vector<std::unique_ptr<RecordingDevice>> devices;
    std::unique_ptr<CPageDlg> page;

    RecordedPage(PageFactory make, uint32_t type) {
        PageContext context;
        context.type = type;
        context.channels = 8;
        auto device = [this](const std::string& name) {
            devices.push_back(std::make_unique<RecordingDevice>(name, log));
            return devices.back().get();
        };
        for (size_t i = 0; i < 8; ++i)
            context.lineIn[i] = device("in" + std::to_string(i));
        context.left = device("left");
        context.right = device("right");
        context.cfg = device("cfg");
        page = make(context, nullptr);
        page->OnInitDialog();
        log->Clear();
    }
};

TEST(Accessibility, TheToggleActionOfACheckablePageButtonSendsWhatAClickSends) {
    const struct {
        PageFactory make;
        uint32_t type;
        const char* button;
    } cases[] = {
        {&CreatePhoneLinePage, 0x310, "line0Hook"},   {&CreatePhoneLinePage, 0x340, "line2Commutation"},
        {&CreateMemoryPage, 0x310, "wdtButton"},      {&CreateMemoryPage, 0x310, "check1Button"},
        {&CreateOutputPage, 0x310, "leftMuteButton"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        RecordedPage clicked(c.make, c.type);
        auto* button = clicked.page->findChild<QAbstractButton*>(QLatin1String(c.button));
        ASSERT_NE(button, nullptr);
        button->click();

        RecordedPage toggled(c.make, c.type);
        auto* same = toggled.page->findChild<QAbstractButton*>(QLatin1String(c.button));
        QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(same)->actionInterface();
        ASSERT_NE(actions, nullptr);
        ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());

        EXPECT_FALSE(clicked.log->Calls().empty());
        EXPECT_EQ(toggled.log->Calls(), clicked.log->Calls());
        EXPECT_EQ(same->isChecked(), button->isChecked());
    }
}

} // namespace
