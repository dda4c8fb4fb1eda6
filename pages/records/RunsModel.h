// The runs of the records window as a table model that grows a page at a time: the view asks for more
// as it scrolls, the page is fetched in the query thread, and its rows are appended when they arrive.
#pragma once

#include "RecordStore.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

class CRunsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Started, BoardId, Board, Command, Outcome, Attempt, Station, Operator, Mode, ColumnCount };
    static constexpr int kPageSize = 200;

    // `fetch` starts the query of the page after the rows so far (newest first): the filter with its
    // limit and upper start bound set; the answer comes back through AddPage with the same generation.
    using PageFetch = std::function<void(int generation, const RecordFilter& page)>;
    explicit CRunsModel(PageFetch fetch, QObject* parent = nullptr);

    // Forgets the rows and starts over with another filter.
    void Reset(const RecordFilter& filter);
    // A page's rows; a stale generation (from before the last Reset) is ignored.
    void AddPage(int generation, const std::vector<TestRecord>& rows);
    // The query failed: no more pages are asked for until the next Reset.
    void Stop(int generation);

    const TestRecord& Run(int row) const { return m_rows.at(static_cast<size_t>(row)); }
    const RecordFilter& Filter() const { return m_filter; }
    bool Loading() const { return m_fetching; }
    bool AtEnd() const { return m_atEnd; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    PageFetch m_fetch;
    RecordFilter m_filter;
    std::vector<TestRecord> m_rows;
    int m_generation = 0;
    int m_requested = 0; // the limit of the page being fetched
    bool m_fetching = false;
    bool m_atEnd = true;
};
