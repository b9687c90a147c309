// The table grid of the records window: one row per compared table pair with its four counts,
// in the grey of a table not yet begun, black once begun, and white on blue for the table whose
// records are shown. Its header and its cells draw in the window's own colours.
#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <vector>

#include "compare/data_compare_model.h"

class TableGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 6;
    static constexpr int kFirstCount = 2;  // the four count columns follow the two names
    enum State { kWaiting = 0, kStarted = 1, kCurrent = 2 };
    enum Role { StateRole = Qt::UserRole + 1 };

    explicit TableGridModel(QObject* parent = nullptr);

    // The first rows set the grid up; later ones rewrite only the counts and the states.
    void SetRows(std::vector<TableRow> rows);
    int RowTotal() const { return int(rows_.size()); }
    static State RowState(const TableRow& row);
    // The row's key is not unique: its note takes the place of the four counts.
    bool HasKeyNote(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<TableRow> rows_;
};

// Paints the grid's cells from the model's colours whatever the selection: the current table is
// marked by its state, not by the view's selection.
class TableGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The grid's header: drawn on the window's colour, the two name columns in the bold font.
class TableGridHeader : public QHeaderView {
    Q_OBJECT
public:
    TableGridHeader(const QFont& bold, const QFont& plain, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QFont bold_;
    QFont plain_;
};
