// The steps of writing a file, each checked and each passing one place: the
// failing-write seam, with which a test makes the n-th step fail, and which
// can keep a log of the steps it saw so that a test can check their order.
//
// A write step hands a block to the system; when the seam fails it, half the
// block reaches the file first, as when a disk fills up. Sync, close, link and
// rename steps fail without doing their work (a failing close still releases
// the descriptor).
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace plat {

enum class WriteStep { kWrite, kSync, kClose, kLink, kRename };

// All `size` bytes at the descriptor's offset. False on any failure; the
// bytes that got through are added to *written when it is given.
bool WriteStepAll(int fd, const void* data, std::size_t size, std::size_t* written = nullptr);
// All `size` bytes at `offset`, leaving the descriptor's offset alone.
bool WriteStepAt(int fd, const void* data, std::size_t size, off_t offset);
// fsync; `tolerateUnsyncable` accepts a target that cannot be synced at all
// (a device or a pipe: EINVAL), which is not a failure of the data.
bool SyncStep(int fd, bool tolerateUnsyncable = false);
bool CloseStep(int fd);
bool RenameStep(const std::string& from, const std::string& to);
// Counts a link step; false when the seam fails it (the caller then links
// nothing).
bool LinkStepAllowed();

// Test seam: counting from this call, the n-th step of any file write fails
// (n = 0 turns the seam off). FailingWriteFired tells whether it has. A
// program started with KR_FAILING_WRITE=n in its environment arms the seam
// with n before its first step.
void SetFailingWrite(int n);
bool FailingWriteFired();

// Test seam: while on, every step is logged (cleared when it is turned on).
void RecordWriteSteps(bool on);
std::vector<WriteStep> RecordedWriteSteps();

}  // namespace plat
