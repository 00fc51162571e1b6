// Windows' audio services write nothing on standard error: nothing to
// silence.
#include "platform/sdl/quiet_stderr.h"

namespace plat::sdl {

QuietStandardError::QuietStandardError() = default;
QuietStandardError::~QuietStandardError() = default;

}  // namespace plat::sdl
