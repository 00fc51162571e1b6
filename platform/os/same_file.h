// Whether two names are one file, so that a program can refuse to write an
// output over one of its own inputs (a recording named as the trace, a pack
// named as the picture to extract from it).
#pragma once
#include <string>

namespace plat {

// True when `a` and `b` are the same regular file (the same device and
// inode), or, when neither exists yet, the same path once links, "." and
// ".." are resolved. Devices and pipes are never "the same file": writing
// /dev/null twice destroys nothing.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace plat
