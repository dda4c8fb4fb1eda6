// The runs model's pages: each asks for the records that started no later than the last row, past the
// rows already shown with that same start, so that runs sharing a millisecond are neither lost nor doubled.
#include "RunsModel.h"

#include <QSet>

CRunsModel::CRunsModel(PageFetch fetch, QObject* parent) : QAbstractTableModel(parent), m_fetch(std::move(fetch)) {}

void CRunsModel::Reset(const RecordFilter& filter) {
    beginResetModel();
    m_filter = filter;
    m_filter.oldestFirst = false;
    m_rows.clear();
    ++m_generation;
    m_fetching = false;
    m_atEnd = false;
    endResetModel();
    fetchMore({});
}

bool CRunsModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !m_atEnd && !m_fetching; }

void CRunsModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    RecordFilter page = m_filter;
    int tied = 0;
    if (!m_rows.empty()) {
        const int64_t last = m_rows.back().startedMs;
        for (auto it = m_rows.rbegin(); it != m_rows.rend() && it->startedMs == last; ++it)
            ++tied;
        page.untilMs = page.untilMs ? std::min(*page.untilMs, last + 1) : last + 1;
    }
    page.limit = kPageSize + tied;
    if (m_filter.limit > 0)
        page.limit = std::min(page.limit, m_filter.limit - static_cast<int>(m_rows.size()) + tied);
    m_requested = page.limit;
    m_fetching = true;
    m_fetch(m_generation, page);
}

void CRunsModel::AddPage(int generation, const std::vector<TestRecord>& rows) {
    if (generation != m_generation)
        return;
    m_fetching = false;
    // The rows that share the last start shown came back again at the top of this page.
    QSet<QString> shown;
    if (!m_rows.empty()) {
        const int64_t last = m_rows.back().startedMs;
        for (auto it = m_rows.rbegin(); it != m_rows.rend() && it->startedMs == last; ++it)
            shown.insert(it->runId);
    }
    std::vector<TestRecord> fresh;
    for (const TestRecord& r : rows)
        if (!shown.contains(r.runId))
            fresh.push_back(r);
    m_atEnd = static_cast<int>(rows.size()) < m_requested || fresh.empty() ||
              (m_filter.limit > 0 && static_cast<int>(m_rows.size() + fresh.size()) >= m_filter.limit);
    if (fresh.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(fresh.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
    endInsertRows();
}

void CRunsModel::Stop(int generation) {
    if (generation != m_generation)
        return;
    m_fetching = false;
    m_atEnd = true;
}

int CRunsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CRunsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CRunsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const TestRecord& r = m_rows[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case Started:
        return UtcText(r.startedMs);
    case BoardId:
        return QString::number(r.boardId);
    case Board:
        return r.boardName;
    case Command:
        return r.command;
    case Outcome:
        return r.outcome;
    case Attempt:
        return r.attempt;
    case Station:
        return r.station;
    case Operator:
        return r.operatorName;
    case Mode:
        return r.mode;
    default:
        return {};
    }
}

QVariant CRunsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kTitles[ColumnCount] = {"Started (UTC)", "Board ID", "Board",    "Command", "Outcome",
                                                     "Attempt",       "Station",  "Operator", "Mode"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kTitles[section]) : QVariant();
}
