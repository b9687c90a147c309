// The libmdb handle and the byte-level reading that libmdb only offers as
// formatted text: row slots, long-value chains and text decoding.
#include "platform/provider/mdb/mdb_session.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/mdb/mdb_bytes.h"

namespace provider::mdb {
namespace {

constexpr uint16_t kRowOffsetMask = 0x1FFF;
constexpr uint8_t kDataPage = 0x01;
constexpr uint8_t kDefinitionPage = 0x02;

bool IsMultiByteCodePage(unsigned cp)
{
    return cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361;
}

std::wstring IconvToWide(const std::string& from, const char* data, size_t size)
{
    std::wstring out;
    iconv_t cd = iconv_open("WCHAR_T", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    out.resize(size + 1);
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    char* dst = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(wchar_t);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // An unmapped byte stands for itself, as Windows' conversion does.
        if (outLeft < sizeof(wchar_t))
            break;
        const wchar_t c = static_cast<unsigned char>(*in);
        std::memcpy(dst, &c, sizeof c);
        dst += sizeof c;
        outLeft -= sizeof c;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft / sizeof(wchar_t));
    return out;
}

std::mutex& MessagesMutex()
{
    static std::mutex m;
    return m;
}

struct MessagesState {
    int depth = 0;
    FILE* saved = nullptr;
    FILE* sink = nullptr;
};

MessagesState& Messages()
{
    static MessagesState state;
    return state;
}

FILE* MessagesSink()
{
    if (const char* log = std::getenv("CRV_MDB_LOG"); log && *log)
        if (FILE* f = std::fopen(log, "a"))
            return f;
    cookie_io_functions_t discard = {};
    discard.write = [](void*, const char*, size_t size) -> ssize_t {
        return static_cast<ssize_t>(size);
    };
    return fopencookie(nullptr, "w", discard);
}

}  // namespace

LibmdbMessages::LibmdbMessages()
{
    std::lock_guard<std::mutex> hold(MessagesMutex());
    MessagesState& m = Messages();
    if (m.depth++ > 0)
        return;
    m.sink = MessagesSink();
    if (!m.sink)
        return;
    std::fflush(stderr);
    m.saved = stderr;
    stderr = m.sink;
}

LibmdbMessages::~LibmdbMessages()
{
    std::lock_guard<std::mutex> hold(MessagesMutex());
    MessagesState& m = Messages();
    if (--m.depth > 0 || !m.sink)
        return;
    stderr = m.saved;
    std::fclose(m.sink);
    m.sink = m.saved = nullptr;
}

MdbSession::MdbSession(const std::filesystem::path& path, const MdbFileHeader& header)
    : header_(header), pathText_(automation::FromUtf8(path.string()))
{
    // MDB_NOFLAGS: libmdb opens the stream read-only; nothing here ever calls a
    // libmdb function that writes.
    mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb_)
        ThrowDamaged(L"the file header cannot be read");
    if (static_cast<uint32_t>(mdb_->fmt->pg_size) != header_.PageSize())
        ThrowDamaged(L"the page size does not match the format");

    unsigned cp = header_.CodePage();
    if (header_.Format() == FileFormat::Jet3) {
        if (cp == 0)
            cp = 1252;
        const std::string name = "CP" + std::to_string(cp);
        if (IsMultiByteCodePage(cp)) {
            singleByteText_ = false;
            iconvName_ = name;
        }
        for (int b = 0; b < 256; ++b)
            codePage_[b] = static_cast<wchar_t>(b);
        for (int b = 0x80; b < 256 && singleByteText_; ++b) {
            const char c = static_cast<char>(b);
            const std::wstring w = IconvToWide(name, &c, 1);
            if (w.size() == 1)
                codePage_[b] = w[0];
        }
    }
}

MdbSession::~MdbSession()
{
    if (mdb_)
        mdb_close(mdb_);
}

void MdbSession::ThrowDamaged(const std::wstring& what) const
{
    throw automation::ComError(
        automation::E_FAIL,
        L"The database file '" + pathText_ + L"' is damaged or truncated: " + what + L".");
}

