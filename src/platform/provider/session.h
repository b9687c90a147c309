// One open database and the statements run on it: Access SQL is parsed,
// translated and run atomically; a SELECT hands back a cursor. Every ADO
// connection holds one session while it is open.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/provider/cursor.h"
#include "platform/provider/native_store.h"

namespace provider {

class Session {
public:
    explicit Session(std::unique_ptr<NativeStore> store);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    struct Result {
        std::shared_ptr<Cursor> cursor;  // SELECT only
        long recordsAffected = -1;       // data changes only
    };

    // Runs one statement with its positional parameters. Raises ComError
    // (syntax errors name the statement kind); on failure nothing of the
    // statement stays in the file.
    Result Execute(const std::wstring& text, const std::vector<automation::Variant>& parameters);

    // Releases every cursor and the store (with its lock).
    void Close();
    bool IsOpen() const { return store_ != nullptr; }
    NativeStore& Store() { return *store_; }

private:
    long RunChange(const std::string& sql, const std::vector<automation::Variant>& parameters);
    long RunInsert(const sql::Insert& insert, const Catalog& catalog,
                   const std::vector<automation::Variant>& parameters);
    template <class Work>
    void Atomically(Work&& work);

    // One connection may serve several threads (the comparison's worker and
    // a view re-reading rows); statements and the catalog are run one at a time.
    std::recursive_mutex mutex_;
    std::unique_ptr<NativeStore> store_;
    std::vector<std::weak_ptr<Cursor>> cursors_;
};

}  // namespace provider
