// The real program on a virtual X display: it opens its captioned window,
// the window shows exactly the frames it presented, keys reach the game,
// Escape and a termination signal end it with exit code 0, a second copy
// exits 0 without a window, and without a display it fails with one line.
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

const std::string kCaptionUtf8 = reinterpret_cast<const char*>(u8"ポコタンバ！");
const std::string kProgram = std::string(KR_RUN_DIR) + "/pokotanba";

// <chrono> cannot be used here: its headers do not survive the CP932
// execution character set.
long long NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void SleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0) {
    }
}

bool OnPath(const std::string& tool) {
    std::stringstream dirs(getenv("PATH") ? getenv("PATH") : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
    }
    return false;
}

// This process's environment with some variables set (an empty value
// removes the variable).
std::vector<std::string> Environment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!changes.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [key, value] : changes) {
        if (!value.empty()) env.push_back(key + "=" + value);
    }
    return env;
}

// Starts a program with its output going to a file; extraFd (if >= 0)
// becomes its descriptor 3.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& dir,
            const std::string& output, int extraFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// False when the child is still running at the deadline.
bool WaitExit(pid_t pid, long long limitMs, int& status) {
    for (const long long deadline = NowMs() + limitMs; NowMs() < deadline; SleepMs(20)) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
    }
    return false;
}

bool ExitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

// Runs a shell command under a time limit; returns its standard output.
std::string Capture(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(("timeout 15 " + command + " 2>/dev/null").c_str(), "r")) {
        char buf[512];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// The pixel rows of a 24-bit BMP file ("" when it is not one).
std::string BmpPixels(const std::string& path) {
    std::string d = ReadFile(path);
    if (d.size() < 54 || d.compare(0, 2, "BM") != 0 || d[28] != 24) return "";
    std::size_t offset = static_cast<std::uint8_t>(d[10]) | static_cast<std::uint8_t>(d[11]) << 8;
    return offset < d.size() ? d.substr(offset) : "";
}

// Names starting with '.' are files still being written.
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

std::vector<std::string> Frames(const std::string& dir) {
    std::vector<std::string> frames;
    for (const std::string& f : FilesIn(dir)) frames.push_back(BmpPixels(f));
    return frames;
}

// 24-bit pixels cut to 5-6-5, the display's own depth: the window widens
// them to 8 bits its own way, the dump as the engine's pixel code does.
std::string To565(const std::string& pixels) {
    std::string out = pixels;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) >> (i % 3 == 1 ? 2 : 3));  // B, G, R
    return out;
}

bool Contains(const std::vector<std::string>& frames, const std::string& shot) {
    for (const std::string& f : frames) {
        if (!shot.empty() && To565(f) == To565(shot)) return true;
    }
    return false;
}

class XvfbSmokeTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import", "timeout"}) {
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        }
        if (access(kProgram.c_str(), X_OK) != 0) GTEST_SKIP() << "the program is not built";
        char dir[] = "/tmp/kr-smoke-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        work = dir;
        mkdir((work + "/dump").c_str(), 0755);
        ASSERT_TRUE(StartServer()) << "Xvfb did not start";
    }

    void TearDown() override {
        for (pid_t pid : children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::remove((work + "/dump/.partial.bmp").c_str());  // a frame cut off by the kill
        for (const std::string& f : FilesIn(work + "/dump")) std::remove(f.c_str());
        for (const std::string& f : FilesIn(work)) {
            if (std::remove(f.c_str()) != 0) rmdir(f.c_str());
        }
        rmdir(work.c_str());
    }

    // Xvfb picks a free display itself and tells its number on descriptor 3.
    bool StartServer() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_t server = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                             Environment({}), "", "/dev/null", fds[1]);
        close(fds[1]);
        if (server > 0) children.push_back(server);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        for (const long long deadline = NowMs() + 10000; NowMs() < deadline && c != '\n';) {
            if (poll(&p, 1, 100) > 0 && read(fds[0], &c, 1) != 1) break;
            if (p.revents & POLLIN) number += c;
        }
        close(fds[0]);
        if (number.empty() || number.back() != '\n') return false;
        display = ":" + number.substr(0, number.size() - 1);
        return true;
    }

    pid_t StartGame(const std::string& log, bool dump = false) {
        std::vector<std::string> env = Environment({{"DISPLAY", display},
                                                    {"WAYLAND_DISPLAY", ""},
                                                    {"SDL_VIDEODRIVER", "x11"},
                                                    {"SDL_AUDIODRIVER", "dummy"},
                                                    {"KR_INSTANCE_SUFFIX", "-smoke-" + std::to_string(getpid())},
                                                    {"KR_PRESENT_DUMP", dump ? work + "/dump" : ""}});
        pid_t pid = Spawn({kProgram}, env, KR_RUN_DIR, work + "/" + log);
        children.push_back(pid);
        return pid;
    }

    bool EndedWith(pid_t pid, int code, long long limitMs = 10000) {
        int status = -1;
        if (!WaitExit(pid, limitMs, status)) return false;
        std::erase(children, pid);
        return ExitedWith(status, code);
    }

    std::string X(const std::string& command) { return Capture("env DISPLAY=" + display + " " + command); }

    // The process's mapped window ("" when none comes).
    std::string WaitForWindow(pid_t pid) {
        for (const long long deadline = NowMs() + 15000; NowMs() < deadline; SleepMs(100)) {
            std::string ids = X("xdotool search --onlyvisible --pid " + std::to_string(pid));
            if (!ids.empty()) return ids.substr(0, ids.find('\n'));
        }
        return "";
    }

    // A whole picture of the window. On a loaded machine `import` can be
    // stopped by its time limit halfway through writing its file, which
    // then holds part of a frame: it writes under another name, only a run
    // that completed counts, and a picture that is not whole is taken again.
    std::string Screenshot(const std::string& window, const std::string& name, int width = 800, int height = 600) {
        const std::string file = work + "/" + name + ".bmp", partial = work + "/." + name + ".bmp";
        for (const long long deadline = NowMs() + 60000; NowMs() < deadline; SleepMs(200)) {
            std::remove(partial.c_str());
            const std::string command = "timeout 30 env DISPLAY=" + display + " import -window " + window +
                                        " -depth 8 -type TrueColor bmp3:" + partial + " >/dev/null 2>&1";
            const int status = std::system(command.c_str());
            if (!ExitedWith(status, 0) || std::rename(partial.c_str(), file.c_str()) != 0) continue;
            const std::string pixels = BmpPixels(file);
            if (pixels.size() == static_cast<std::size_t>(width) * height * 3u) return pixels;
            RecordGeometry(window, file);
        }
        std::remove(partial.c_str());
        return BmpPixels(file);
    }

    // Holds a key down for at least a quarter of a second and until the
    // window has presented a frame not among `seen`. A game that was kept
    // from running by a busy machine finds a press and a release waiting
    // together, and a key released before any frame ran is never seen held.
    bool HoldUntilPresented(const std::string& key, const std::vector<std::string>& seen) {
        X("xdotool keydown " + key);
        const long long start = NowMs();
        std::set<std::string> read;
        bool presented = false;
        while (NowMs() < start + 20000 && !(presented && NowMs() >= start + 250)) {
            for (const std::string& name : FilesIn(work + "/dump")) {
                if (!read.insert(name).second) continue;
                const std::string frame = BmpPixels(name);
                if (!frame.empty() && !Contains(seen, frame)) presented = true;
            }
            SleepMs(50);
        }
        X("xdotool keyup " + key);
        return presented;
    }

    // What the server said of the window and the root when a picture came
    // out of the wrong size, for the failure's message.
    void RecordGeometry(const std::string& window, const std::string& file) {
        const std::string d = ReadFile(file);
        auto word = [&d](std::size_t at) {
            return d.size() < at + 4 ? 0 : static_cast<int>(static_cast<std::uint8_t>(d[at]) |
                                                            static_cast<std::uint8_t>(d[at + 1]) << 8);
        };
        geometry = "picture " + std::to_string(word(18)) + "x" + std::to_string(word(22)) + "\n--- window\n" +
                   X("xwininfo -id " + window) + "\n--- root\n" + X("xwininfo -root") + "\n";
    }

    std::vector<pid_t> children;
    std::string display, work, geometry;
};

