// The base of every object that threads share under its own lock. The lock is
// re-entrant: owners call their own locked operations while holding it.
#pragma once

#include <mutex>

class LockedObject {
public:
    LockedObject() = default;
    virtual ~LockedObject() = default;
    LockedObject(const LockedObject&) = delete;
    LockedObject& operator=(const LockedObject&) = delete;

    void Lock() const { mutex_.lock(); }
    void Unlock() const { mutex_.unlock(); }
    std::recursive_mutex& Mutex() const { return mutex_; }

private:
    mutable std::recursive_mutex mutex_;
};

using ObjectLock = std::lock_guard<std::recursive_mutex>;
