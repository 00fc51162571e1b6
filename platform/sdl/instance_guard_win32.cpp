// The cross-process single-instance lock and raise request on Windows: a
// named mutex in the user's session is the lock (the system drops it when
// its holder exits in any way), and a named auto-reset event beside it
// carries the raise requests.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os/wide_text_win32.h"
#include "platform/sdl/instance_guard.h"

namespace plat::sdl {
namespace {

// Kernel object names may be up to MAX_PATH characters.
constexpr std::size_t kMaxName = 200;

std::uint64_t Fnv1a(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// '\' separates a kernel object's namespace from its name: none in a name.
std::wstring ObjectName(const std::string& lockName, const char* kind) {
    std::string name = InstanceSocketName(lockName) + kind;
    for (char& c : name)
        if (c == '\\') c = '/';
    return L"Local\\" + WideFromUtf8(name);
}

}  // namespace

std::string InstanceSocketName(const std::string& lockName) {
    std::string name = "kr-instance-" + lockName;
    if (const char* suffix = std::getenv("KR_INSTANCE_SUFFIX")) name += suffix;
    if (name.size() > kMaxName) {
        char hash[20];
        std::snprintf(hash, sizeof hash, "#%016llx", static_cast<unsigned long long>(Fnv1a(name)));
        name = name.substr(0, kMaxName - std::strlen(hash)) + hash;
    }
    return name;
}

bool InstanceGuard::Held() const { return mutex_ != nullptr; }

bool InstanceGuard::Acquire(const std::string& lockName, bool& alreadyExists) {
    alreadyExists = false;
    if (mutex_) return true;  // this process holds it already
    HANDLE mutex = CreateMutexW(nullptr, TRUE, ObjectName(lockName, "-lock").c_str());
    if (!mutex) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        alreadyExists = true;
        return true;
    }
    raiseEvent_ = CreateEventW(nullptr, FALSE, FALSE, ObjectName(lockName, "-raise").c_str());
    mutex_ = mutex;
    return true;
}

void InstanceGuard::Release() {
    if (raiseEvent_) CloseHandle(static_cast<HANDLE>(raiseEvent_));
    raiseEvent_ = nullptr;
    if (mutex_) {
        ReleaseMutex(static_cast<HANDLE>(mutex_));
        CloseHandle(static_cast<HANDLE>(mutex_));
    }
    mutex_ = nullptr;
}

void InstanceGuard::Close(Pending&) {}

int InstanceGuard::PollRaiseRequests() {
    if (!raiseEvent_) return 0;
    return WaitForSingleObject(static_cast<HANDLE>(raiseEvent_), 0) == WAIT_OBJECT_0 ? 1 : 0;
}

bool InstanceGuard::RequestRaise(const std::string& lockName) {
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, ObjectName(lockName, "-raise").c_str());
    if (!event) return false;
    const bool ok = SetEvent(event) != 0;
    CloseHandle(event);
    return ok;
}

}  // namespace plat::sdl
