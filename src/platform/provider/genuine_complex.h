// The content of the attachment and multi-value columns of a genuine Access
// file (Access 2007 and later). The row holds only the id of its values; they
// lie in a hidden table of their own, one per column, that the engine's
// MSysComplexColumns names. A column reads as a stable text of its content,
// so that two rows compare equal only when their attachments or values do.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/variant.h"

namespace provider {

namespace mdb {
class MdbDatabase;
struct TableInfo;
}  // namespace mdb

class ComplexColumns {
public:
    enum class Kind {
        None,            // not a complex column
        Attachment,      // "name (type, N bytes, sha1 ...)" per file
        MultiValue,      // the values, each as text
        VersionHistory,  // the hidden history of an append-only memo
        Bytes,           // items of a type that has no meaning here: their stored bytes
    };

    // Reads every complex column of `db` with its values.
    explicit ComplexColumns(const mdb::MdbDatabase& db);

    Kind KindOf(const mdb::TableInfo& table, const std::wstring& column) const;
    // The content for the id a row holds: its items sorted and joined by "; "
    // (for Bytes, the items' bytes one after another, in byte order), Null
    // when it has none.
    automation::Variant Value(const mdb::TableInfo& table, const std::wstring& column,
                              const automation::Variant& id) const;

private:
    struct Column {
        Kind kind = Kind::None;
        std::map<int32_t, std::vector<std::wstring>> items;  // by value id
        std::map<int32_t, std::vector<std::vector<uint8_t>>> bytes;  // by value id, for Bytes
    };
    const Column* Find(const mdb::TableInfo& table, const std::wstring& column) const;

    std::map<std::pair<int32_t, std::wstring>, Column> columns_;  // by table id, folded name
};

// The text of one attachment: its file name, type, and its data (stored
// deflated or raw behind a small header of its own) as length and SHA-1.
std::wstring AttachmentText(const std::wstring& name, const std::wstring& type,
                            const std::vector<uint8_t>& fileData);

}  // namespace provider
