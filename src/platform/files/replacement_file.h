// Saving a file so that a failure never leaves it half-written: the new content goes to a
// temporary file beside the file it replaces and takes its place only once it is complete.
// Every file the programs save (scripts, reports, workbooks) goes through here.
#pragma once

#include <cstdio>
#include <string>

namespace files {

// One save of one file. A symbolic link is followed to the file it names, which is saved there,
// so the link stays a link. A file with several hard links keeps its inode: the complete new
// content is first written to the temporary file and then copied into the file, so that every
// name sees it.
class ReplacementFile {
public:
    // `target` is the file to save, a UTF-8 path.
    explicit ReplacementFile(std::string target);
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Drops an uncommitted temporary file.
    ~ReplacementFile();

    // Opens the file to write the new content into: a new temporary file beside the saved file
    // (with its permissions when it exists), or the target itself when that is a device or a
    // pipe, which cannot be replaced. Null on failure, with ErrorText saying why. The stream
    // belongs to the caller, who closes it before Commit (or hands it to whoever closes it).
    std::FILE* Open();

    // Puts the written content in place of the file. False on failure, with ErrorText: the
    // file then keeps its old content, except when a copy into a hard-linked file broke off,
    // and then the temporary file stays with the complete new content and ErrorText names it.
    bool Commit();

    // Forgets the new content; the file keeps its old one.
    void Discard();

    // The saved file after following symbolic links (known after Open).
    const std::string& SavedPath() const { return saved_; }
    // Why the last step failed, in words for the user ("No space left on device").
    const std::string& ErrorText() const { return error_; }

private:
    bool Fail(const std::string& text);
    bool CopyIntoLinkedFile();

    std::string target_;
    std::string saved_;
    std::string temporary_;  // empty when writing to the target directly
    bool open_ = false;
    std::string error_;
};

// The file a path names after following every symbolic link, also when that file does not exist
// yet (a dangling link names the file to create). False, with `error` set, for a loop of links or
// a link that cannot be read.
bool ResolveSymbolicLinks(const std::string& path, std::string& resolved, std::string& error);

}  // namespace files
