#include "output/statement_emitter.h"

#include "platform/automation/wide_text.h"
#include "sqlexec/text_file_writer.h"

ScriptWriteError::ScriptWriteError(std::wstring text)
    : std::runtime_error(automation::ToUtf8(text)), text_(std::move(text))
{
}

void StatementEmitter::Write(const std::wstring& text)
{
    if (!file_.Write(text))
        throw ScriptWriteError(file_.GetError());
}

void StatementEmitter::Insert(const DbRecord& record)
{
    if (collected_)
        return collected_->push_back(record);
    Write(statements_.Insert(record));
}

void StatementEmitter::Update(const DbRecord* target, const DbRecord& source,
                              const ModifiedDiffItem* item)
{
    Write(statements_.Update(target, source, item));
}

void StatementEmitter::Delete(const DbRecord& record)
{
    if (collected_)
        return collected_->push_back(record);
    Write(statements_.Delete(record));
}

void StatementEmitter::Equal(const DbRecord& record)
{
    if (auto text = statements_.Equal(record))
        Write(*text);
}
