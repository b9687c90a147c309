// One database side of the comparison read through the provider's ADO objects:
// row counts through Connection.Execute and ordered rows through static,
// server-side Recordsets positioned by AbsolutePosition.
#pragma once

#include <memory>
#include <string>

#include "compare/record_cursor.h"
#include "database/connection_settings.h"
#include "database/db_connection.h"

class AdoRecordConnection : public RecordConnection {
public:
    // Keeps its own copy of the settings; the database opens (exclusively) on first use.
    explicit AdoRecordConnection(const ConnectionSettings& settings);
    ~AdoRecordConnection() override;

    std::unique_ptr<RecordCursor> CreateCursor(const std::wstring& statement) override;
    automation::Variant ExecuteScalar(const std::wstring& statement) override;
    void Close() override;

    DbConnection& Connection() { return connection_; }
    // The database as the comparison holds it: every read of the run sees the state it had
    // when the run first opened it. Once closed it is not opened again, as another program
    // may have changed it meanwhile: a read then raises ComError.
    DbConnection& Held();

private:
    ConnectionSettings settings_;
    DbConnection connection_;
    bool opened_ = false;
    bool closed_ = false;
};
