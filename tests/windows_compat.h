// The few POSIX calls the tests use, in their Windows forms. Included
// before every test source of the Windows build only.
#pragma once
#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
