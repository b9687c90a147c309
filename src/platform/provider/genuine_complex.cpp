// Reading the hidden value tables of attachment and multi-value columns.
#include "platform/provider/genuine_complex.h"

#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/sha.h>
#include <cryptopp/zlib.h>

#include <algorithm>

#include "platform/automation/wide_text.h"
#include "platform/provider/catalog.h"
#include "platform/provider/mdb/mdb_bytes.h"
#include "platform/provider/mdb/mdb_database.h"

namespace provider {

using automation::Variant;

namespace {

constexpr uint32_t kDeflated = 1;  // the attachment data's first word

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return Catalog::Fold(a) == Catalog::Fold(b);
}

int ColumnIndex(const mdb::TableInfo& t, const std::wstring& name)
{
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (SameName(t.columns[i].name, name))
            return static_cast<int>(i);
    return -1;
}

std::wstring TextOf(const Variant& v)
{
    if (v.IsNull() || v.IsEmpty())
        return L"";
    if (v.vt() == automation::VT_BSTR)
        return v.bstrVal();
    return automation::ChangeType(v, automation::VT_BSTR).bstrVal();
}

// Binary, long binary and the types that read as their stored bytes (ADO's type codes).
bool IsBinaryType(int adoType)
{
    return adoType == 128 || adoType == 204 || adoType == 205;
}

int32_t IdOf(const Variant& v)
{
    return v.vt() == automation::VT_I4 ? v.lVal() : -1;
}

std::wstring Joined(std::vector<std::wstring> items, const wchar_t* separator)
{
    std::sort(items.begin(), items.end());
    std::wstring out;
    for (const auto& item : items)
        out += (out.empty() ? L"" : separator) + item;
    return out;
}

}  // namespace

std::wstring AttachmentText(const std::wstring& name, const std::wstring& type,
                            const std::vector<uint8_t>& fileData)
{
    // The stored data: a word saying whether it is deflated, the length of
    // what it holds, then that; inside, a header of its own length (with the
    // file's extension) before the file's bytes. Data that does not read so
    // is described as it is stored.
    std::string content(fileData.begin(), fileData.end());
    if (fileData.size() >= 8) {
        std::string decoded;
        const uint32_t flag = mdb::Le32(fileData.data());
        try {
            if (flag == kDeflated)
                CryptoPP::StringSource(
                    fileData.data() + 8, fileData.size() - 8, true,
                    new CryptoPP::ZlibDecompressor(new CryptoPP::StringSink(decoded)));
            else if (flag == 0)
                decoded.assign(fileData.begin() + 8, fileData.end());
        } catch (const CryptoPP::Exception&) {
            decoded.clear();
        }
        if (decoded.size() >= 4) {
            const uint32_t header = mdb::Le32(reinterpret_cast<const uint8_t*>(decoded.data()));
            if (header >= 4 && header <= decoded.size())
                content = decoded.substr(header);
        }
    }
    std::string digest(CryptoPP::SHA1::DIGESTSIZE, '\0');
    CryptoPP::SHA1().CalculateDigest(reinterpret_cast<CryptoPP::byte*>(digest.data()),
                                     reinterpret_cast<const CryptoPP::byte*>(content.data()),
                                     content.size());
    std::string hex;
    CryptoPP::StringSource(digest, true,
                           new CryptoPP::HexEncoder(new CryptoPP::StringSink(hex), false));
    return name + L" (" + type + L", " + std::to_wstring(content.size()) + L" bytes, sha1 " +
           automation::FromUtf8(hex) + L")";
}

