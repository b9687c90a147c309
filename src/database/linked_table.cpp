// Linked and pass-through tables.
#include "database/linked_table.h"

#include <utility>

LinkedTable::LinkedTable(std::wstring name, std::wstring dataSource, std::wstring remoteTableName)
    : SchemaObject(std::move(name)),
      dataSource_(std::move(dataSource)),
      remoteTableName_(std::move(remoteTableName))
{
}

LinkedTable::~LinkedTable() = default;

PassThroughTable::~PassThroughTable() = default;
