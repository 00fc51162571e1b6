// The few POSIX calls the tests use, in their Windows forms. Included
// before every test source of the Windows build only.
#pragma once
#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) { return _putenv_s(name, ""); }

#include <direct.h>
#include <string.h>

// A fresh folder from a template ending in XXXXXX, as POSIX mkdtemp.
inline char* mkdtemp(char* name) {
    if (_mktemp_s(name, strlen(name) + 1) != 0 || _mkdir(name) != 0) return nullptr;
    return name;
}