ComplexColumns::ComplexColumns(const mdb::MdbDatabase& db)
{
    const mdb::TableInfo* complex = db.FindTable(L"MSysComplexColumns");
    if (!complex)
        return;
    const int cName = ColumnIndex(*complex, L"ColumnName"),
              cFlat = ColumnIndex(*complex, L"FlatTableID"),
              cTable = ColumnIndex(*complex, L"ConceptualTableID");
    if (cName < 0 || cFlat < 0 || cTable < 0)
        return;
    auto reader = db.OpenTable(complex->name);
    while (reader->Next()) {
        const std::wstring name = TextOf(reader->Value(cName));
        const int32_t flatId = IdOf(reader->Value(cFlat)), tableId = IdOf(reader->Value(cTable));
        const mdb::TableInfo* flat = nullptr;
        for (const auto& t : db.Tables())
            if (t.objectId == flatId && t.kind != mdb::TableKind::LinkedTable &&
                t.kind != mdb::TableKind::LinkedOdbc)
                flat = &t;
        if (!flat)
            continue;
        // The value table: the owner's id ("_" + column name), an AutoNumber
        // of its own, and the values.
        const int key = ColumnIndex(*flat, L"_" + name);
        if (key < 0)
            continue;
        std::vector<int> values;
        for (size_t i = 0; i < flat->columns.size(); ++i)
            if (static_cast<int>(i) != key && !flat->columns[i].autoIncrement)
                values.push_back(static_cast<int>(i));
        const int fileData = ColumnIndex(*flat, L"FileData"),
                  fileName = ColumnIndex(*flat, L"FileName"),
                  fileType = ColumnIndex(*flat, L"FileType");
        Column column;
        if (fileData >= 0 && fileName >= 0 && fileType >= 0) {
            column.kind = Kind::Attachment;
        } else if (values.size() == 1 && IsBinaryType(flat->columns[values[0]].adoType)) {
            column.kind = Kind::Bytes;
        } else if (values.size() == 2 && std::count_if(values.begin(), values.end(), [&](int i) {
                                             const int type = flat->columns[i].mdbType;
                                             return type == mdb::kMdbMemo ||
                                                    type == mdb::kMdbDateTime;
                                         }) == 2) {
            column.kind = Kind::VersionHistory;
        } else {
            column.kind = Kind::MultiValue;
        }
        auto rows = db.OpenTable(flat->name);
        while (rows->Next()) {
            std::wstring item;
            if (column.kind == Kind::Bytes) {
                const Variant& data = rows->Value(values[0]);
                if (data.IsByteArray())
                    column.bytes[IdOf(rows->Value(key))].push_back(data.parray().bytes());
                continue;
            }
            if (column.kind == Kind::Attachment) {
                const Variant& data = rows->Value(fileData);
                item = AttachmentText(
                    TextOf(rows->Value(fileName)), TextOf(rows->Value(fileType)),
                    data.IsByteArray() ? data.parray().bytes() : std::vector<uint8_t>());
            } else {
                for (int i : values)
                    item += (item.empty() ? L"" : L", ") + TextOf(rows->Value(i));
            }
            column.items[IdOf(rows->Value(key))].push_back(std::move(item));
        }
        columns_[{tableId, Catalog::Fold(name)}] = std::move(column);
    }
}

const ComplexColumns::Column* ComplexColumns::Find(const mdb::TableInfo& table,
                                                   const std::wstring& column) const
{
    const auto found = columns_.find({table.objectId, Catalog::Fold(column)});
    return found == columns_.end() ? nullptr : &found->second;
}

ComplexColumns::Kind ComplexColumns::KindOf(const mdb::TableInfo& table,
                                            const std::wstring& column) const
{
    const Column* c = Find(table, column);
    return c ? c->kind : Kind::None;
}

Variant ComplexColumns::Value(const mdb::TableInfo& table, const std::wstring& column,
                              const Variant& id) const
{
    const Column* c = Find(table, column);
    if (!c)
        return Variant::Null();
    if (c->kind == Kind::Bytes) {
        const auto found = c->bytes.find(IdOf(id));
        if (found == c->bytes.end() || found->second.empty())
            return Variant::Null();
        std::vector<std::vector<uint8_t>> items = found->second;
        std::sort(items.begin(), items.end());
        std::vector<uint8_t> joined;
        for (const auto& item : items)
            joined.insert(joined.end(), item.begin(), item.end());
        return Variant(automation::SafeArray(std::move(joined)));
    }
    const auto items = c->items.find(IdOf(id));
    if (items == c->items.end() || items->second.empty())
        return Variant::Null();
    return Variant(Joined(items->second, L"; "));
}

}  // namespace provider
