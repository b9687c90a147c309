#include "compare/table_result_node.h"

#include "compare/result_store.h"

TableResultNode::TableResultNode(ResultStore& store, int tableIndex, bool firstOnly,
                                 bool secondOnly, bool modified, bool equal)
    : store_(store),
      tableIndex_(tableIndex),
      firstOnly_(firstOnly),
      secondOnly_(secondOnly),
      modified_(modified),
      equal_(equal)
{
}

std::vector<RecordDiffItem*> TableResultNode::GetRows(int start, int count)
{
    pools_.Rewind();
    return rows_.GetRows(start, count, pools_);
}

const CaptionList* TableResultNode::Captions() const
{
    return store_.ColumnCaptionsAt(tableIndex_);
}

void TableResultNode::Update()
{
    store_.DeliverNewRecords(*this, tableIndex_);
}

void TableResultNode::Receive(const ResultRowSource& source)
{
    deliveredItems_ = source.Visit(deliveredItems_, *this, false, nullptr);
    if (source.RestCount() > deliveredRest_) {
        AddRest(source.RestSide(), source.RestFirstRow(), source.RestCount());
        deliveredRest_ = source.RestCount();
    }
}

void TableResultNode::VisitEqual(EqualSideRecordItem& item)
{
    if (equal_)
        rows_.AddCopyOf(item);
}

void TableResultNode::VisitModified(ModifiedDiffItem& item)
{
    if (modified_)
        rows_.AddCopyOf(item);
}

void TableResultNode::VisitSecondOnly(SecondSideRecordItem& item)
{
    if (secondOnly_)
        rows_.AddCopyOf(item);
}

void TableResultNode::VisitFirstOnly(SideRecordItem& item)
{
    if (firstOnly_)
        rows_.AddCopyOf(item);
}

void TableResultNode::AddRest(int side, int firstRow, int count)
{
    if ((side == ResultRowSource::kDatabase1 && firstOnly_) ||
        (side == ResultRowSource::kDatabase2 && secondOnly_))
        rows_.SetRestRaw(side, firstRow, count);
}
