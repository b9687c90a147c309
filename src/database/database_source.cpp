// Loading one side's schema as a wizard task.
#include "database/database_source.h"

#include "database/schema_reader.h"

DatabaseSource::~DatabaseSource() = default;

void DatabaseSource::Run(IProgress& progress)
{
    Load(progress);
}

bool DatabaseSource::Load(IProgress& progress)
{
    SchemaReader reader(&settings_);
    failed_ = false;
    errorText_.clear();
    // The schema of an earlier load goes now, whatever this one brings: the source never keeps
    // a picture of a database that its last load did not read.
    schema_.reset();
    std::unique_ptr<DatabaseSchema> schema = reader.Read(progress);
    if (reader.HasError()) {
        failed_ = true;
        errorText_ = settings_.path + L"\n" + reader.ErrorText();
        return false;
    }
    schema_ = std::move(schema);
    return true;
}
