// A new native store in a temporary folder, scripts run against it through the script executor,
// and its rows read back through ADO.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/connection_settings.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/mdb_creator.h"
#include "sqlexec/script_executor.h"
#include "support/temp_dir.h"

namespace sqlexectest {

using Row = std::vector<automation::Variant>;

class ExecutorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        settings.path = automation::FromUtf8((dir / "target.mdb").string());
        SQLExecutor::MdbCreator creator(settings);
        ASSERT_TRUE(creator.Create()) << automation::ToUtf8(creator.GetError());
    }

    // Runs a script; the executor is kept for its stopped flag and error text.
    std::wstring Run(const std::wstring& script, bool echo = false, bool stopOnError = true)
    {
        script_ = script;
        Options options;
        options.stopOnError = stopOnError;
        executor = std::make_unique<SQLExecutor::ScriptExecutor>(settings, script_, echo, options);
        FakeProgress progress;
        return executor->Run(progress);
    }

    // Every row of a query, each value as the provider returns it.
    std::vector<Row> Rows(const std::wstring& sql)
    {
        auto connection =
            automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + settings.path);
        auto rs = automation::CreateObjectAs<provider::adodb::Recordset>(L"ADODB.Recordset");
        rs->Open(automation::Variant(sql), connection, provider::adodb::adOpenStatic,
                 provider::adodb::adLockOptimistic, provider::adodb::adCmdText);
        std::vector<Row> rows;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            Row row;
            for (long i = 0; i < rs->Fields()->Count(); ++i)
                row.push_back(rs->Fields()->Item(i)->Value());
            rows.push_back(std::move(row));
        }
        rs->Close();
        connection->Close();
        return rows;
    }

    // The description the provider gives for a statement run directly through ADO.
    std::wstring ProviderError(const std::wstring& sql)
    {
        auto connection =
            automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + settings.path);
        try {
            connection->Execute(sql, nullptr, provider::adodb::adCmdText);
        } catch (const automation::ComError& e) {
            connection->Close();
            return e.Description();
        }
        connection->Close();
        ADD_FAILURE() << "no error from " << automation::ToUtf8(sql);
        return {};
    }

    testsupport::TempDir dir;
    ConnectionSettings settings;
    std::unique_ptr<SQLExecutor::ScriptExecutor> executor;

private:
    std::wstring script_;
};

}  // namespace sqlexectest
