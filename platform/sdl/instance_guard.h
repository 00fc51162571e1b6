// The single-instance guard across processes: a listening unix-domain socket
// in the abstract namespace, named per user after the lock name. Binding it
// takes the lock; the kernel drops the name when its holder exits in any
// way, so a crashed copy leaves no stale lock. A second copy connects and
// sends "raise"; the holder reads such requests without blocking.
// On Windows (instance_guard_win32.cpp) the lock is a named mutex and the
// request a named event, both in the user's session.
#pragma once
#include <string>
#include <vector>

namespace plat::sdl {

// The socket name for a lock name: per-user prefix, the name, and the
// optional suffix from KR_INSTANCE_SUFFIX (which keeps test runs apart from
// a game that runs meanwhile). Too long a name is cut and ends in a hash.
std::string InstanceSocketName(const std::string& lockName);

class InstanceGuard {
public:
    ~InstanceGuard() { Release(); }

    // True when the lock question could be answered; alreadyExists then
    // says whether another holder has it (this one does not take it).
    bool Acquire(const std::string& lockName, bool& alreadyExists);
    void Release();
    bool Held() const;

    // Accepts waiting connections and reads their requests; returns how
    // many raise requests arrived. Never blocks.
    int PollRaiseRequests();

    // Asks the holder of the lock to raise its window. False when nobody
    // holds it or it cannot be reached at once.
    static bool RequestRaise(const std::string& lockName);

private:
    struct Pending {
        int fd = -1;
        int polls = 0;
        std::string received;
    };
    void Close(Pending& p);

    int listener_ = -1;
    std::vector<Pending> pending_;
    void* mutex_ = nullptr;       // Windows: the named mutex
    void* raiseEvent_ = nullptr;  // Windows: the named raise event
};

}  // namespace plat::sdl