std::wstring MdbSession::DecodeText(const uint8_t* data, size_t size) const
{
    std::wstring out;
    if (header_.Format() == FileFormat::Jet3) {
        if (!singleByteText_)
            return IconvToWide(iconvName_, reinterpret_cast<const char*>(data), size);
        out.resize(size);
        for (size_t i = 0; i < size; ++i)
            out[i] = codePage_[data[i]];
        return out;
    }
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        // Compressed: runs of one-byte characters (code points 0-255) and of
        // UTF-16 units, each 0x00 byte switching between them.
        out.reserve(size);
        bool compressed = true;
        for (size_t i = 2; i < size;) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += static_cast<wchar_t>(data[i++]);
            } else if (i + 1 < size) {
                out += static_cast<wchar_t>(Le16(data + i));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        out.reserve(size / 2);
        for (size_t i = 0; i + 1 < size; i += 2)
            out += static_cast<wchar_t>(Le16(data + i));
    }
    // wchar_t holds whole code points here: join surrogate pairs.
    size_t w = 0;
    for (size_t r = 0; r < out.size(); ++r) {
        const wchar_t c = out[r];
        if (c >= 0xD800 && c < 0xDC00 && r + 1 < out.size() && out[r + 1] >= 0xDC00 &&
            out[r + 1] < 0xE000) {
            out[w++] = static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (out[r + 1] - 0xDC00));
            ++r;
        } else {
            out[w++] = c;
        }
    }
    out.resize(w);
    return out;
}

bool MdbSession::FindRow(const uint8_t* page, unsigned row, size_t& start, size_t& size,
                         uint16_t* flags) const
{
    const size_t pgSize = header_.PageSize();
    const size_t rco = mdb_->fmt->row_count_offset;
    const unsigned rows = Le16(page + rco);
    if (row >= rows || rco + 2 + 2 * (row + 1) > pgSize)
        return false;
    const uint16_t raw = Le16(page + rco + 2 + 2 * row);
    const size_t begin = raw & kRowOffsetMask;
    const size_t end = row == 0 ? pgSize : (Le16(page + rco + 2 * row) & kRowOffsetMask);
    if (begin < rco + 2 + 2 * rows || begin > end || end > pgSize)
        return false;
    start = begin;
    size = end - begin;
    if (flags)
        *flags = raw & ~kRowOffsetMask;
    return true;
}

bool MdbSession::ReadLongValue(const uint8_t* ref, size_t refSize, std::vector<uint8_t>& out) const
{
    out.clear();
    if (refSize < MDB_MEMO_OVERHEAD)
        return false;
    const uint32_t header = Le32(ref);
    const size_t length = header & 0x3FFFFFFF;
    const uint64_t fileSize = header_.PageCount() * header_.PageSize();
    if (length > fileSize)
        return false;
    if (header & 0x80000000) {  // kept inline, right after the reference
        if (length > refSize - MDB_MEMO_OVERHEAD)
            return false;
        out.assign(ref + MDB_MEMO_OVERHEAD, ref + MDB_MEMO_OVERHEAD + length);
        return true;
    }
    const bool single = header & 0x40000000;
    uint32_t pgRow = Le32(ref + 4);
    out.reserve(length);
    // A chain never visits more pages than the file has; a loop is damage.
    for (uint64_t steps = 0; out.size() < length; ++steps) {
        const uint32_t pg = pgRow >> 8;
        if (pg == 0 || pg >= header_.PageCount() || steps > header_.PageCount())
            return false;
        if (mdb_read_alt_pg(mdb_, pg) != static_cast<ssize_t>(header_.PageSize()))
            return false;
        const uint8_t* page = mdb_->alt_pg_buf;
        size_t start = 0, size = 0;
        if (page[0] != kDataPage || !FindRow(page, pgRow & 0xFF, start, size))
            return false;
        if (single) {
            out.assign(page + start, page + start + std::min(size, length));
            return out.size() == length;
        }
        if (size < 4)
            return false;
        pgRow = Le32(page + start);
        const size_t take = std::min(size - 4, length - out.size());
        out.insert(out.end(), page + start + 4, page + start + 4 + take);
        if (pgRow == 0)
            break;
    }
    return out.size() == length;
}

