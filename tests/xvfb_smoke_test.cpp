// The real program on a virtual X display: it opens its captioned window,
// the window shows exactly what was presented, keys reach the game, Escape
// and a termination signal end it with exit code 0, a second copy exits 0
// without a window, and without any display it fails with one line.
// Skips when Xvfb, xdotool or ImageMagick's import (or the program) is
// missing; every wait has a deadline and every child is killed at the end.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// <chrono> cannot be used here: its headers do not survive the CP932
// execution character set.
long long NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void SleepMs(long long ms) {
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0) {
    }
}

const std::string kCaptionUtf8 = reinterpret_cast<const char*>(u8"ポコタンバ！");

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string ProgramPath() { return std::string(KR_RUN_DIR) + "/pokotanba"; }

// The environment of this process with some variables set (empty value:
// removed).
std::vector<std::string> Environment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string key = entry.substr(0, entry.find('='));
        if (!changes.count(key)) env.push_back(entry);
    }
    for (const auto& [key, value] : changes) {
        if (!value.empty()) env.push_back(key + "=" + value);
    }
    return env;
}

// Starts a program with its output going to a file; extraFd (if >= 0) is
// passed on as descriptor 3.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& dir,
            const std::string& outputFile, int extraFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a child to end; false when the deadline passes first.
bool WaitExit(pid_t pid, long long limitMs, int& status) {
    const long long deadline = NowMs() + limitMs;
    while (NowMs() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        SleepMs(20);
    }
    return false;
}

void KillAndReap(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

// Runs a shell command under a time limit and returns its standard output.
std::string Capture(const std::string& command) {
    std::string out;
    std::FILE* p = popen(("timeout 15 " + command + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // 3 bytes per pixel, top row first
    bool operator==(const Image& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
};

Image ReadPpm(const std::string& path) {
    Image img;
    std::string data = ReadFile(path);
    std::istringstream in(data);
    std::string magic;
    int maxValue = 0;
    in >> magic >> img.width >> img.height >> maxValue;
    if (magic != "P6" || maxValue != 255 || img.width <= 0 || img.height <= 0) return Image{};
    in.get();
    std::size_t start = static_cast<std::size_t>(in.tellg());
    std::size_t bytes = static_cast<std::size_t>(img.width) * img.height * 3;
    if (data.size() < start + bytes) return Image{};
    img.rgb.assign(data.begin() + static_cast<std::ptrdiff_t>(start),
                   data.begin() + static_cast<std::ptrdiff_t>(start + bytes));
    return img;
}

Image ReadBmp24(const std::string& path) {
    Image img;
    std::string d = ReadFile(path);
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at])) |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 3])) << 24;
    };
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || d[28] != 24) return img;
    int w = static_cast<int>(u32(18)), h = static_cast<int>(u32(22));
    std::size_t offset = u32(10), row = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    if (w <= 0 || h <= 0 || d.size() < offset + row * h) return img;
    img.width = w;
    img.height = h;
    img.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const char* src = d.data() + offset + row * static_cast<std::size_t>(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            std::uint8_t* dst = &img.rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            dst[0] = static_cast<std::uint8_t>(src[3 * x + 2]);
            dst[1] = static_cast<std::uint8_t>(src[3 * x + 1]);
            dst[2] = static_cast<std::uint8_t>(src[3 * x]);
        }
    }
    return img;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') names.push_back(dir + "/" + e->d_name);
        }
        closedir(d);
    }
    return names;
}

void RemoveTree(const std::string& dir) {
    for (const std::string& f : FilesIn(dir)) std::remove(f.c_str());
    rmdir(dir.c_str());
}

class XvfbSmokeTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import", "timeout"}) {
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        }
        if (access(ProgramPath().c_str(), X_OK) != 0) GTEST_SKIP() << "the program is not built";
        ASSERT_TRUE(StartServer()) << "Xvfb did not start";
        char dir[] = "/tmp/kr-smoke-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        work = dir;
        suffix = "-smoke-" + std::to_string(getpid());
    }

    void TearDown() override {
        for (pid_t& p : games) KillAndReap(p);
        if (server > 0) {
            kill(server, SIGTERM);
            int status = 0;
            if (!WaitExit(server, 3000, status)) KillAndReap(server);
        }
        if (!work.empty()) {
            RemoveTree(work + "/dump");
            RemoveTree(work);
        }
    }

    // Xvfb picks a free display itself and tells its number on descriptor 3.
    bool StartServer() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        server = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                       Environment({}), "", "/dev/null", fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        const long long deadline = NowMs() + 10000;
        while (NowMs() < deadline && number.find('\n') == std::string::npos) {
            if (poll(&p, 1, 100) > 0) {
                char c;
                if (read(fds[0], &c, 1) != 1) break;
                number += c;
            }
        }
        close(fds[0]);
        if (server <= 0 || number.empty() || number.back() != '\n') return false;
        number.pop_back();
        display = ":" + number;
        return true;
    }

    pid_t StartGame(const std::string& log, bool dump = false) {
        std::map<std::string, std::string> env = {{"DISPLAY", display},
                                                  {"WAYLAND_DISPLAY", ""},
                                                  {"SDL_VIDEODRIVER", "x11"},
                                                  {"SDL_AUDIODRIVER", "dummy"},
                                                  {"KR_INSTANCE_SUFFIX", suffix},
                                                  {"KR_PRESENT_DUMP", dump ? work + "/dump" : ""}};
        if (dump) mkdir((work + "/dump").c_str(), 0755);
        pid_t pid = Spawn({ProgramPath()}, Environment(env), KR_RUN_DIR, work + "/" + log);
        games.push_back(pid);
        return pid;
    }

    std::string X(const std::string& command) { return Capture("env DISPLAY=" + display + " " + command); }

    // The window of a process, once it is mapped ("" when none comes).
    std::string WaitForWindow(pid_t pid, long long limitMs = 15000) {
        const long long deadline = NowMs() + limitMs;
        while (NowMs() < deadline) {
            std::string id = X("xdotool search --onlyvisible --pid " + std::to_string(pid));
            if (!id.empty()) return id.substr(0, id.find('\n'));
            SleepMs(100);
        }
        return "";
    }

    Image Screenshot(const std::string& window, const std::string& name) {
        std::string file = work + "/" + name + ".ppm";
        X("import -window " + window + " -depth 8 ppm:" + file);
        return ReadPpm(file);
    }

    pid_t server = -1;
    std::vector<pid_t> games;
    std::string display, work, suffix;
};

