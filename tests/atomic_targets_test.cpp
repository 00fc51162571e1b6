// Where atomic writes go and what they leave: links are followed and kept,
// devices are written and never replaced, a killed write leaves no temporary
// file past the next write, a name at the file-name limit still writes, a
// writable file in a read-only folder is written in place, and the steps of
// a write come in the order that survives a power cut: write, sync, close,
// rename.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/os/atomic_file.h"
#include "platform/os/same_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Write(const fs::path& path, const std::string& text) {
    return plat::WriteFileAtomically(path.string(), text.data(), text.size());
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class AtomicTargets : public testing::Test {
protected:
    void TearDown() override {
        plat::UseUnnamedTemporaries(true);
        plat::SetFailingWrite(0);
        plat::RecordWriteSteps(false);
    }
    kr_test::TempFolder folder_{"kr_atomic_targets"};
    const fs::path& Folder() const { return folder_.Path(); }
};

TEST_F(AtomicTargets, LinksAreFollowedAndStayLinks) {
    fs::create_directories(Folder() / "real" / "deeper");
    std::ofstream(Folder() / "real" / "file.txt") << "old";
    fs::create_symlink(Folder() / "real" / "file.txt", Folder() / "absolute.txt");
    fs::create_symlink("deeper/../file.txt", Folder() / "real" / "relative.txt");
    fs::create_symlink("real/relative.txt", Folder() / "chain.txt");  // a link to a link
    for (const char* name : {"absolute.txt", "real/relative.txt", "chain.txt"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Write(Folder() / name, std::string("new through ") + name));
        EXPECT_TRUE(fs::is_symlink(Folder() / name)) << "the link was replaced by a file";
        EXPECT_EQ(Slurp(Folder() / "real" / "file.txt"), std::string("new through ") + name);
    }
    // A link to a file not made yet makes it where the link points.
    fs::create_symlink("later.txt", Folder() / "dangling.txt");
    ASSERT_TRUE(Write(Folder() / "dangling.txt", "made"));
    EXPECT_TRUE(fs::is_symlink(Folder() / "dangling.txt"));
    EXPECT_EQ(Slurp(Folder() / "later.txt"), "made");
    // Appending goes on from the file the link names.
    {
        plat::AtomicFile more((Folder() / "chain.txt").string(), plat::AtomicFile::Start::kExisting);
        ASSERT_TRUE(more.Write("+", 1));
        ASSERT_TRUE(more.Commit());
    }
    EXPECT_EQ(Slurp(Folder() / "real" / "file.txt"), "new through chain.txt+");
    // A loop of links is no file at all.
    fs::create_symlink("loop_b", Folder() / "loop_a");
    fs::create_symlink("loop_a", Folder() / "loop_b");
    EXPECT_FALSE(Write(Folder() / "loop_a", "x"));
    EXPECT_TRUE(fs::is_symlink(Folder() / "loop_a"));
    EXPECT_EQ(plat::ResolveLinks((Folder() / "loop_a").string()), "");
}

