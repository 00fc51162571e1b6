// Where an installed program keeps what it writes, and where it finds what
// it reads: the choice of the player's data folder, the installed marker,
// the engine's writes (settings, log, screenshots) routed by it, and the
// game copied into an installed layout, played from a foreign working folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "temp_folder.h"
#include "draw_fixture.h"
#include "platform/os/user_folder.h"
#include "platform/os/window.h"
#include "system/krSystem.h"

namespace fs = std::filesystem;

namespace {

// Each folder named for this suite, so a leftover tells where it came from.
class TempFolder : public kr_test::TempFolder {
public:
    TempFolder() : kr_test::TempFolder("kr_user") {}
};

// Every path below `root`, relative to it, with its size for files.
std::set<std::string> Listing(const fs::path& root) {
    std::set<std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string line = fs::relative(entry.path(), root).string();
        if (entry.is_regular_file()) line += " " + std::to_string(entry.file_size());
        out.insert(line);
    }
    return out;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// An environment variable set for one test and put back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

TEST(UserDataHome, AbsoluteXdgDataHomeWinsAndRelativeOrEmptyFallsBackToHome) {
    EXPECT_EQ(plat::UserDataHome("/srv/data", "/home/player"), "/srv/data/");
    EXPECT_EQ(plat::UserDataHome("/srv/data//", "/home/player"), "/srv/data/");
    EXPECT_EQ(plat::UserDataHome("data", "/home/player"), "/home/player/.local/share/") << "relative: ignored";
    EXPECT_EQ(plat::UserDataHome("", "/home/player/"), "/home/player/.local/share/");
    EXPECT_EQ(plat::UserDataHome(nullptr, "/home/player"), "/home/player/.local/share/");
    EXPECT_EQ(plat::UserDataHome(nullptr, "/"), "/.local/share/");
}

TEST(UserDataHome, NoUsableHomeGivesNothingRatherThanARelativePath) {
    EXPECT_EQ(plat::UserDataHome(nullptr, nullptr), "");
    EXPECT_EQ(plat::UserDataHome("", ""), "");
    EXPECT_EQ(plat::UserDataHome("data", "home/player"), "");
}

TEST(UserDataHome, FolderNameIsTheLastComponent) {
    EXPECT_EQ(plat::FolderName("/usr/lib/pokotanba/"), "pokotanba");
    EXPECT_EQ(plat::FolderName("/usr/lib/pokotanba"), "pokotanba");
    EXPECT_EQ(plat::FolderName("/opt/games/pokotanba//"), "pokotanba");
    EXPECT_EQ(plat::FolderName("/"), "");
    EXPECT_EQ(plat::FolderName(""), "");
}

TEST(InstalledMarker, OnlyARegularFileNamedKrInstalledMarksAFolder) {
    TempFolder folder;
    const std::string path = folder.Path().string();
    EXPECT_FALSE(plat::FolderIsInstalled(path + "/"));
    fs::create_directory(folder.Path() / "kr-installed");
    EXPECT_FALSE(plat::FolderIsInstalled(path + "/")) << "a folder of that name is no marker";
    fs::remove(folder.Path() / "kr-installed");
    std::ofstream(folder.Path() / "KR-INSTALLED") << "";
    EXPECT_FALSE(plat::FolderIsInstalled(path + "/")) << "the marker's name is exact";
    std::ofstream(folder.Path() / "kr-installed") << "";
    EXPECT_TRUE(plat::FolderIsInstalled(path + "/"));
    EXPECT_TRUE(plat::FolderIsInstalled(path)) << "with or without the trailing slash";
    EXPECT_FALSE(plat::FolderIsInstalled(""));
}

// The engine's writes with the program counted as installed: the player's
// data folder lies in a fresh temporary folder, named as the program's.
class InstalledWrites : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        plat::OverrideInstalled(1);
        previous_ = fs::current_path();
        fs::current_path(work_.Path());
    }
    void TearDown() override {
        fs::current_path(previous_);
        plat::OverrideInstalled(-1);
        DrawTest::TearDown();
    }
    static std::string ProgramFolder() { return fs::path(plat::ProgramPath()).parent_path().string() + "/"; }
    fs::path DataFolder() const { return data_.Path() / plat::FolderName(ProgramFolder()); }

    TempFolder data_, work_;
    fs::path previous_;
    ScopedEnv xdg_{"XDG_DATA_HOME", data_.Path().c_str()};
};

TEST_F(InstalledWrites, SettingsGoToTheDataFolderAndPicturesAreStillReadBesideTheProgram) {
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(0)), ProgramFolder());
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(1)), DataFolder().string() + "/");
    EXPECT_TRUE(fs::is_directory(DataFolder())) << "made on first use";
    EXPECT_EQ(fs::status(DataFolder()).permissions() & fs::perms::all, fs::perms::owner_all);

    krSystem::SaveNumber("full.dat", 7);
    EXPECT_EQ(ReadText(DataFolder() / "full.dat"), "7");
    EXPECT_EQ(krSystem::LoadNumber("full.dat"), 7);
    EXPECT_FALSE(fs::exists(fs::path(ProgramFolder()) / "full.dat"));
}

