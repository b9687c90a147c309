// One open libmdb handle with what every reader of it needs: the page layout,
// the text decoding of the file's format and the reading of long values
// (memo and OLE data kept outside the row).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/provider/mdb/mdb_file_header.h"
#include "platform/provider/mdb/mdb_library.h"

namespace provider::mdb {

// libmdb prints what it finds odd in a file ("ERROR: can't find index",
// "CRITICAL: ...") straight to the standard error. While a guard lives, those
// lines go to the file that CRV_MDB_LOG names (appended), or nowhere: what a
// user must know comes in the provider's own errors. The C library's stderr
// is the process's, so the guard swaps it for every thread; guards nest.
class LibmdbMessages {
public:
    LibmdbMessages();
    ~LibmdbMessages();
    LibmdbMessages(const LibmdbMessages&) = delete;
    LibmdbMessages& operator=(const LibmdbMessages&) = delete;
};

class MdbSession {
public:
    // Opens the file read-only; throws ComError when libmdb cannot.
    MdbSession(const std::filesystem::path& path, const MdbFileHeader& header);
    ~MdbSession();
    MdbSession(const MdbSession&) = delete;
    MdbSession& operator=(const MdbSession&) = delete;

    MdbHandle* Handle() const { return mdb_; }
    const MdbFileHeader& Header() const { return header_; }
    const std::wstring& PathText() const { return pathText_; }

    // Text as the file stores it: the code page for Jet 3, UTF-16 with the
    // optional one-byte compression for Jet 4 and ACE.
    std::wstring DecodeText(const uint8_t* data, size_t size) const;

    // The bytes of a memo or OLE value from its 12-byte reference in the row.
    // Returns false when the reference or its page chain is damaged.
    bool ReadLongValue(const uint8_t* ref, size_t refSize, std::vector<uint8_t>& out) const;

    // Finds row `row` of the page held in `page`; false when it is not there.
    bool FindRow(const uint8_t* page, unsigned row, size_t& start, size_t& size,
                 uint16_t* flags = nullptr) const;

    // Reads the whole definition of the table whose first definition page is
    // `page`, following its continuation pages; libmdb's page buffer is left as it was.
    bool ReadDefinition(uint32_t page, std::vector<uint8_t>& out) const;

    // mdb_read_table, then the checks libmdb leaves out before it walks the
    // table's page map; throws ComError when the definition is damaged.
    MdbTableDef* ReadTableDefinition(MdbCatalogEntry* entry) const;

    [[noreturn]] void ThrowDamaged(const std::wstring& what) const;

private:
    bool MapRowIsSound(const MdbCatalogEntry& entry, size_t mapSize) const;

    MdbHandle* mdb_ = nullptr;
    MdbFileHeader header_;
    std::wstring pathText_;
    bool singleByteText_ = true;
    wchar_t codePage_[256] = {};
    std::string iconvName_;  // multi-byte Jet 3 code pages only
};

}  // namespace provider::mdb