// Devices are written through and keep being devices; a device that refuses
// the bytes (/dev/full) makes the write fail.
TEST_F(AtomicTargets, DevicesAreWrittenDirectlyAndNeverReplaced) {
    // As root, nodes of our own, so that a wrong write could replace nothing of
    // the system's; others cannot replace the system's nodes and use those.
    const bool own = ::mknod((Folder() / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                     ::mknod((Folder() / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const std::vector<fs::path> nulls = {own ? Folder() / "null" : fs::path("/dev/null")};
    const std::vector<fs::path> fulls = {own ? Folder() / "full" : fs::path("/dev/full")};
    for (const fs::path& device : nulls) {
        SCOPED_TRACE(device.string());
        EXPECT_TRUE(Write(device, std::string(100000, 'x')));
        EXPECT_TRUE(fs::is_character_file(device));
    }
    for (const fs::path& device : fulls) {
        SCOPED_TRACE(device.string());
        EXPECT_FALSE(Write(device, "never fits")) << "a failed write reported success";
        EXPECT_TRUE(fs::is_character_file(device));
    }
    if (own) {
        EXPECT_EQ(Names(Folder()), (std::vector<std::string>{"full", "null"})) << "a temporary file was left";
    }
}

// A child process begins a write and is killed before it commits.
void KillDuringWrite(const fs::path& target) {
    const pid_t child = fork();
    if (child == 0) {
        plat::AtomicFile file(target.string());
        const std::string half(50000, 'k');
        file.Write(half.data(), half.size());
        std::fflush(file.Stream());
        ::raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
}

TEST_F(AtomicTargets, AKilledWriteLeavesNoTemporaryPastTheNextWrite) {
    const fs::path target = Folder() / "save.dat";
    std::ofstream(target) << "old";
    KillDuringWrite(target);
    EXPECT_EQ(Names(Folder()), std::vector<std::string>{"save.dat"}) << "the unnamed temporary file stayed";
    EXPECT_EQ(Slurp(target), "old");

    plat::UseUnnamedTemporaries(false);
    KillDuringWrite(target);
    ASSERT_EQ(Names(Folder()).size(), 2u) << "a named temporary file is left by the killed write";
    // Another writer's file, still being written (it holds its lock), stays.
    const fs::path live = Folder() / "save.dat.tmpLIVE01";
    std::ofstream(live) << "in use";
    const int held = ::open(live.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    // A stray of another target stays too.
    std::ofstream(Folder() / "other.dat.tmpABCDEF") << "not ours";
    ASSERT_TRUE(Write(target, "new"));
    ::close(held);
    EXPECT_EQ(Names(Folder()), (std::vector<std::string>{"other.dat.tmpABCDEF", "save.dat", "save.dat.tmpLIVE01"}));
    EXPECT_EQ(Slurp(target), "new");
}

TEST_F(AtomicTargets, NamesAtTheFileNameLimitStillWrite) {
    const long limit = ::pathconf(Folder().c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 20);
    for (const bool unnamed : {true, false}) {
        plat::UseUnnamedTemporaries(unnamed);
        for (const long length : {limit - 9, limit}) {
            SCOPED_TRACE(std::to_string(length) + (unnamed ? " unnamed" : " named"));
            const fs::path target = Folder() / std::string(static_cast<std::size_t>(length), 'n');
            std::ofstream(target) << "old";
            ASSERT_TRUE(Write(target, "new"));
            EXPECT_EQ(Slurp(target), "new");
            EXPECT_EQ(Names(Folder()).size(), 1u) << "a temporary file was left";
            fs::remove(target);
        }
    }
}

// Runs `body` as a user who may write the file but not change its folder:
// in a child process that gives up root when the test runs as root.
int AsOrdinaryUser(const fs::path& file, const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            if (::chown(file.c_str(), 65534, 65534) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(3);
        }
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(AtomicTargets, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    const fs::path locked = Folder() / "locked";
    fs::create_directories(locked);
    const fs::path target = locked / "settings.dat";
    std::ofstream(target) << "the old, longer contents";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec | fs::perms::group_read | fs::perms::group_exec);
    fs::permissions(Folder(), fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    EXPECT_EQ(AsOrdinaryUser(target, [&] { return Write(target, "shorter"); }), 0);
    EXPECT_EQ(Slurp(target), "shorter") << "the old tail must be cut off";
    EXPECT_EQ(AsOrdinaryUser(target, [&] {
                  plat::AtomicFile log(target.string(), plat::AtomicFile::Start::kExisting);
                  return log.Write("+more", 5) && log.Commit();
              }),
              0);
    EXPECT_EQ(Slurp(target), "shorter+more");
    // A failed write in place is told, though it cannot keep the old bytes.
    EXPECT_EQ(AsOrdinaryUser(target, [&] {
                  plat::SetFailingWrite(1);
                  return Write(target, "never whole");
              }),
              1);
    // A file that may not be written at all stays as it was.
    const fs::path readOnly = locked / "readonly.dat";
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
    std::ofstream(readOnly) << "kept";
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
    fs::permissions(readOnly, fs::perms::owner_read);
    EXPECT_EQ(AsOrdinaryUser(readOnly, [&] {
                  ::chmod(readOnly.c_str(), 0400);
                  return Write(readOnly, "lost");
              }),
              1);
    EXPECT_EQ(Slurp(readOnly), "kept");
    fs::permissions(locked, fs::perms::owner_all);
}

// The steps of one write, with runs of write steps seen as one and the link
// that names an unnamed file left out.
std::vector<plat::WriteStep> StepsOfOneWrite(const fs::path& target) {
    plat::RecordWriteSteps(true);
    const bool written = Write(target, std::string(200000, 's'));
    std::vector<plat::WriteStep> steps = plat::RecordedWriteSteps();
    plat::RecordWriteSteps(false);
    EXPECT_TRUE(written);
    std::erase(steps, plat::WriteStep::kLink);
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    return steps;
}

TEST_F(AtomicTargets, DataIsSyncedAndClosedBeforeTheRename) {
    using S = plat::WriteStep;
    const fs::path target = Folder() / "order.dat";
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
        plat::UseUnnamedTemporaries(unnamed);
        std::ofstream(target) << "old";
        EXPECT_EQ(StepsOfOneWrite(target), (std::vector<S>{S::kWrite, S::kSync, S::kClose, S::kRename}));
    }
    // A sync that fails keeps the old file: the unsynced data never takes its name.
    plat::RecordWriteSteps(true);
    std::ofstream(target) << "old";
    ASSERT_TRUE(Write(target, "probe"));
    const std::vector<S> steps = plat::RecordedWriteSteps();
    const int sync = static_cast<int>(std::find(steps.begin(), steps.end(), S::kSync) - steps.begin()) + 1;
    std::ofstream(target, std::ios::trunc) << "old";
    plat::SetFailingWrite(sync);
    EXPECT_FALSE(Write(target, "probe"));
    EXPECT_TRUE(plat::FailingWriteFired());
    EXPECT_EQ(Slurp(target), "old");
}

TEST(SameFile, NamesOfOneFileAreOneFile) {
    kr_test::TempFolder folder("kr_same_file");
    const fs::path a = folder.Path() / "a.txt";
    std::ofstream(a) << "a";
    std::ofstream(folder.Path() / "b.txt") << "b";
    fs::create_symlink("a.txt", folder.Path() / "link.txt");
    fs::create_hard_link(a, folder.Path() / "hard.txt");
    fs::create_directories(folder.Path() / "sub");
    EXPECT_TRUE(plat::SameFile(a.string(), (folder.Path() / "sub" / ".." / "a.txt").string()));
    EXPECT_TRUE(plat::SameFile(a.string(), (folder.Path() / "link.txt").string()));
    EXPECT_TRUE(plat::SameFile(a.string(), (folder.Path() / "hard.txt").string()));
    EXPECT_FALSE(plat::SameFile(a.string(), (folder.Path() / "b.txt").string()));
    EXPECT_FALSE(plat::SameFile(a.string(), (folder.Path() / "none.txt").string()));
    EXPECT_TRUE(plat::SameFile((folder.Path() / "new.txt").string(), (folder.Path() / "sub/../new.txt").string()));
    EXPECT_FALSE(plat::SameFile("/dev/null", "/dev/null")) << "writing a device twice destroys nothing";
}

}  // namespace