TEST_F(XvfbSmokeTest, WindowShowsThePresentedFramesReactsToKeysAndEndsOnEscape) {
    pid_t game = StartGame("game.log", true);
    const std::string window = WaitForWindow(game);
    ASSERT_FALSE(window.empty()) << ReadFile(work + "/game.log");
    EXPECT_EQ(X("xdotool getwindowname " + window), kCaptionUtf8);
    EXPECT_NE(X("xdotool getwindowgeometry --shell " + window).find("WIDTH=800\nHEIGHT=600"), std::string::npos);
    EXPECT_NE(X("xprop -id " + window + " _NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos)
        << "the window carries the game's icon";

    X("xdotool windowfocus " + window);
    SleepMs(1000);
    // A capture can meet the window in the middle of a present on a slow
    // machine (a sanitizer build under load): a picture that is wrong shows
    // in every capture, a torn one not in the next.
    std::string idle;
    std::vector<std::string> idleFrames;
    for (int capture = 0; capture < 4; ++capture) {
        idle = Screenshot(window, "idle");
        ASSERT_EQ(idle.size(), 800u * 600u * 3u) << geometry;
        SleepMs(700);  // the standing animation shows all its pictures meanwhile
        idleFrames = Frames(work + "/dump");
        if (Contains(idleFrames, idle)) break;
    }
    EXPECT_TRUE(Contains(idleFrames, idle)) << "the window shows a picture never presented ("
                                            << idleFrames.size() << " frames compared)";

    // An arrow key held: the player turns and walks, a picture not seen idle.
    EXPECT_TRUE(HoldUntilPresented("Right", idleFrames)) << "no frame of a walk was presented";
    SleepMs(300);
    const std::string walked = Screenshot(window, "walked");
    ASSERT_EQ(walked.size(), 800u * 600u * 3u) << geometry;
    EXPECT_FALSE(Contains(idleFrames, walked)) << "the arrow key did not reach the game";

    X("xdotool key Escape");
    EXPECT_TRUE(EndedWith(game, 0)) << "Escape did not end the program with 0: " << ReadFile(work + "/game.log");
    EXPECT_TRUE(Contains(Frames(work + "/dump"), walked)) << "after the key the window showed a picture never presented";
}

// The colour of a pixel of a 24-bit picture of width x height, as 0xRRGGBB.
std::uint32_t PixelAt(const std::string& pixels, int width, int height, int x, int y) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t at = static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
    if (at + 3 > pixels.size()) return 0xFFFFFFFFu;
    auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(pixels[i])); };
    return byte(at + 2) << 16 | byte(at + 1) << 8 | byte(at);
}

// A kit game that asks for its own window size, its screen drawn green with
// a red mark at the top-left corner and a blue one at the bottom-right.
TEST_F(XvfbSmokeTest, AKitGameOpensAtItsOwnSizeCentredWithItsScreenScaledWholeAndNeverCut) {
    const std::string probe = std::string(KR_BINARY_DIR) + "/kr_window_probe";
    if (access(probe.c_str(), X_OK) != 0) GTEST_SKIP() << "the probe is not built";
    struct Case {
        std::vector<std::string> args;
        int width, height, markSide, greenInset;
        const char* what;
    } cases[] = {
        {{"640", "400", "320", "200", std::string(KR_RUN_DIR) + "/icon.bmp"}, 640, 400, 4, 4, "a smaller screen at 2x"},
        {{"0", "0", "1024", "768"}, 800, 600, 1, 3, "a larger screen shrunk into the default window"},
    };
    // Colours compared at the display's 5-6-5 depth.
    auto at = [](const std::string& shot, int w, int h, int x, int y) { return PixelAt(shot, w, h, x, y) & 0xF8FCF8u; };
    for (const Case& c : cases) {
        std::vector<std::string> command{probe};
        command.insert(command.end(), c.args.begin(), c.args.end());
        const std::vector<std::string> env = Environment({{"DISPLAY", display},
                                                          {"WAYLAND_DISPLAY", ""},
                                                          {"SDL_VIDEODRIVER", "x11"},
                                                          {"SDL_AUDIODRIVER", "dummy"},
                                                          {"KR_INSTANCE_SUFFIX", "-probe-" + std::to_string(getpid())}});
        pid_t game = Spawn(command, env, KR_RUN_DIR, work + "/probe.log");
        children.push_back(game);
        const std::string window = WaitForWindow(game);
        ASSERT_FALSE(window.empty()) << c.what << ": " << ReadFile(work + "/probe.log");
        const std::string geometry = X("xdotool getwindowgeometry --shell " + window);
        EXPECT_NE(geometry.find("WIDTH=" + std::to_string(c.width) + "\nHEIGHT=" + std::to_string(c.height)),
                  std::string::npos)
            << c.what << ": " << geometry;
        // Centred on the 1024 x 768 screen.
        EXPECT_NE(geometry.find("X=" + std::to_string((1024 - c.width) / 2) + "\n"), std::string::npos)
            << c.what << ": " << geometry;
        // The window shows black until the game's first frame; a busy
        // machine may take a while to present it.
        std::string shot;
        for (const long long deadline = NowMs() + 30000; NowMs() < deadline; SleepMs(200)) {
            shot = Screenshot(window, "probe", c.width, c.height);
            if (PixelAt(shot, c.width, c.height, 0, 0) != 0) break;
        }
        ASSERT_EQ(shot.size(), static_cast<std::size_t>(c.width) * c.height * 3u) << c.what << "\n" << this->geometry;
        const int w = c.width, h = c.height, m = c.markSide, g = c.greenInset;
        EXPECT_EQ(at(shot, w, h, 0, 0), 0xF80000u) << c.what;
        EXPECT_EQ(at(shot, w, h, m - 1, m - 1), 0xF80000u) << c.what;
        EXPECT_EQ(at(shot, w, h, g, g), 0x00FC00u) << c.what;
        EXPECT_EQ(at(shot, w, h, w - 1, h - 1), 0x0000F8u) << c.what << ": the screen's far corner is shown";
        EXPECT_EQ(at(shot, w, h, w - m, h - m), 0x0000F8u) << c.what;
        EXPECT_EQ(at(shot, w, h, w - g - 1, h - g - 1), 0x00FC00u) << c.what;
        if (c.args.size() == 5) {
            EXPECT_NE(X("xprop -id " + window + " _NET_WM_ICON").find("Icon (64 x 64)"), std::string::npos)
                << "the icon the game named";
        }
        X("xdotool key --window " + window + " Escape");
        EXPECT_TRUE(EndedWith(game, 0)) << c.what << ": " << ReadFile(work + "/probe.log");
    }
}