bool MdbSession::MapRowIsSound(const MdbCatalogEntry& entry, size_t mapSize) const
{
    // The page map is a row of a data page that the definition points to; a
    // zeroed or overwritten page there would read as a map of no pages.
    const ssize_t pgSize = static_cast<ssize_t>(header_.PageSize());
    if (mdb_read_alt_pg(mdb_, entry.table_pg) != pgSize)
        return false;
    const uint32_t pgRow = Le32(mdb_->alt_pg_buf + mdb_->fmt->tab_usage_map_offset);
    const uint32_t page = pgRow >> 8;
    if (page == 0 || page >= header_.PageCount() || mdb_read_alt_pg(mdb_, page) != pgSize)
        return false;
    size_t start = 0, size = 0;
    return mdb_->alt_pg_buf[0] == kDataPage &&
           FindRow(mdb_->alt_pg_buf, pgRow & 0xFF, start, size) && size == mapSize;
}

MdbTableDef* MdbSession::ReadTableDefinition(MdbCatalogEntry* entry) const
{
    const std::wstring name = automation::FromUtf8(entry->object_name);
    if (entry->table_pg == 0 || entry->table_pg >= header_.PageCount())
        ThrowDamaged(L"table '" + name + L"' lies outside the file");
    MdbTableDef* def = mdb_read_table(entry);
    if (!def)
        ThrowDamaged(L"the definition of table '" + name + L"' cannot be read");
    // The page map says which pages hold the table's rows: an inline bitmap
    // (type 0, after a 4-byte base page) or a list of map pages (type 1).
    // libmdb reads past a short map and exits on a map page beyond the end.
    const unsigned char* map = def->usage_map;
    const size_t size = def->map_sz;
    bool sound = map && size >= 1 && size <= header_.PageSize() && MapRowIsSound(*entry, size);
    if (sound && map[0] == 0) {
        sound = size >= 5;
    } else if (sound && map[0] == 1) {
        for (size_t at = 1; at + 4 <= size && sound; at += 4) {
            const uint32_t page = Le32(map + at);
            sound = page < header_.PageCount();
        }
    } else {
        sound = false;
    }
    // Every page the map names must lie inside the file; a file cut short
    // would otherwise just lose the rows of its missing pages.
    if (sound && map[0] == 0) {
        const uint64_t base = Le32(map + 1);
        for (size_t bit = 0; bit < (size - 5) * 8 && sound; ++bit)
            if (map[5 + bit / 8] & (1 << (bit % 8)))
                sound = base + bit < header_.PageCount();
    } else if (sound) {
        const size_t bitsPerPage = (header_.PageSize() - 4) * 8;
        for (size_t at = 1, index = 0; at + 4 <= size && sound; at += 4, ++index) {
            const uint32_t page = Le32(map + at);
            if (page == 0)
                continue;
            if (mdb_read_alt_pg(mdb_, page) != static_cast<ssize_t>(header_.PageSize())) {
                sound = false;
                break;
            }
            const uint8_t* bits = mdb_->alt_pg_buf + 4;
            for (size_t bit = 0; bit < bitsPerPage && sound; ++bit)
                if (bits[bit / 8] & (1 << (bit % 8)))
                    sound = index * bitsPerPage + bit < header_.PageCount();
        }
    }
    if (!sound) {
        mdb_free_tabledef(def);
        ThrowDamaged(L"the page map of table '" + name + L"' is damaged");
    }
    return def;
}

bool MdbSession::ReadDefinition(uint32_t page, std::vector<uint8_t>& out) const
{
    out.clear();
    const size_t pgSize = header_.PageSize();
    // libmdb reads a definition on from its page buffer (columns, then
    // indexes): the buffer and its page go back as they were, or a definition
    // spanning pages reads its indexes from the wrong page.
    const uint32_t savedPage = mdb_->cur_pg;
    std::vector<uint8_t> saved(mdb_->pg_buf, mdb_->pg_buf + pgSize);
    bool sound = true;
    for (uint64_t steps = 0; page != 0 && sound; ++steps) {
        sound = page < header_.PageCount() && steps <= 255 &&
                mdb_read_pg(mdb_, page) == static_cast<ssize_t>(pgSize) &&
                mdb_->pg_buf[0] == kDefinitionPage;
        if (!sound)
            break;
        const uint8_t* buf = mdb_->pg_buf;
        out.insert(out.end(), buf + (out.empty() ? 0 : 8), buf + pgSize);
        page = Le32(buf + 4);
    }
    std::memcpy(mdb_->pg_buf, saved.data(), pgSize);
    mdb_->cur_pg = savedPage;
    return sound && !out.empty();
}

}  // namespace provider::mdb
