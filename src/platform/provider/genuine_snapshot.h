// A genuine Access file (Jet 3, Jet 4 or ACE) imported in one pass into a
// private native store, so that every face of the provider (ADO, ADOX, DAO,
// schema rowsets, ordering) reads it exactly as it reads a native file. The
// snapshot lives in a private temporary folder and goes when its last user
// lets it go, or, when its process was killed, with the next snapshot made by
// any process; the genuine file is only ever opened for reading.
#pragma once

#include <memory>
#include <string>

namespace provider {

class GenuineSnapshot {
public:
    // The snapshot of `path`, shared with the other connections of this
    // process while the file is unchanged (same inode, size and modification
    // time), imported otherwise. Checks the database password where the
    // format lets us read it. Raises ComError for a wrong password or a
    // damaged, truncated or unreadable file.
    static std::shared_ptr<GenuineSnapshot> Acquire(const std::wstring& path,
                                                    const std::wstring& password);

    ~GenuineSnapshot();
    GenuineSnapshot(const GenuineSnapshot&) = delete;
    GenuineSnapshot& operator=(const GenuineSnapshot&) = delete;

    // The native store holding the imported catalog and rows (UTF-8 path).
    const std::string& StorePath() const { return storePath_; }

private:
    GenuineSnapshot() = default;

    std::string folder_;
    std::string storePath_;
    int ownerLock_ = -1;  // the owner file, locked while this process lives
};

}  // namespace provider