TEST_F(XvfbSmokeTest, SecondCopyExitsZeroWithoutAWindowAndTheFirstEndsOnATerminationSignal) {
    pid_t first = StartGame("first.log");
    ASSERT_FALSE(WaitForWindow(first).empty()) << ReadFile(work + "/first.log");
    pid_t second = StartGame("second.log");
    EXPECT_TRUE(EndedWith(second, 0)) << "the second copy did not leave with 0";
    EXPECT_EQ(ReadFile(work + "/second.log"), "") << "the second copy leaves silently";
    std::string windows = X("xdotool search --onlyvisible --name " + kCaptionUtf8);
    EXPECT_EQ(windows.find('\n'), std::string::npos) << "one window only: " << windows;

    kill(first, SIGTERM);
    EXPECT_TRUE(EndedWith(first, 0)) << "a termination signal did not close the program orderly";
}

TEST(NoDisplaySmokeTest, ProgramSaysSoInOneLineAndFails) {
    if (access(kProgram.c_str(), X_OK) != 0) GTEST_SKIP() << "the program is not built";
    const std::string log = "/tmp/kr-nodisplay-" + std::to_string(getpid()) + ".log";
    std::vector<std::string> env = Environment({{"DISPLAY", ""},
                                                {"WAYLAND_DISPLAY", ""},
                                                {"SDL_VIDEODRIVER", ""},
                                                {"KR_INSTANCE_SUFFIX", "-nodisplay-" + std::to_string(getpid())}});
    pid_t pid = Spawn({kProgram}, env, KR_RUN_DIR, log);
    ASSERT_GT(pid, 0);
    int status = -1;
    const bool ended = WaitExit(pid, 15000, status);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    const std::string out = ReadFile(log);
    std::remove(log.c_str());
    ASSERT_TRUE(ended) << "it ran without a display";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "exactly one line: " << out;
}

}  // namespace

// ---- a session recorded in the window replays headless ----

namespace {

// A frame's pixels cut to 5-6-5 (the display's own depth), so that the
// window's 8-bit read-back and the headless expansion compare exactly;
// nullopt for the all-black picture a window shows before its first frame.
std::optional<std::string> Reduced(const std::string& pixels) {
    if (pixels.find_first_not_of('\0') == std::string::npos) return std::nullopt;
    return To565(pixels);
}

// The dumped frames of a folder in the order they were first presented.
std::vector<std::string> DumpedFrames(const std::string& dir) {
    std::vector<std::string> names = FilesIn(dir);
    std::sort(names.begin(), names.end());
    std::vector<std::string> frames;
    for (const std::string& name : names) {
        if (std::optional<std::string> f = Reduced(BmpPixels(name))) frames.push_back(*f);
    }
    return frames;
}

}  // namespace

