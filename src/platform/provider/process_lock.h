// Shared and exclusive opens of a database counted inside this process only:
// the fallback for genuine Access files in folders where no lock file can be
// made (read-only folders), where other processes cannot be told apart.
#pragma once

#include <memory>
#include <string>

namespace provider {

class ProcessLock {
public:
    // A token holding the lock until its last copy goes; null when another
    // open in this process holds a conflicting one.
    static std::shared_ptr<void> Acquire(const std::string& key, bool exclusive);
};

}  // namespace provider
