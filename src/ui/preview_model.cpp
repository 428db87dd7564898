// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/preview_model.h"

#include <QApplication>
#include <QStyle>

#include "ui/qt_text.h"

namespace zr {

namespace {

struct Column {
    const char* caption;
    Qt::Alignment alignment;
};

constexpr Column kColumns[PreviewModel::kColumnCount] = {
    {"current name", Qt::AlignLeft}, {"new name", Qt::AlignLeft},  {"filesize", Qt::AlignRight},
    {"filedate", Qt::AlignRight},    {"filetime", Qt::AlignRight},
};

QString failureText(const PreviewRow& row) {
    // The rules' own words for an entry they gave no new name: "no date taken".
    if (row.fails == Conflict::RuleFailed)
        return QStringLiteral("This entry will not be renamed: ") + fromBytes(failureReason(row)) +
               ".";
    return QStringLiteral("This rename will fail: ") + fromBytes(conflictExplanation(row.fails));
}

}  // namespace

PreviewModel::PreviewModel(Clock& clock, QObject* parent)
    : QAbstractTableModel(parent), m_text(clock) {}

void PreviewModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_folders.clear();
    m_rowFolders.clear();
    m_published = 0;
    endResetModel();
}

void PreviewModel::append(PreviewRow row) {
    m_rows.push_back(std::move(row));
    m_rowFolders.push_back(0);
}

void PreviewModel::publish() {
    const int total = static_cast<int>(m_rows.size());
    if (total == m_published)
        return;
    beginInsertRows({}, m_published, total - 1);
    m_published = total;
    endInsertRows();
}

void PreviewModel::settle(std::string_view folder, std::span<const RowOutcome> outcomes) {
    // Each folder's rows settle together, once.
    if (m_folders.empty() || m_folders.back() != folder)
        m_folders.emplace_back(folder);
    const auto folderIndex = static_cast<std::uint32_t>(m_folders.size());
    int first = -1;
    int last = -1;
    for (const RowOutcome& outcome : outcomes) {
        if (outcome.row >= m_rows.size())
            continue;
        m_rows[outcome.row].fails = outcome.fails;
        m_rowFolders[outcome.row] = folderIndex;
        const int row = static_cast<int>(outcome.row);
        if (outcome.fails != Conflict::None && row < m_published) {
            first = first < 0 ? row : std::min(first, row);
            last = std::max(last, row);
        }
    }
    // Rows not yet published show their marks when they are.
    if (first >= 0)
        emit dataChanged(index(first, 1), index(last, 1));
}

int PreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

int PreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_published)
        return {};
    if (role == Qt::DisplayRole) {
        const PreviewRow& r = row(index.row());
        switch (index.column()) {
            case 0:
                // Names are the file system's bytes; invalid UTF-8 shows as replacement
                // characters.
                return fromBytes(r.currentName);
            case 1:
                return fromBytes(r.newName);
            case 2:
                return fromBytes(PreviewText::size(r));
            case 3:
                return fromBytes(m_text.date(r));
            default:
                return fromBytes(m_text.time(r));
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[index.column()].alignment | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole)
        return toolTip(index.row());
    const Conflict fails = row(index.row()).fails;
    if (index.column() != 1 || fails == Conflict::None)
        return {};
    // An icon for the eye, and words for everyone: the tooltip and what a screen reader says.
    if (role == Qt::DecorationRole) {
        if (m_warning.isNull())
            m_warning = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return m_warning;
    }
    if (role == Qt::AccessibleDescriptionRole)
        return failureText(row(index.row()));
    return {};
}

QString PreviewModel::toolTip(int index) const {
    const PreviewRow& r = row(index);
    // The names as they are, on lines of their own; the reason wraps.
    QString tip = QStringLiteral("<p style=\"white-space:pre\">current name: ") +
                  fromBytes(r.currentName).toHtmlEscaped() +
                  "<br>new name: " + fromBytes(r.newName).toHtmlEscaped();
    if (const std::uint32_t folder = m_rowFolders[static_cast<std::size_t>(index)])
        tip += "<br>folder: " + fromBytes(m_folders[folder - 1]).toHtmlEscaped();
    tip += "</p>";
    if (r.fails != Conflict::None)
        tip += "<p>" + failureText(r).toHtmlEscaped() + "</p>";
    return tip;
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumns[section].caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[section].alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags PreviewModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace zr
