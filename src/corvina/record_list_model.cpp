#include "corvina/record_list_model.h"

#include <QPainter>

#include "corvina/colors.h"

namespace {

constexpr std::uint32_t kFirstOnlyBackground = 0xFFF2F2;
constexpr std::uint32_t kSecondOnlyBackground = 0x7FFFFF;
constexpr std::uint32_t kChangedCellBackground = 0xC5E0BA;
constexpr std::uint32_t kSameCellBackground = 0xAFCCA3;
constexpr std::uint32_t kChangedText1 = 0xC80000;
constexpr std::uint32_t kChangedText2 = 0x960000;

QString Text(const std::wstring& text)
{
    return QString::fromWCharArray(text.data(), qsizetype(text.size()));
}

}  // namespace

RecordListModel::RecordListModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordListModel::SetSource(RecordRowSource* source)
{
    beginResetModel();
    source_ = source;
    cache_.SetSource(source);
    readErrorNoted_ = false;
    captions_.clear();
    lines_ = 0;
    if (source_) {
        TakeCaptions();
        lines_ = source_->LineCount();
    }
    endResetModel();
}

void RecordListModel::TakeCaptions()
{
    const CaptionList* captions = source_->ColumnCaptions();
    if (!captions)
        return;
    for (const auto& caption : *captions)
        captions_.push_back(Text(caption));
}

void RecordListModel::Refresh()
{
    if (!source_)
        return;
    if (captions_.isEmpty() && source_->ColumnCaptions()) {
        // The table's result began after its source was made: its columns arrive now.
        SetSource(source_);
        return;
    }
    // Lines are only ever added; the page held may end short of the new ones.
    cache_.Invalidate();
    const int count = source_->LineCount();
    if (count > lines_) {
        beginInsertRows({}, lines_, count - 1);
        lines_ = count;
        endInsertRows();
    }
    if (lines_ > 0 && !captions_.isEmpty())
        emit dataChanged(index(0, 0), index(lines_ - 1, int(captions_.size()) - 1));
}

int RecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || captions_.isEmpty() ? 0 : lines_;
}

int RecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(captions_.size());
}

const RecordLine* RecordListModel::Line(int row) const
{
    if (row < 0 || row >= lines_)
        return nullptr;
    const RecordLine* line = cache_.GetLine(row);
    if (!line)
        NoteReadError();
    return line;
}

void RecordListModel::NoteReadError() const
{
    if (readErrorNoted_ || !source_)
        return;
    const std::wstring error = source_->ReadError();
    if (error.empty())
        return;
    readErrorNoted_ = true;
    // Asked while the view paints: whoever shows the text does so once the paint is over.
    auto* self = const_cast<RecordListModel*>(this);
    QMetaObject::invokeMethod(
        self, [self, text = Text(error)] { emit self->readFailed(text); }, Qt::QueuedConnection);
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const
{
    const RecordLine* line = Line(index.row());
    if (!line)
        return {};
    const int column = index.column();
    const bool hasCell = column >= 0 && column < int(line->cells.size());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return hasCell ? Text(line->cells[column].text) : QString();
        case KindRole:
            return int(line->kind);
        case ChangedRole:
            return hasCell && line->cells[column].changed;
        case ExactRole:
            return hasCell && line->cells[column].exact;
        case Qt::BackgroundRole:
            if (line->kind == RecordLine::kFirstOnly)
                return ColorFromColorRef(kFirstOnlyBackground);
            if (line->kind == RecordLine::kSecondOnly)
                return ColorFromColorRef(kSecondOnlyBackground);
            return {};
        default:
            return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= captions_.size())
        return {};
    return captions_[section];
}

void RecordLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    const int kind = index.data(RecordListModel::KindRole).toInt();
    if (kind != RecordLine::kModifiedFirst && kind != RecordLine::kModifiedSecond) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const bool changed = index.data(RecordListModel::ChangedRole).toBool();
    QRect cell = option.rect.adjusted(0, 0, 0, -1);
    painter->save();
    painter->fillRect(cell,
                      ColorFromColorRef(changed ? kChangedCellBackground : kSameCellBackground));
    // The white line closes the record's two lines off from their neighbours.
    painter->setPen(Qt::white);
    if (kind == RecordLine::kModifiedFirst)
        painter->drawLine(cell.topLeft(), cell.topRight());
    else
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    QColor text = Qt::black;
    if (changed)
        text =
            ColorFromColorRef(kind == RecordLine::kModifiedFirst ? kChangedText1 : kChangedText2);
    painter->setPen(text);
    painter->setFont(option.font);
    const QRect area = cell.adjusted(index.column() == 0 ? 2 : 5, 0, -2, 0);
    const QString value = index.data(Qt::DisplayRole).toString();
    // Both lines of such a cell begin alike; what tells them apart is at the end.
    const Qt::TextElideMode elide =
        index.data(RecordListModel::ExactRole).toBool() ? Qt::ElideLeft : Qt::ElideRight;
    painter->drawText(area,
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs,
                      option.fontMetrics.elidedText(value, elide, area.width()));
    painter->restore();
}
