// The script document of the script runner: a script's text and file, loaded in whatever
// encoding the file's byte-order mark names and saved back in that same encoding.
#pragma once

#include <memory>
#include <string>

#include "sqlexec/text_encoder.h"

namespace SQLExecutor {

class ScriptHelper {
public:
    ScriptHelper() = default;
    ScriptHelper(const ScriptHelper&) = delete;
    ScriptHelper& operator=(const ScriptHelper&) = delete;
    virtual ~ScriptHelper();

    // Reads the file into the text. The file name becomes `name` even when the load fails; the
    // text then keeps what it had and GetError says why.
    bool Load(const std::wstring& name);

    const std::wstring& GetText() const { return text_; }
    void ClearText() { text_.clear(); }

    bool IsUntitled() const { return fileName_.empty(); }
    const std::wstring& GetFileName() const { return fileName_; }

    // Sets the file name, then saves.
    bool SaveAs(const std::wstring& name, const std::wstring& text);

    // Writes `text` to the file in the loaded file's encoding (ANSI for a new script), with
    // every LF written as CR LF. True only when the whole text reached the file and the file was
    // closed cleanly. Text that the ANSI code page cannot hold is saved as UTF-8 with its
    // byte-order mark instead, and the script keeps that encoding.
    bool Save(const std::wstring& text);

    // True when the last save turned an ANSI script into UTF-8.
    bool SavedAsUtf8() const { return savedAsUtf8_; }
    // Why the last save failed, in words for the user; empty after a successful one.
    const std::wstring& GetSaveError() const { return saveError_; }

    // The error of the last failed load.
    const std::wstring& GetError() const { return error_; }
    // True when the last load failed.
    bool HasError() const { return hasError_; }

private:
    static bool AnsiCanHold(const std::wstring& text);

    std::wstring text_;
    std::wstring fileName_;
    std::unique_ptr<ITextEncoder> encoder_;
    bool hasError_ = false;
    std::wstring error_;
    bool savedAsUtf8_ = false;
    std::wstring saveError_;
};

}  // namespace SQLExecutor