TEST_F(InstalledWrites, TheLogGoesToTheDataFolderNotTheWorkingFolder) {
    krSystem::DebugLog("one %d", 1);
    krSystem::DebugLog("two");
    EXPECT_EQ(ReadText(DataFolder() / "DEBUG.TXT"), "one 1\ntwo\n");
    EXPECT_TRUE(fs::is_empty(work_.Path()));
}

TEST_F(InstalledWrites, ScreenshotsGoToTheDataFolder) {
    ASSERT_EQ(krDraw::Screen(800, 600, 1), 1);
    ASSERT_EQ(krDraw::SaveScreen("shot.bmp", 8, 4), 1);
    EXPECT_EQ(fs::file_size(DataFolder() / "shot.bmp"), 58u + 24u * 4u);
    EXPECT_FALSE(fs::exists(fs::path(ProgramFolder()) / "shot.bmp"));
}

TEST_F(InstalledWrites, APlayersOwnRedirectionStillWins) {
    ScopedEnv system("KR_SYSTEM_FOLDER", work_.Path().c_str());
    std::ofstream(work_.Path() / "redirect.txt") << "/save/root\n";
    krSystem::ReadSaveRoot("redirect.txt");
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(1)), "/save/root/" + plat::FolderName(ProgramFolder()) + "/");
}

TEST_F(InstalledWrites, WithoutXdgDataHomeTheFolderIsMadeUnderHome) {
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", work_.Path().c_str());
    const fs::path expected = work_.Path() / ".local/share" / plat::FolderName(ProgramFolder());
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(1)), expected.string() + "/");
    EXPECT_TRUE(fs::is_directory(expected));
    krSystem::SaveNumber("n.dat", 3);
    EXPECT_EQ(ReadText(expected / "n.dat"), "3");
}

TEST_F(InstalledWrites, RunFromTheBuildFolderTheProgramWritesBesideItselfAsBefore) {
    plat::OverrideInstalled(0);
    EXPECT_EQ(std::string(krSystem::GetBaseFolder(1)), ProgramFolder());
    EXPECT_FALSE(fs::exists(DataFolder()));
    krSystem::DebugLog("here");
    EXPECT_EQ(ReadText(work_.Path() / "DEBUG.TXT"), "here\n");
}

// The game's headless program, laid out as the package installs it (program,
// pictures, map and marker in one folder), started from an empty working
// folder with an empty home.
struct InstalledRun {
    TempFolder root;
    fs::path game = root.Path() / "usr/lib/pokotanba";
    fs::path home = root.Path() / "home";
    fs::path work = root.Path() / "work";
    fs::path out = root.Path() / "out";

    explicit InstalledRun(bool marked) {
        fs::create_directories(game);
        for (const fs::path& dir : {home, work, out}) fs::create_directories(dir);
        fs::copy_file(KR_RUN_DIR "/pokotanba-replay", game / "pokotanba-replay");
        fs::copy(KR_RUN_DIR "/BMP", game / "BMP", fs::copy_options::recursive);
        fs::copy_file(KR_RUN_DIR "/map.txt", game / "map.txt");
        if (marked) std::ofstream(game / "kr-installed") << "";
        std::ofstream(out / "input.txt") << "2 RIGHT down\n20 RIGHT up\n";
    }

    // The player's x position after 24 frames of walking right, or -1.
    double Play() const {
        const std::string command = "cd '" + work.string() + "' && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME='" +
                                    home.string() + "' KR_DESKTOP_BITS=16 '" + (game / "pokotanba-replay").string() +
                                    "' --frames 24 --input '" + (out / "input.txt").string() + "' --trace '" +
                                    (out / "trace.txt").string() + "' 2> '" + (out / "errors.txt").string() + "'";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(out / "errors.txt");
        std::istringstream trace(ReadText(out / "trace.txt"));
        std::string line, last;
        while (std::getline(trace, line)) last = line;
        long frame = 0;
        std::string tag;
        double x = -1;
        std::istringstream(last) >> frame >> tag >> x;
        return frame == 24 && tag == "P" ? x : -1;
    }
};

TEST(InstalledGame, FindsItsMapFromAnyWorkingFolderAndWritesNothingOutsideHome) {
    InstalledRun run(true);
    const auto gameBefore = Listing(run.game);
    const double x = run.Play();
    EXPECT_GT(x, 320.0) << "the player walked: the map beside the program was read";
    EXPECT_EQ(Listing(run.game), gameBefore);
    EXPECT_TRUE(fs::is_empty(run.work));
}

TEST(InstalledGame, UnmarkedTheGameReadsTheMapFromTheWorkingFolderAsBefore) {
    InstalledRun run(false);
    const double x = run.Play();
    ASSERT_GE(x, 0.0);
    EXPECT_LT(x, 320.0) << "no map.txt in the working folder: every tile blocks";
    std::ofstream(run.work / "map.txt") << ReadText(run.game / "map.txt");
    EXPECT_GT(run.Play(), 320.0);
}

}  // namespace
