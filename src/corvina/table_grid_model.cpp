#include "corvina/table_grid_model.h"

#include <QPainter>

#include "corvina/colors.h"

namespace {

constexpr std::uint32_t kOddRowBackground = 0xFFEEDD;
constexpr std::uint32_t kCurrentBackground = 0xFF9999;
constexpr std::uint32_t kWaitingText = 0x9D9D9D;
constexpr std::uint32_t kHeaderBackground = 0xFFDDDD;
constexpr std::uint32_t kHeaderLine = 0x9D9D9D;

const char* const kCaptions[TableGridModel::kColumns] = {"Database1", "Database2", "Equal",
                                                         "Db1",       "Db2",       "Modified"};

QString Text(const std::wstring& text)
{
    return QString::fromWCharArray(text.data(), qsizetype(text.size()));
}

}  // namespace

TableGridModel::TableGridModel(QObject* parent) : QAbstractTableModel(parent) {}

TableGridModel::State TableGridModel::RowState(const TableRow& row)
{
    return row.current ? kCurrent : row.started ? kStarted : kWaiting;
}

void TableGridModel::SetRows(std::vector<TableRow> rows)
{
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    rows_ = std::move(rows);
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, kColumns - 1));
}

bool TableGridModel::HasKeyNote(int row) const
{
    return row >= 0 && row < int(rows_.size()) && !rows_[row].keyNote.empty();
}

int TableGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int TableGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant TableGridModel::data(const QModelIndex& index, int role) const
{
    if (index.row() < 0 || index.row() >= int(rows_.size()))
        return {};
    const TableRow& row = rows_[index.row()];
    const State state = RowState(row);
    switch (role) {
        case Qt::DisplayRole: {
            const int column = index.column();
            if (column == 0)
                return Text(row.name1);
            if (column == 1)
                return Text(row.name2);
            if (!row.keyNote.empty())
                return column == kFirstCount ? Text(row.keyNote) : QString();
            return column < kColumns ? Text(row.counts[column - 2]) : QString();
        }
        case Qt::ToolTipRole: {
            if (row.keyNote.empty() || index.column() < kFirstCount)
                return {};
            return Text(row.keyNote) +
                   QStringLiteral(
                       ". Its counts are not shown: rows that share a key value cannot "
                       "be told apart.");
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (state == kCurrent)
                return ColorFromColorRef(kCurrentBackground);
            return index.row() % 2 ? ColorFromColorRef(kOddRowBackground) : QColor(Qt::white);
        case Qt::ForegroundRole:
            if (state == kCurrent)
                return QColor(Qt::white);
            return state == kStarted ? QColor(Qt::black) : ColorFromColorRef(kWaitingText);
        case StateRole:
            return int(state);
        default:
            return {};
    }
}

QVariant TableGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromLatin1(kCaptions[section]);
}

void TableGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem plain = option;
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
    QStyledItemDelegate::paint(painter, plain, index);
}

TableGridHeader::TableGridHeader(const QFont& bold, const QFont& plain, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), bold_(bold), plain_(plain)
{
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    // The widths follow the grid's width; the user does not drag them.
    setSectionResizeMode(QHeaderView::Fixed);
}

QSize TableGridHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(QFontMetrics(bold_).height() + 8);
    return size;
}

void TableGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    painter->fillRect(rect, ColorFromColorRef(kHeaderBackground));
    painter->setPen(ColorFromColorRef(kHeaderLine));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    const bool name = logicalIndex < 2;
    painter->setFont(name ? bold_ : plain_);
    painter->setPen(Qt::black);
    const QString text =
        model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->drawText(
        rect.adjusted(4, 0, -2, -1), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(painter->font()).elidedText(text, Qt::ElideRight, rect.width() - 6));
    painter->restore();
}
