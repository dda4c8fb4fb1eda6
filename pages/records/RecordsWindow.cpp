// The records window's controls, its filter and the hand-over of queries to the query thread.
#include "RecordsWindow.h"

#include "Prompts.h"
#include "RecordsWorker.h"
#include "RunsModel.h"
#include "StatsLoader.h"
#include "SvgChart.h"
#include "SvgChartView.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A failed query's message, as the store worded it.
QString ErrorText(const std::exception& e) { return QString::fromStdString(e.what()); }

QString Number(const std::optional<double>& value) { return value ? QString::number(*value, 'g', 6) : QString(); }

} // namespace

CRecordsWindow::CRecordsWindow(const StoreUrl& store, std::optional<uint32_t> boardId, QWidget* parent)
    : QWidget(parent, Qt::Window), m_url(store) {
    setObjectName(QStringLiteral("recordsWindow"));
    setWindowTitle(QStringLiteral("Test records"));
    setAccessibleName(QStringLiteral("Test records"));
    BuildControls(boardId);
    m_status->setText(QStringLiteral("Opening %1").arg(m_url.text));
    m_worker = std::make_unique<CRecordsWorker>(m_url, [this](const QString& error) { OnStoreOpened(error); });
}

CRecordsWindow::~CRecordsWindow() { m_worker.reset(); }

void CRecordsWindow::BuildControls(std::optional<uint32_t> boardId) {
    const auto labelled = [this](const QString& text, QWidget* field, const QString& name) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        field->setAccessibleName(name);
        return label;
    };
    m_boardEdit = new QLineEdit(this);
    m_boardEdit->setObjectName(QStringLiteral("boardFilter"));
    m_boardEdit->setPlaceholderText(QStringLiteral("any"));
    if (boardId)
        m_boardEdit->setText(QString::number(*boardId));
    m_commandBox = new QComboBox(this);
    m_commandBox->setObjectName(QStringLiteral("commandFilter"));
    m_commandBox->setEditable(true);
    m_commandBox->addItems({QString(), QStringLiteral("selftest"), QStringLiteral("loopback"),
                            QStringLiteral("crosstalk"), QStringLiteral("calibrate"), QStringLiteral("watchdog")});
    m_outcomeBox = new QComboBox(this);
    m_outcomeBox->setObjectName(QStringLiteral("outcomeFilter"));
    m_outcomeBox->addItems({QStringLiteral("any"), QStringLiteral("pass"), QStringLiteral("fail"),
                            QStringLiteral("error"), QStringLiteral("aborted")});
    m_sinceEdit = new QLineEdit(this);
    m_sinceEdit->setObjectName(QStringLiteral("sinceFilter"));
    m_sinceEdit->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    m_untilEdit = new QLineEdit(this);
    m_untilEdit->setObjectName(QStringLiteral("untilFilter"));
    m_untilEdit->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    m_showButton = new QPushButton(QStringLiteral("S&how"), this);
    m_showButton->setObjectName(QStringLiteral("showButton"));
    m_showButton->setAccessibleName(QStringLiteral("Show the runs the filter selects"));
    m_showButton->setEnabled(false);

    auto* filters = new QHBoxLayout;
    filters->addWidget(labelled(QStringLiteral("&Board ID:"), m_boardEdit, QStringLiteral("Board ID filter")));
    filters->addWidget(m_boardEdit);
    filters->addWidget(labelled(QStringLiteral("&Command:"), m_commandBox, QStringLiteral("Command filter")));
    filters->addWidget(m_commandBox);
    filters->addWidget(labelled(QStringLiteral("&Outcome:"), m_outcomeBox, QStringLiteral("Outcome filter")));
    filters->addWidget(m_outcomeBox);
    filters->addWidget(
        labelled(QStringLiteral("&From:"), m_sinceEdit, QStringLiteral("Started on or after (UTC date or time)")));
    filters->addWidget(m_sinceEdit);
    filters->addWidget(
        labelled(QStringLiteral("&To:"), m_untilEdit, QStringLiteral("Started before (UTC date or time)")));
    filters->addWidget(m_untilEdit);
    filters->addWidget(m_showButton);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("recordsStatus"));
    m_status->setAccessibleName(QStringLiteral("Records status"));

    m_runs = new CRunsModel([this](int generation, const RecordFilter& page) { FetchPage(generation, page); }, this);
    m_runsView = new QTableView(this);
    m_runsView->setObjectName(QStringLiteral("runsTable"));
    m_runsView->setAccessibleName(QStringLiteral("Runs"));
    m_runsView->setModel(m_runs);
    m_runsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_runsView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_runsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_runsView->verticalHeader()->hide();
    m_runsView->verticalHeader()->setDefaultSectionSize(m_runsView->fontMetrics().height() + 6);
    m_runsView->horizontalHeader()->setStretchLastSection(true);
    m_runsView->setTabKeyNavigation(false);
    m_runsView->setColumnWidth(
        CRunsModel::Started, m_runsView->fontMetrics().horizontalAdvance(QStringLiteral("2026-12-08T12:00:00.000Z  ")));

    m_steps = new QTableWidget(0, 8, this);
    m_steps->setObjectName(QStringLiteral("stepsTable"));
    m_steps->setAccessibleName(QStringLiteral("Steps of the chosen run"));
    m_steps->setHorizontalHeaderLabels({QStringLiteral("Step"), QStringLiteral("Result"), QStringLiteral("Value"),
                                        QStringLiteral("Unit"), QStringLiteral("Low"), QStringLiteral("High"),
                                        QStringLiteral("Seconds"), QStringLiteral("Detail")});
    m_steps->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_steps->setSelectionMode(QAbstractItemView::SingleSelection);
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->verticalHeader()->hide();
    m_steps->verticalHeader()->setDefaultSectionSize(m_steps->fontMetrics().height() + 6);
    m_steps->setWordWrap(false);
    m_steps->horizontalHeader()->setStretchLastSection(true);
    m_steps->setTabKeyNavigation(false);

    m_trend = new CSvgChartView(this);
    m_trend->setObjectName(QStringLiteral("trendChart"));
    m_histogram = new CSvgChartView(this);
    m_histogram->setObjectName(QStringLiteral("histogramChart"));
    m_figures = new QLabel(this);
    m_figures->setObjectName(QStringLiteral("stepFigures"));
    m_figures->setAccessibleName(QStringLiteral("Figures of the chosen step"));
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_figures->setFocusPolicy(Qt::StrongFocus);
    ClearCharts();

    auto* charts = new QWidget(this);
    auto* chartsLayout = new QVBoxLayout(charts);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    chartsLayout->addWidget(m_trend, 1);
    chartsLayout->addWidget(m_histogram, 1);
    chartsLayout->addWidget(m_figures);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(m_steps);
    lower->addWidget(charts);
    lower->setStretchFactor(0, 1);
    lower->setStretchFactor(1, 1);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_runsView);
    split->addWidget(lower);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_status);
    layout->addWidget(split, 1);
    resize(1100, 760);

    for (QLineEdit* edit : {m_boardEdit, m_sinceEdit, m_untilEdit})
        connect(edit, &QLineEdit::returnPressed, this, &CRecordsWindow::ApplyFilter);
    connect(m_commandBox->lineEdit(), &QLineEdit::returnPressed, this, &CRecordsWindow::ApplyFilter);
    connect(m_showButton, &QPushButton::clicked, this, &CRecordsWindow::ApplyFilter);
    connect(m_runsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &CRecordsWindow::OnRunChosen);
    connect(m_steps, &QTableWidget::currentCellChanged, this, &CRecordsWindow::OnStepChosen);
    connect(m_runs, &QAbstractItemModel::rowsInserted, this, &CRecordsWindow::UpdateStatus);
    connect(m_runs, &QAbstractItemModel::modelReset, this, &CRecordsWindow::UpdateStatus);
}

