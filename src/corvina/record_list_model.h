// The records list of the records window: a table model over a row source that builds the lines
// only as the view asks for them (a page of lines at a time), and the delegate that draws a
// modified record's two lines with the changed cells highlighted.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include "compare/row_page_cache.h"

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Beyond the display text of each cell.
    enum Role {
        KindRole = Qt::UserRole + 1,  // the line's RecordLine::Kind
        ChangedRole,                  // the cell's field differs between the databases
        ExactRole,                    // the text shows digits past the usual text (RecordLine)
    };

    explicit RecordListModel(QObject* parent = nullptr);

    // A new source (not owned, null for none): columns and lines are taken anew.
    void SetSource(RecordRowSource* source);
    RecordRowSource* Source() const { return source_; }
    // Takes the lines the source has gained and its captions once it has them.
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The line shown at a row, built on demand; null when there is none.
    const RecordLine* Line(int row) const;

signals:
    // The source could not read the lines of its rows; once for a source, after the paint that
    // asked for them.
    void readFailed(const QString& text);

private:
    void TakeCaptions();
    void NoteReadError() const;

    RecordRowSource* source_ = nullptr;
    mutable RowPageCache cache_;
    QStringList captions_;
    int lines_ = 0;
    mutable bool readErrorNoted_ = false;
};

// Draws the cells of a modified record's lines itself; every other line is drawn the usual way
// on the background the model gives.
class RecordLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
