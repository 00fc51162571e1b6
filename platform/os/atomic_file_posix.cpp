// The POSIX atomic file (atomic_file.cpp) sees every block of its stream.
#include "platform/os/atomic_file.h"

namespace plat {

bool StreamBlocksAreSteps() { return true; }

}  // namespace plat
