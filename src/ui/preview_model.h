// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the preview list: what a Scan would rename, with size, date and time. Rows arrive
// one at a time during a walk and are handed to the view in batches, whenever the window
// processes its events, so that a walk of 100,000 entries does not update the view 100,000 times.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scan/command_view.h"
#include "scan/preview_text.h"

namespace zr {

// A read-only table over a vector of rows. append() only stores a row; publish() makes the rows
// stored since the last publish() visible to views, in one insertion. A row whose rename will
// fail at Go shows a warning icon in its new-name cell, with the reason as its description.
// Every cell's tooltip gives the row's whole names, which the columns cut off, its folder once
// the row is settled, and the reason its rename will fail.
class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 5;

    // `clock` gives the user's date and time formats.
    PreviewModel(Clock& clock, QObject* parent);

    void clear();
    void append(PreviewRow row);
    void publish();
    // Marks the rows of `outcomes`, entries of `folder`, with what Go will do with them.
    void settle(std::string_view folder, std::span<const RowOutcome> outcomes);
    const PreviewRow& row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString toolTip(int row) const;

    std::vector<PreviewRow> m_rows;
    // The folders of settled rows, each once; a row's index into them plus one, or 0 while its
    // folder is not known.
    std::vector<std::string> m_folders;
    std::vector<std::uint32_t> m_rowFolders;
    // Formats only what is shown, and each distinct time once.
    mutable PreviewText m_text;
    // Rows before this index are visible to views; the others wait for publish().
    int m_published = 0;
    mutable QIcon m_warning;
};

}  // namespace zr
