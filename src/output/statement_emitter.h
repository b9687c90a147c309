// Writes the statements of one table to the script file, one slot per statement kind, and
// frees each statement text as soon as it is written.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "output/record_kind_visitor.h"
#include "output/record_statement_writer.h"

class TextFileWriter;

// A failed write of the script file; carries the writer's error text.
class ScriptWriteError : public std::runtime_error {
public:
    explicit ScriptWriteError(std::wstring text);
    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
};

class StatementEmitter : public RecordEmitter {
public:
    StatementEmitter(const RecordStatementWriter& statements, TextFileWriter& file)
        : statements_(statements), file_(file)
    {
    }

    // Each throws ScriptWriteError when the file refuses the text.
    void Insert(const DbRecord& record) override;
    void Update(const DbRecord* target, const DbRecord& source,
                const ModifiedDiffItem* item) override;
    void Delete(const DbRecord& record) override;
    void Equal(const DbRecord& record) override;

    // While `rows` is set, the records of INSERTs and DELETEs are kept there instead of being
    // written, for a caller that must put them in an order of its own.
    void Collect(std::vector<DbRecord>* rows) { collected_ = rows; }
    void Write(const std::wstring& text);

private:
    const RecordStatementWriter& statements_;
    TextFileWriter& file_;
    std::vector<DbRecord>* collected_ = nullptr;
};
