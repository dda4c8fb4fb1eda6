// The memory list's model.
#include "DumpModel.h"

#include "DumpText.h"

#include <climits>

void CDumpModel::ShowDump(uint32_t start, std::vector<uint8_t> bytes) {
    beginResetModel();
    m_start = start;
    m_bytes = std::move(bytes);
    m_bytes.resize(m_bytes.size() / 2 * 2); // an odd last byte is no whole word
    m_lines.clear();
    endResetModel();
}

void CDumpModel::ShowLines(std::vector<std::string> lines) {
    beginResetModel();
    m_bytes.clear();
    m_lines = std::move(lines);
    endResetModel();
}

size_t CDumpModel::LineCount() const { return m_lines.empty() ? DumpLineCount(m_bytes.size() / 2) : m_lines.size(); }

std::string CDumpModel::Line(size_t row) const {
    if (!m_lines.empty())
        return row < m_lines.size() ? m_lines[row] : std::string();
    const size_t first = row * kDumpWordsPerLine;
    const size_t words = m_bytes.size() / 2;
    if (first >= words)
        return {};
    // Addresses advance by eight a line in 32-bit arithmetic; the line shows their low 16 bits.
    const auto address = static_cast<uint32_t>(m_start + static_cast<uint32_t>(first));
    return DumpLine(address, m_bytes.data() + 2 * first, words - first);
}

int CDumpModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    const size_t count = LineCount();
    return count > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

QVariant CDumpModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0)
        return {};
    return QString::fromLatin1(Line(static_cast<size_t>(index.row())));
}
