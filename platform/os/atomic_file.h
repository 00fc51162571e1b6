// Files that are written whole or not at all: the bytes go to a temporary
// file beside the target, which is synced to the disk, closed and renamed
// over the target only when everything was written. A crash, a full disk or
// any failed write leaves the target as it was (or absent, if it was), and
// the writer learns of the failure from Commit.
//
// The target is where the name points: symbolic links are followed, so the
// link stays and the file it names is replaced. A target that is not a
// regular file (a device such as /dev/null, a pipe) is written directly,
// every step checked; it is never replaced. The temporary file is unnamed
// where the file system allows (a killed write leaves nothing); elsewhere it
// is named <target>.tmpXXXXXX (shortened to fit the file-name limit), and
// temporaries of the same target left by a killed write are removed at the
// next write. Where no temporary file can be made beside the target (a
// writable file in a folder the writer may not change), the file is written
// in place, every step checked: a failure then reports failure but cannot
// keep the old bytes.
//
// Every write of user data and every tool output goes through here, so a
// test can make the n-th step fail (SetFailingWrite) and check that the old
// file survives on every path.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/os/write_steps.h"

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

    // False when no file could be made (no such folder, no permission, the
    // name is a folder or a loop of links) or the target could not be copied.
    bool IsOpen() const { return stream_ != nullptr; }
    // A buffered stream for fwrite and fprintf; null when not open. A failed
    // block does not fail the stream's calls: it fails Commit.
    std::FILE* Stream() const { return stream_; }
    // False once any block of the file has failed.
    bool Write(const void* data, std::size_t size);
    // Flushes, syncs, closes and renames over the target; false (the target
    // left as it was) when anything failed since the file was opened.
    bool Commit();
    // Drops the temporary file; the target is left as it was.
    void Discard();

    // Called by the stream for every block it hands to the system.
    bool WriteBlock(const char* data, std::size_t size);

private:
    enum class Route { kReplace, kDirect, kInPlace };

    bool OpenTemporary();
    bool OpenDirect(Start start);
    bool OpenInPlace(Start start);
    bool CopyTarget();
    bool NameUnnamedTemporary();

    std::string target_;     // the path with its links resolved
    std::string folder_;     // the target's folder
    std::string prefix_;     // of the temporary file's name
    std::string temporary_;  // the temporary file's name, once it has one
    Route route_ = Route::kReplace;
    bool unnamed_ = false;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
    bool truncateAtCommit_ = false;  // in place: cut the old tail off
    std::size_t written_ = 0;
};

// The whole of `size` bytes as the file at `path`, atomically.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

// `path` with symbolic links of its last component followed (the file a
// write would change); "" for a loop of links or an unreadable link.
std::string ResolveLinks(const std::string& path);

// Test seam: false makes every temporary file a named one, as on a file
// system without unnamed files.
void UseUnnamedTemporaries(bool use);

// Whether each block that Stream() hands to the system is a step of the
// failing-write seam (POSIX); on Windows only Write()'s blocks and the
// commit's steps are.
bool StreamBlocksAreSteps();

}  // namespace plat
