// Opening a database as an ADO connection or an ADOX catalog.
#include "database/db_connection.h"

#include <atomic>

#include "database/provider_prefix.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/connection_string.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "platform/provider/provider_classes.h"
#include "platform/provider/session.h"

namespace {

std::atomic<DbConnection::Program> g_program{DbConnection::Program::Comparison};

}  // namespace

std::wstring FormatComError(const automation::ComError& error)
{
    if (error.Description().empty())
        return {};
    return L"\r\nError: " + error.Description();
}

void DbConnection::SetProgram(Program program)
{
    g_program = program;
}

DbConnection::Program DbConnection::CurrentProgram()
{
    return g_program;
}

std::wstring DbConnection::BuildConnectionString(const ConnectionSettings& s)
{
    // Each value is quoted where it needs it: a ';' or a quote in a path or a password must not
    // end the value and start another setting (another Data Source above all).
    using provider::QuoteConnectionValue;
    std::wstring text = ProviderPrefix(s.path).Text();
    if (!s.databasePassword.empty())
        text += L";Jet OLEDB:Database Password=" + QuoteConnectionValue(s.databasePassword);
    if (!s.systemDatabase.empty())
        text += L";Jet OLEDB:System database=" + QuoteConnectionValue(s.systemDatabase);
    if (!s.userName.empty())
        text += L";User ID=" + QuoteConnectionValue(s.userName);
    if (!s.userPassword.empty())
        text += L";Password=" + QuoteConnectionValue(s.userPassword);
    return text;
}

DbConnection::DbConnection(const ConnectionSettings* settings)
    : settings_(settings), connectionString_(BuildConnectionString(*settings))
{
    // The programs register the provider's classes at start-up; this makes
    // sure of it for every user of the layer (it happens once per process).
    provider::RegisterProviderClasses();
}

DbConnection::~DbConnection()
{
    catalog_.reset();
    daoDatabase_.reset();
    daoEngine_.reset();
    connection_.reset();
}

const automation::Ptr<provider::adodb::Connection>& DbConnection::Open()
{
    if (state_ == 1)
        return connection_;
    Close();
    try {
        if (!adoCreated_) {
            connection_ =
                automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
            // The comparison keeps everybody else out of its databases while
            // it reads them; the script runner leaves the provider's default.
            if (CurrentProgram() == Program::Comparison)
                connection_->SetMode(provider::adodb::adModeShareExclusive);
            adoCreated_ = true;
        }
        connection_->Open(connectionString_, L"", L"", 0);
        // Nobody else writes the file while the comparison has it open, not even a program
        // that knows nothing of the lock files; and every read of it sees one state.
        if (CurrentProgram() == Program::Comparison) {
            try {
                connection_->OpenSession().Hold();
            } catch (...) {
                connection_->Close();
                throw;
            }
        }
    } catch (const automation::ComError& e) {
        throw DbOpenException(L"Can't open database '" + settings_->path + L"'\n" +
                              FormatComError(e));
    }
    state_ = 1;
    return connection_;
}

const automation::Ptr<provider::adox::Catalog>& DbConnection::OpenCatalog()
{
    if (state_ == 3)
        return catalog_;
    Close();
    catalog_ = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog_->SetActiveConnection(connectionString_);
    state_ = 3;
    return catalog_;
}

const automation::Ptr<provider::dao::Database>& DbConnection::OpenDatabaseDao()
{
    if (state_ == 2)
        return daoDatabase_;
    Close();
    bool comparison = CurrentProgram() == Program::Comparison;
    std::wstring openFailure = L"Can't open database '" + settings_->path + L"'\n";
    if (!daoCreated_) {
        automation::ComError lastFailure(automation::E_FAIL, L"");
        for (const wchar_t* progId :
             {L"DAO.DBEngine.120", L"DAO.DBEngine.36", L"DAO.DBEngine.35"}) {
            try {
                daoEngine_ = automation::CreateObjectAs<provider::dao::DBEngine>(progId);
                break;
            } catch (const automation::ComError& e) {
                lastFailure = e;
            }
        }
        if (!daoEngine_) {
            // The script runner goes on to the open, which fails for want of
            // an engine: its message is the usual open failure.
            if (comparison)
                throw DbOpenException(L"Can't initialize DAO.");
            throw DbOpenException(openFailure + FormatComError(lastFailure));
        }
        try {
            if (comparison) {
                if (!settings_->systemDatabase.empty())
                    daoEngine_->SetSystemDB(settings_->systemDatabase);
                if (!settings_->userName.empty()) {
                    daoEngine_->SetDefaultUser(settings_->userName);
                    daoEngine_->SetDefaultPassword(settings_->userPassword);
                }
            }
        } catch (const automation::ComError& e) {
            throw DbOpenException(openFailure + FormatComError(e));
        }
        daoCreated_ = true;
    }
    // Both programs pass the database password: without it a protected
    // database cannot be opened for its relations at all.
    std::wstring connect;
    if (!settings_->databasePassword.empty())
        connect = L";PWD=" + provider::QuoteConnectionValue(settings_->databasePassword);
    try {
        daoDatabase_ =
            daoEngine_->OpenDatabase(settings_->path, automation::Variant(false),
                                     automation::Variant(false), automation::Variant(connect));
    } catch (const automation::ComError& e) {
        throw DbOpenException(openFailure + FormatComError(e));
    }
    state_ = 2;
    return daoDatabase_;
}

void DbConnection::Close()
{
    int was = state_;
    state_ = 0;
    if (was == 1) {
        connection_->Close();
    } else if (was == 2 && daoDatabase_) {
        daoDatabase_->Close();
    } else if (was == 3 && catalog_) {
        // A catalog keeps a connection of its own; left open it would hold
        // the database against the next exclusive open, so it goes now.
        automation::Ptr<provider::adodb::Connection> own = catalog_->ActiveConnection();
        catalog_.reset();
        if (own && own->State() == provider::adodb::adStateOpen)
            own->Close();
    }
}