void CRecordsWindow::OnStoreOpened(const QString& error) {
    if (!error.isEmpty()) {
        m_status->setText(QStringLiteral("The records store cannot be opened"));
        ShowFailure(QStringLiteral("The records store %1 cannot be opened").arg(m_url.text), error);
        emit storeOpened(false);
        return;
    }
    m_open = true;
    m_showButton->setEnabled(true);
    emit storeOpened(true);
    ApplyFilter();
}

bool CRecordsWindow::ApplyFilter() {
    if (!m_open)
        return false;
    RecordFilter filter;
    const QString board = m_boardEdit->text().trimmed();
    if (!board.isEmpty()) {
        bool ok = false;
        const uint id = board.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive) ? board.mid(2).toUInt(&ok, 16)
                                                                                    : board.toUInt(&ok, 10);
        if (!ok) {
            Prompts().Message(this, QStringLiteral("The board ID \"%1\" is not a number").arg(board),
                              QStringLiteral("Test records"), PromptIcon::Error);
            return false;
        }
        filter.boardId = id;
    }
    filter.command = m_commandBox->currentText().trimmed();
    if (m_outcomeBox->currentIndex() > 0)
        filter.outcome = m_outcomeBox->currentText();
    const std::pair<QLineEdit*, std::optional<int64_t>*> times[] = {{m_sinceEdit, &filter.sinceMs},
                                                                    {m_untilEdit, &filter.untilMs}};
    for (const auto& [edit, bound] : times) {
        const QString text = edit->text().trimmed();
        if (text.isEmpty())
            continue;
        *bound = ParseUtc(text);
        if (!*bound) {
            Prompts().Message(this,
                              QStringLiteral("\"%1\" is not a date (YYYY-MM-DD) or a UTC time "
                                             "(YYYY-MM-DDTHH:MM:SSZ)")
                                  .arg(text),
                              QStringLiteral("Test records"), PromptIcon::Error);
            return false;
        }
    }
    // The steps and charts of the runs shown before are stale, and so are their answers still to come.
    m_runId.clear();
    ++m_stepQuery;
    ++m_seriesQuery;
    m_steps->setRowCount(0);
    ClearCharts();
    m_runs->Reset(filter);
    return true;
}

