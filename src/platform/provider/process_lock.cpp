// In-process open counts per database.
#include "platform/provider/process_lock.h"

#include <map>
#include <mutex>

namespace provider {

namespace {

struct Holders {
    int shared = 0;
    bool exclusive = false;
};

std::mutex& LockMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, Holders>& Table()
{
    static std::map<std::string, Holders> table;
    return table;
}

}  // namespace

std::shared_ptr<void> ProcessLock::Acquire(const std::string& key, bool exclusive)
{
    std::lock_guard<std::mutex> hold(LockMutex());
    Holders& h = Table()[key];
    if (h.exclusive || (exclusive && h.shared > 0))
        return nullptr;
    if (exclusive)
        h.exclusive = true;
    else
        ++h.shared;
    return std::shared_ptr<void>(new int(0), [key, exclusive](void* p) {
        delete static_cast<int*>(p);
        std::lock_guard<std::mutex> release(LockMutex());
        Holders& held = Table()[key];
        if (exclusive)
            held.exclusive = false;
        else
            --held.shared;
        if (!held.exclusive && held.shared == 0)
            Table().erase(key);
    });
}

}  // namespace provider
