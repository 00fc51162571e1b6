// Files that are written whole or not at all: the bytes go to a temporary
// file beside the target, which is flushed to the disk and renamed over the
// target only when everything was written. A crash, a full disk or any
// failed write leaves the target as it was (or absent, if it was), and the
// writer learns of the failure from Commit.
//
// Every write of user data and every tool output goes through here, so a
// test can make the n-th write fail (SetFailingWrite) and check that the old
// file survives on every path.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

namespace plat {

class AtomicFile {
public:
    enum class Start {
        kEmpty,     // the new file starts empty
        kExisting,  // the new file starts as a copy of the target (appending)
    };

    explicit AtomicFile(const std::string& path, Start start = Start::kEmpty);
    ~AtomicFile();  // discards what was written unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False when the temporary file could not be made (no such folder, no
    // permission) or the target could not be copied into it.
    bool IsOpen() const { return stream_ != nullptr; }
    // A buffered stream for fwrite and fprintf; null when not open. A failed
    // block does not fail the stream's calls: it fails Commit.
    std::FILE* Stream() const { return stream_; }
    // False once any block of the file has failed.
    bool Write(const void* data, std::size_t size);
    // Flushes, syncs and renames over the target; false (the target left as
    // it was) when anything failed since the file was opened.
    bool Commit();
    // Drops the temporary file; the target is left as it was.
    void Discard();

    // Called by the stream for every block it hands to the system.
    bool WriteBlock(const char* data, std::size_t size);

private:
    bool CopyTarget();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
};

// The whole of `size` bytes as the file at `path`, atomically.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

// Test seam: counting from this call, the n-th write step of any atomic file
// fails (n = 0 turns the seam off). A step is one block handed to the
// system (half of it reaches the disk, as when the disk fills up) or one
// commit (its sync and rename). FailingWriteFired tells whether it has. A
// program started with KR_FAILING_WRITE=n in its environment arms the seam
// with n before its first atomic file.
void SetFailingWrite(int n);
bool FailingWriteFired();
// Whether each block that Stream() hands to the system is a step of the
// seam (POSIX); on Windows only Write()'s blocks and the commit are.
bool StreamBlocksAreSteps();

}  // namespace plat
