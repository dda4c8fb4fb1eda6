// The memory list's model: dump lines made on demand from the words read, or the header view's lines.
#pragma once

#include <QAbstractListModel>

#include <cstdint>
#include <string>
#include <vector>

// Lines are formatted when the view asks for them, so a read of any size fills the list at once.
class CDumpModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // The dump of the whole words in `bytes`, eight to a line, the first line at `start`.
    void ShowDump(uint32_t start, std::vector<uint8_t> bytes);
    // Fixed lines (the header view).
    void ShowLines(std::vector<std::string> lines);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    size_t LineCount() const;
    std::string Line(size_t row) const;

private:
    uint32_t m_start = 0;
    std::vector<uint8_t> m_bytes;     // dump words, little-endian
    std::vector<std::string> m_lines; // header view, used when not empty
};