void CRecordsWindow::FetchPage(int generation, const RecordFilter& page) {
    m_worker->Post([this, generation, page](IRecordStore* store) {
        try {
            std::vector<TestRecord> rows = store->List(page);
            m_worker->Deliver([this, generation, rows = std::move(rows)] {
                m_runs->AddPage(generation, rows);
                emit runsPage();
            });
        } catch (const std::exception& e) {
            const QString error = ErrorText(e);
            m_worker->Deliver([this, generation, error] {
                m_runs->Stop(generation);
                ShowFailure(QStringLiteral("The runs cannot be read"), error);
                emit runsPage();
            });
        }
    });
    UpdateStatus();
}

void CRecordsWindow::UpdateStatus() {
    if (!m_open)
        return;
    const int n = m_runs->rowCount();
    QString text = n == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(n);
    if (m_runs->Loading())
        text += QStringLiteral(", loading more");
    else if (!m_runs->AtEnd())
        text += QStringLiteral(", more as you scroll");
    m_status->setText(QStringLiteral("%1 in %2").arg(text, m_url.text));
}

void CRecordsWindow::OnRunChosen() {
    const QModelIndex current = m_runsView->currentIndex();
    if (!current.isValid())
        return;
    const QString runId = m_runs->Run(current.row()).runId;
    if (runId == m_runId)
        return;
    m_runId = runId;
    const int query = ++m_stepQuery;
    ++m_seriesQuery; // the charts of the run shown before are stale
    m_worker->Post([this, runId, query](IRecordStore* store) {
        try {
            std::optional<TestRecord> record = store->Get(runId);
            m_worker->Deliver([this, query, record = std::move(record)] {
                if (query != m_stepQuery)
                    return;
                m_steps->setRowCount(0);
                if (record) {
                    m_steps->setRowCount(static_cast<int>(record->steps.size()));
                    int row = 0;
                    for (const TestStep& s : record->steps) {
                        const QString cells[] = {s.name,
                                                 s.result,
                                                 Number(s.value),
                                                 s.unit,
                                                 Number(s.low),
                                                 Number(s.high),
                                                 QString::number(s.seconds, 'f', 3),
                                                 s.detail};
                        for (int c = 0; c < 8; ++c)
                            m_steps->setItem(row, c, new QTableWidgetItem(cells[c]));
                        ++row;
                    }
                }
                // The step looked at in the run before stays chosen, so runs can be compared step by step.
                const QList<QTableWidgetItem*> same = m_steps->findItems(m_stepName, Qt::MatchExactly);
                for (QTableWidgetItem* item : same)
                    if (item->column() == 0) {
                        m_steps->setCurrentCell(item->row(), 0);
                        break;
                    }
                emit stepsShown();
            });
        } catch (const std::exception& e) {
            const QString error = ErrorText(e);
            m_worker->Deliver([this, error] { ShowFailure(QStringLiteral("The run's steps cannot be read"), error); });
        }
    });
}

void CRecordsWindow::ClearCharts() {
    m_trend->Clear();
    m_histogram->Clear();
    m_trend->setAccessibleName(QStringLiteral("Trend: choose a measured step"));
    m_histogram->setAccessibleName(QStringLiteral("Histogram: choose a measured step"));
    m_figures->clear();
}

void CRecordsWindow::ShowFailure(const QString& what, const QString& error) {
    Prompts().Message(this, QStringLiteral("%1: %2").arg(what, error), QStringLiteral("Test records"),
                      PromptIcon::Error);
}

