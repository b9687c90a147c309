// A table that lives in another database and is only linked into this one. Linked
// tables carry no fields and never take part in a comparison.
#pragma once

#include <string>

#include "database/schema_object.h"

class LinkedTable : public SchemaObject {
public:
    LinkedTable(std::wstring name, std::wstring dataSource, std::wstring remoteTableName);
    ~LinkedTable() override;

    // The linked database (a file path, or "ODBC;" and a provider string).
    const std::wstring& DataSource() const { return dataSource_; }
    const std::wstring& RemoteTableName() const { return remoteTableName_; }

private:
    std::wstring dataSource_;
    std::wstring remoteTableName_;
};

// An ODBC pass-through link; its data source is "ODBC;" followed by the link's
// provider string.
class PassThroughTable : public LinkedTable {
public:
    using LinkedTable::LinkedTable;
    ~PassThroughTable() override;
};
