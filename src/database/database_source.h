// One side of a comparison: the settings that open a database, the schema loaded from it and the
// error text of the last load. Loading is a wizard task, run on a progress page's worker thread.
#pragma once

#include <memory>
#include <string>

#include "compare/wizard_task.h"
#include "database/connection_settings.h"
#include "database/database_schema.h"

class IProgress;

class DatabaseSource : public WizardTask {
public:
    DatabaseSource() = default;
    ~DatabaseSource() override;

    // The task's work: Load. A load cannot be stopped, so RequestStop keeps the base's no-op.
    void Run(IProgress& progress) override;
    bool Failed() const override { return failed_; }
    std::wstring ErrorText() const override { return errorText_; }

    // Reads the schema of the database the settings name; true on success. On failure the
    // error text is the database path, LF and the reader's text. Each load replaces the schema
    // of the one before, so a failed load leaves no schema behind.
    bool Load(IProgress& progress);

    // Null until a load has succeeded.
    DatabaseSchema* Schema() const { return schema_.get(); }
    // Filled by the database settings page before the load; read by the data comparison and the
    // direct synchronisation.
    ConnectionSettings& Settings() { return settings_; }
    const ConnectionSettings& Settings() const { return settings_; }

private:
    bool failed_ = false;
    std::wstring errorText_;
    std::unique_ptr<DatabaseSchema> schema_;
    ConnectionSettings settings_;
};
