// Loading and saving go through the script-file reader and the text-file writer, so a script
// keeps its encoding and byte-order mark across a load and a save.
#include "sqlexec/script_helper.h"

#include "output/text_utils.h"
#include "sqlexec/script_file_reader.h"
#include "sqlexec/text_file_writer.h"

namespace SQLExecutor {

ScriptHelper::~ScriptHelper() = default;

bool ScriptHelper::Load(const std::wstring& name)
{
    fileName_ = name;
    encoder_.reset();
    hasError_ = false;
    ScriptFileReader reader(name);
    if (!reader.Open() || !reader.Read(text_)) {
        hasError_ = true;
        error_ = reader.GetError();
        return false;
    }
    encoder_ = reader.TakeEncoder();
    return true;
}

bool ScriptHelper::SaveAs(const std::wstring& name, const std::wstring& text)
{
    fileName_ = name;
    return Save(text);
}

bool ScriptHelper::Save(const std::wstring& text)
{
    savedAsUtf8_ = false;
    saveError_.clear();
    if (!encoder_)
        encoder_ = std::make_unique<TextEncoderASCII>();
    std::wstring copy = text;
    ReplaceAll(copy, L"\n", L"\r\n");
    if (dynamic_cast<TextEncoderASCII*>(encoder_.get()) && !AnsiCanHold(copy)) {
        // The ANSI code page would have to drop characters; UTF-8 with its mark keeps them and
        // reads back as the same text. The script stays UTF-8 from now on.
        encoder_ = std::make_unique<TextEncoderUTF8>();
        savedAsUtf8_ = true;
    }
    TextFileWriter writer(fileName_, encoder_.get());
    bool saved = writer.Open() && writer.Write(copy);
    // A failed close may have lost buffered bytes: that is a failed save too.
    saved = writer.Close() && saved;
    if (!saved)
        saveError_ = writer.GetReason().empty() ? writer.GetError() : writer.GetReason();
    return saved;
}

bool ScriptHelper::AnsiCanHold(const std::wstring& text)
{
    TextEncoderASCII ansi;
    try {
        size_t length = 0;
        ansi.Encode(text, length);
        return true;
    } catch (const TextEncodeError&) {
        return false;
    }
}

}  // namespace SQLExecutor
