// The cross-process single-instance lock and raise request, over an abstract
// unix-domain socket (Linux).
#include "platform/sdl/instance_guard.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat::sdl {
namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr std::size_t kMaxRequestBytes = 16;
constexpr std::size_t kMaxPending = 8;
// A connection that has sent nothing after this many polls is dropped.
constexpr int kMaxPollsPerConnection = 200;

std::uint64_t Fnv1a(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Fills addr with the abstract name; returns the address length.
socklen_t MakeAddress(const std::string& name, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    // sun_path[0] stays 0: the abstract namespace, no file in the file system.
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

int NewSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

}  // namespace

std::string InstanceSocketName(const std::string& lockName) {
    std::string name = "kr-instance-" + std::to_string(::getuid()) + "-" + lockName;
    if (const char* suffix = std::getenv("KR_INSTANCE_SUFFIX")) name += suffix;
    constexpr std::size_t kMax = sizeof(sockaddr_un::sun_path) - 1;
    if (name.size() > kMax) {
        char hash[20];
        std::snprintf(hash, sizeof hash, "#%016llx", static_cast<unsigned long long>(Fnv1a(name)));
        name = name.substr(0, kMax - std::strlen(hash)) + hash;
    }
    return name;
}

bool InstanceGuard::Acquire(const std::string& lockName, bool& alreadyExists) {
    alreadyExists = false;
    if (listener_ >= 0) return true;  // this process holds it already
    int fd = NewSocket();
    if (fd < 0) return false;
    sockaddr_un addr;
    socklen_t length = MakeAddress(InstanceSocketName(lockName), addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0) {
        int error = errno;
        ::close(fd);
        if (error != EADDRINUSE) return false;
        alreadyExists = true;
        return true;
    }
    if (::listen(fd, static_cast<int>(kMaxPending)) != 0) {
        ::close(fd);
        return false;
    }
    listener_ = fd;
    return true;
}

bool InstanceGuard::Held() const { return listener_ >= 0; }

void InstanceGuard::Release() {
    for (Pending& p : pending_) Close(p);
    pending_.clear();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
}

void InstanceGuard::Close(Pending& p) {
    if (p.fd >= 0) ::close(p.fd);
    p.fd = -1;
}

int InstanceGuard::PollRaiseRequests() {
    if (listener_ < 0) return 0;
    while (pending_.size() < kMaxPending) {
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        pending_.push_back(Pending{fd, 0, {}});
    }
    int raises = 0;
    for (Pending& p : pending_) {
        char buf[kMaxRequestBytes];
        ssize_t n = ::recv(p.fd, buf, sizeof buf, 0);
        if (n > 0) p.received.append(buf, static_cast<std::size_t>(n));
        bool gone = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        bool complete = p.received.find('\n') != std::string::npos;
        if (complete && p.received == kRaiseRequest) ++raises;
        // Anything else (garbage, an overlong or unfinished request) is dropped.
        if (complete || gone || p.received.size() >= kMaxRequestBytes || ++p.polls >= kMaxPollsPerConnection)
            Close(p);
    }
    std::erase_if(pending_, [](const Pending& p) { return p.fd < 0; });
    return raises;
}

bool InstanceGuard::RequestRaise(const std::string& lockName) {
    int fd = NewSocket();
    if (fd < 0) return false;
    sockaddr_un addr;
    socklen_t length = MakeAddress(InstanceSocketName(lockName), addr);
    // A unix socket connects at once or fails (EAGAIN when the holder's
    // backlog is full); it never waits here.
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0 &&
              ::send(fd, kRaiseRequest, sizeof kRaiseRequest - 1, MSG_NOSIGNAL) ==
                  static_cast<ssize_t>(sizeof kRaiseRequest - 1);
    ::close(fd);
    return ok;
}

}  // namespace plat::sdl
