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
    if (!encoder_)
        encoder_ = std::make_unique<TextEncoderASCII>();
    TextFileWriter writer(fileName_, encoder_.get());
    if (!writer.Open())
        return false;
    std::wstring copy = text;
    ReplaceAll(copy, L"\n", L"\r\n");
    const bool written = writer.Write(copy);
    // A failed close may have lost buffered bytes: that is a failed save too.
    const bool closed = writer.Close();
    return written && closed;
}

}  // namespace SQLExecutor