TEST_F(XvfbSmokeTest, ASessionRecordedInTheWindowReplaysHeadlessFrameForFrame) {
    const std::string recording = work + "/session.txt";
    std::vector<std::string> env = Environment({{"DISPLAY", display},
                                                {"WAYLAND_DISPLAY", ""},
                                                {"SDL_VIDEODRIVER", "x11"},
                                                {"SDL_AUDIODRIVER", "dummy"},
                                                {"KR_DESKTOP_BITS", ""},
                                                {"KR_INSTANCE_SUFFIX", "-record-" + std::to_string(getpid())},
                                                {"KR_RECORD", recording},
                                                {"KR_PRESENT_DUMP", work + "/dump"}});
    pid_t game = Spawn({kProgram}, env, KR_RUN_DIR, work + "/game.log");
    children.push_back(game);
    const std::string window = WaitForWindow(game);
    ASSERT_FALSE(window.empty()) << ReadFile(work + "/game.log");
    // The window shows before the game's start-up step has run; keys sent
    // before its first frame would all land on the first pass (a slow,
    // instrumented build takes seconds to start).
    for (int waited = 0; DumpedFrames(work + "/dump").empty() && waited < 60000; waited += 50) SleepMs(50);
    ASSERT_FALSE(DumpedFrames(work + "/dump").empty()) << "no frame shown: " << ReadFile(work + "/game.log");
    X("xdotool windowfocus " + window);
    SleepMs(400);
    // Each key is held until the game has shown what it did, so that a busy
    // machine that runs few frames still records a walk.
    EXPECT_TRUE(HoldUntilPresented("Right", Frames(work + "/dump"))) << "no frame of a walk right was presented";
    EXPECT_TRUE(HoldUntilPresented("Down", Frames(work + "/dump"))) << "no frame of a walk down was presented";
    SleepMs(200);
    X("xdotool key c");
    SleepMs(200);
    X("xdotool key Escape");
    ASSERT_TRUE(EndedWith(game, 0)) << ReadFile(work + "/game.log");
    const std::string recorded = ReadFile(recording);
    ASSERT_NE(recorded.find("count passes\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("\nseed "), std::string::npos) << "the random seed belongs to the session";
    EXPECT_NE(recorded.find(" RIGHT down\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find(" ESCAPE down\n"), std::string::npos) << recorded;

    // The replay runs the game until the recorded Escape ends it.
    mkdir((work + "/replayed").c_str(), 0755);
    const std::string replay = std::string(KR_RUN_DIR) + "/pokotanba-replay";
    std::vector<std::string> headless = Environment({{"KR_DESKTOP_BITS", ""}, {"KR_PRESENT_DUMP", work + "/replayed"}});
    pid_t run = Spawn({replay, "--frames", "100000", "--input", recording, "--trace", work + "/trace.txt"}, headless,
                      KR_RUN_DIR, work + "/replay.log");
    ASSERT_GT(run, 0);
    children.push_back(run);
    ASSERT_TRUE(EndedWith(run, 0, 60000)) << ReadFile(work + "/replay.log");
    const std::string trace = ReadFile(work + "/trace.txt");
    const long frames = static_cast<long>(std::count(trace.begin(), trace.end(), '\n'));
    ASSERT_GT(frames, 3) << ReadFile(work + "/replay.log");  // a busy machine runs few frames a second

    // Every distinct frame the window showed, in order, and no other.
    const std::vector<std::string> shown = DumpedFrames(work + "/dump");
    const std::vector<std::string> replayed = DumpedFrames(work + "/replayed");
    ASSERT_GT(shown.size(), 3u) << "the session moved nothing";
    ASSERT_EQ(replayed.size(), shown.size()) << "frames " << frames << "\n" << recorded;
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_TRUE(replayed[i] == shown[i]) << "distinct frame " << i;
    // The two dumps are the same files, byte for byte (what `cmp` says).
    std::vector<std::string> shownFiles = FilesIn(work + "/dump"), replayedFiles = FilesIn(work + "/replayed");
    std::sort(shownFiles.begin(), shownFiles.end());
    std::sort(replayedFiles.begin(), replayedFiles.end());
    ASSERT_EQ(shownFiles.size(), replayedFiles.size());
    for (std::size_t i = 0; i < shownFiles.size(); ++i)
        EXPECT_TRUE(ReadFile(shownFiles[i]) == ReadFile(replayedFiles[i])) << shownFiles[i] << " and " << replayedFiles[i];

    // The last frame, through the ordinary screenshot of the replay.
    pid_t last = Spawn({replay, "--frames", std::to_string(frames), "--input", recording, "--screenshot",
                        work + "/last.bmp"},
                       Environment({{"KR_DESKTOP_BITS", ""}, {"KR_PRESENT_DUMP", ""}}), KR_RUN_DIR, work + "/last.log");
    children.push_back(last);
    ASSERT_TRUE(EndedWith(last, 0, 60000)) << ReadFile(work + "/last.log");
    const std::optional<std::string> lastFrame = Reduced(BmpPixels(work + "/last.bmp"));
    ASSERT_TRUE(lastFrame.has_value());
    EXPECT_TRUE(std::find(shown.begin(), shown.end(), *lastFrame) != shown.end())
        << "the replay's last frame was never shown in the window";
}
