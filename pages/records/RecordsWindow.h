// The "Test records" window: the runs of the records store (filtered by board ID, command, outcome and
// start date), the steps of the chosen run, and for a chosen measured step its trend and histogram over
// the runs with the capability figures, the chosen run's point highlighted. Every query runs in a thread
// of its own and the runs arrive a page at a time, so the window stays responsive on a large store.
#pragma once

#include "RecordStore.h"
#include "StepStatistics.h"

#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class CRecordsWorker;
class CRunsModel;
class CSvgChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

// A chosen step's series over the runs, its figures and its two charts as SVG.
struct StepCharts {
    StepSeries series;
    StepStatistics statistics;
    QByteArray trend;
    QByteArray histogram;
};

class CRecordsWindow : public QWidget {
    Q_OBJECT
public:
    // Opens `store` in the query thread; `boardId`, when given, is the board the window starts with
    // (the board of the main window's current tab).
    CRecordsWindow(const StoreUrl& store, std::optional<uint32_t> boardId, QWidget* parent = nullptr);
    ~CRecordsWindow() override;

    CRunsModel* Runs() const { return m_runs; }
    QTableView* RunsView() const { return m_runsView; }
    QTableWidget* StepsTable() const { return m_steps; }
    CSvgChartView* Trend() const { return m_trend; }
    CSvgChartView* Histogram() const { return m_histogram; }
    QLabel* Figures() const { return m_figures; }
    QLabel* Status() const { return m_status; }

    // Applies the filter fields (what the "Show" button does); false with a message when a field is wrong.
    bool ApplyFilter();

signals:
    void storeOpened(bool ok);
    void runsPage();    // a page of runs arrived (or the query failed)
    void stepsShown();  // the chosen run's steps are in the steps table
    void chartsShown(); // the chosen step's charts and figures are shown

private:
    void BuildControls(std::optional<uint32_t> boardId);
    void OnStoreOpened(const QString& error);
    void FetchPage(int generation, const RecordFilter& page);
    void OnRunChosen();
    void OnStepChosen();
    void ShowCharts(const StepCharts& charts, const TestRecord& chosen);
    // No step chosen: empty charts, named as such.
    void ClearCharts();
    void ShowFailure(const QString& what, const QString& error);
    void UpdateStatus();

    StoreUrl m_url;
    bool m_open = false;
    QString m_runId;                    // the run whose steps are shown
    QString m_stepName;                 // the step last chosen, chosen again in the next run shown
    int m_stepQuery = 0;                // the latest steps or series query; older answers are dropped
    std::atomic<int> m_seriesQuery = 0; // read by the query thread to skip a series no longer wanted

    QLineEdit* m_boardEdit = nullptr;
    QComboBox* m_commandBox = nullptr;
    QComboBox* m_outcomeBox = nullptr;
    QLineEdit* m_sinceEdit = nullptr;
    QLineEdit* m_untilEdit = nullptr;
    QPushButton* m_showButton = nullptr;
    QLabel* m_status = nullptr;
    CRunsModel* m_runs = nullptr;
    QTableView* m_runsView = nullptr;
    QTableWidget* m_steps = nullptr;
    CSvgChartView* m_trend = nullptr;
    CSvgChartView* m_histogram = nullptr;
    QLabel* m_figures = nullptr;
    // Last, so that it is destroyed first: its thread ends before anything it delivers to goes.
    std::unique_ptr<CRecordsWorker> m_worker;
};
