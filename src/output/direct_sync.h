// Applies a synchronisation script that was just written to its target database: closes the
// comparison's own connections, copies the target file to a time-stamped backup that never
// overwrites a file, then runs the script with the script executor, stopping at the first
// failing statement.
#pragma once

#include <ctime>
#include <string>

#include "compare/wizard_task.h"
#include "database/connection_settings.h"

class ComparisonContext;
namespace SQLExecutor {
class ScriptExecutor;
}

// Copies the file source to the new file target. The copy is written and flushed in target's
// folder before it takes its name, so a copy cut short (a full disk, a killed program) never
// leaves a partial file under that name. Fails with errno set; EEXIST when target exists, which
// is never overwritten.
bool CopyToNewFile(const std::string& source, const std::string& target);

class DirectSync : public WizardTask {
public:
    // direction: 1 = the target is Database1, 2 = Database2; any other value throws
    // std::invalid_argument("Incorrect synchronization direction"). The target is opened with
    // the settings the user gave for it in the context's source (password, workgroup file,
    // user), copied here.
    DirectSync(int direction, std::wstring scriptPath, bool backup, ComparisonContext& context);
    ~DirectSync() override;

    // A started synchronisation runs to its end: RequestStop does nothing.
    void Run(IProgress& progress) override;
    bool Failed() const override { return failed_; }
    std::wstring ErrorText() const override { return errorText_; }

    // The backup name of a target path at a local time: path.Y.M.D_h-m-s.bkp, numbers without
    // leading zeros.
    static std::wstring BackupName(const std::wstring& path, const std::tm& local);

    const std::wstring& TargetPath() const { return target_.path; }

    // Why the synchronisation cannot change the database at path (a genuine Access file, a
    // read-only file or one in a read-only folder); empty when nothing stands in its way.
    static std::wstring TargetRefusal(const std::wstring& path);

private:
    // The refusal of a comparison whose keys do not identify rows; empty when there is none.
    std::wstring SyncKeyRefusal() const;
    bool MakeBackup();
    // Has the run index the key fields of every changed target table that no index covers.
    void IndexKeys(SQLExecutor::ScriptExecutor& executor) const;
    void Fail(std::wstring text);

    int direction_;
    std::wstring scriptPath_;
    bool backup_;
    ConnectionSettings target_;
    ComparisonContext& context_;
    bool failed_ = false;
    std::wstring errorText_;
};