TEST_F(XvfbSmokeTest, WindowShowsThePresentedFramesReactsToKeysAndEndsOnEscape) {
    pid_t game = StartGame("game.log", true);
    ASSERT_GT(game, 0);
    std::string window = WaitForWindow(game);
    ASSERT_FALSE(window.empty()) << ReadFile(work + "/game.log");
    EXPECT_EQ(X("xdotool getwindowname " + window), kCaptionUtf8);
    EXPECT_EQ(X("xdotool getwindowgeometry --shell " + window).find("WIDTH=800\nHEIGHT=600") != std::string::npos,
              true);

    X("xdotool windowfocus " + window);
    SleepMs(1000);
    Image idle = Screenshot(window, "idle");
    ASSERT_EQ(idle.width, 800);
    ASSERT_EQ(idle.height, 600);
    // Long enough for the standing animation to show all its pictures.
    SleepMs(700);
    std::vector<Image> idleFrames;
    for (const std::string& f : FilesIn(work + "/dump")) idleFrames.push_back(ReadBmp24(f));
    auto presented = [](const std::vector<Image>& frames, const Image& shot) {
        for (const Image& f : frames) {
            if (f == shot) return true;
        }
        return false;
    };
    EXPECT_TRUE(presented(idleFrames, idle))
        << "the window shows a picture that was never presented (" << idleFrames.size() << " frames compared)";

    // Hold an arrow key: the player turns and walks, a picture not seen
    // while idle.
    X("xdotool keydown Right");
    SleepMs(250);
    X("xdotool keyup Right");
    SleepMs(300);
    Image walked = Screenshot(window, "walked");
    EXPECT_FALSE(presented(idleFrames, walked)) << "the arrow key did not reach the game";

    X("xdotool key Escape");
    int status = -1;
    ASSERT_TRUE(WaitExit(game, 10000, status)) << "Escape did not end the program";
    games.clear();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadFile(work + "/game.log");

    std::vector<Image> allFrames;
    for (const std::string& f : FilesIn(work + "/dump")) allFrames.push_back(ReadBmp24(f));
    EXPECT_TRUE(presented(allFrames, walked)) << "after the key the window showed a picture never presented";
}

TEST_F(XvfbSmokeTest, SecondCopyExitsZeroWithoutAWindowAndTheFirstEndsOnATerminationSignal) {
    pid_t first = StartGame("first.log");
    ASSERT_FALSE(WaitForWindow(first).empty()) << ReadFile(work + "/first.log");

    pid_t second = StartGame("second.log");
    int status = -1;
    ASSERT_TRUE(WaitExit(second, 10000, status)) << "the second copy kept running";
    games.pop_back();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(work + "/second.log"), "") << "the second copy leaves silently";
    std::string windows = X("xdotool search --onlyvisible --name " + kCaptionUtf8);
    EXPECT_EQ(windows.find('\n'), std::string::npos) << "one window only: " << windows;

    kill(first, SIGTERM);
    ASSERT_TRUE(WaitExit(first, 10000, status)) << "SIGTERM did not end the program";
    games.clear();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(NoDisplaySmokeTest, ProgramSaysSoInOneLineAndFails) {
    if (access(ProgramPath().c_str(), X_OK) != 0) GTEST_SKIP() << "the program is not built";
    char dir[] = "/tmp/kr-nodisplay-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string log = std::string(dir) + "/out.log";
    std::vector<std::string> env = Environment({{"DISPLAY", ""},
                                                {"WAYLAND_DISPLAY", ""},
                                                {"SDL_VIDEODRIVER", ""},
                                                {"KR_INSTANCE_SUFFIX", "-nodisplay-" + std::to_string(getpid())}});
    pid_t pid = Spawn({ProgramPath()}, env, KR_RUN_DIR, log);
    ASSERT_GT(pid, 0);
    int status = -1;
    bool ended = WaitExit(pid, 15000, status);
    if (!ended) KillAndReap(pid);
    std::string out = ReadFile(log);
    std::remove(log.c_str());
    rmdir(dir);
    ASSERT_TRUE(ended);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "exactly one line: " << out;
}

}  // namespace