void CRecordsWindow::OnStepChosen() {
    const int row = m_steps->currentRow();
    const int query = ++m_seriesQuery;
    if (row < 0 || m_runId.isEmpty()) {
        ClearCharts();
        return;
    }
    const QString step = m_steps->item(row, 0)->text();
    const QString unit = m_steps->item(row, 3)->text();
    m_stepName = step;
    const QModelIndex run = m_runsView->currentIndex();
    if (!run.isValid())
        return;
    const TestRecord chosen = m_runs->Run(run.row());
    ClearCharts();
    if (m_steps->item(row, 2)->text().isEmpty()) {
        const QString none = QStringLiteral("%1 has no measured value: no chart").arg(step);
        m_trend->setAccessibleName(none);
        m_histogram->setAccessibleName(none);
        m_figures->setText(none);
        emit chartsShown();
        return;
    }
    m_figures->setText(QStringLiteral("Reading the runs of %1…").arg(step));
    // The population is the production runs of the same command in the filter's dates, each board's last
    // attempt: the figures a quality engineer sees in the report.
    StatsRequest request;
    request.filter.command = chosen.command;
    request.filter.mode = QStringLiteral("production");
    request.filter.sinceMs = m_runs->Filter().sinceMs;
    request.filter.untilMs = m_runs->Filter().untilMs;
    request.step = step.toStdString();
    m_worker->Post([this, query, request, step, unit, chosen](IRecordStore* store) {
        if (query != m_seriesQuery.load())
            return; // another step was chosen meanwhile
        try {
            const StatsData loaded = LoadStats(*store, request);
            StepCharts charts;
            for (const StepSeries& series : loaded.series)
                if (series.name == request.step && series.unit == unit.toStdString())
                    charts.series = series;
            charts.statistics = Summarise(charts.series);
            TrendOptions trend;
            trend.highlightRunId = chosen.runId.toStdString();
            HistogramOptions histogram;
            histogram.highlightRunId = trend.highlightRunId;
            charts.trend = QByteArray::fromStdString(TrendSvg(charts.series, charts.statistics, trend));
            charts.histogram = QByteArray::fromStdString(HistogramSvg(charts.series, charts.statistics, histogram));
            m_worker->Deliver([this, query, charts = std::move(charts), chosen] {
                if (query == m_seriesQuery.load())
                    ShowCharts(charts, chosen);
            });
        } catch (const std::exception& e) {
            const QString error = ErrorText(e);
            m_worker->Deliver([this, error, step] {
                m_figures->clear();
                ShowFailure(QStringLiteral("The runs of %1 cannot be read").arg(step), error);
                emit chartsShown();
            });
        }
    });
}

void CRecordsWindow::ShowCharts(const StepCharts& charts, const TestRecord& chosen) {
    const StepStatistics& st = charts.statistics;
    const QString unit = QString::fromStdString(st.unit);
    const auto figure = [](const std::optional<double>& v) { return QString::fromStdString(Figure(v, 3)); };
    const QString cpk = st.cpk ? QStringLiteral("Cpk %1").arg(figure(st.cpk)) : QStringLiteral("Cpk not defined");
    const QString what = QStringLiteral("%1 of %2").arg(QString::fromStdString(charts.series.name), chosen.command);
    const QString runs = st.n == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(st.n);
    m_trend->SetSvg(charts.trend);
    m_histogram->SetSvg(charts.histogram);
    m_trend->setAccessibleName(QStringLiteral("%1, trend of %2, %3").arg(what, runs, cpk));
    m_histogram->setAccessibleName(
        QStringLiteral("%1, histogram of %2, mean %3 %4, %5").arg(what, runs, figure(st.mean), unit, cpk).simplified());
    QString thisRun;
    for (const StepPoint& p : charts.series.points)
        if (QString::fromStdString(p.runId) == chosen.runId)
            thisRun = QStringLiteral("This run: %1 %2 (highlighted).").arg(figure(p.value), unit);
    if (thisRun.isEmpty())
        thisRun = QStringLiteral("This run is not among the points (only each board's last production attempt "
                                 "is).");
    m_figures->setText(
        QStringLiteral("%1: n %2, %3 passed, %4 failed; mean %5, s %6, within s %7, min %8, max %9 %10; "
                       "limits %11 .. %12%13; Cp %14, %15 (lower 95 % bound %16), Pp %17, Ppk %18. %19")
            .arg(what)
            .arg(st.n)
            .arg(st.passes)
            .arg(st.failures)
            .arg(figure(st.mean), figure(st.overallSd), figure(st.withinSd), figure(st.min), figure(st.max), unit,
                 figure(st.low), figure(st.high),
                 st.limitsDisagree ? QStringLiteral(" (the most recent; earlier runs had others)") : QString())
            .arg(figure(st.cp), cpk, figure(st.cpkLower), figure(st.pp), figure(st.ppk), thisRun));
    emit chartsShown();
}
