// Hours of play in one process: the game under random (seeded) keys, and the
// showcase stepping through every scene with its sound and music pulled as
// an audio device would, each until the virtual clock of the headless edge
// has run one hour. The sanitizer build checks every access and every leak
// on the way; the test checks that the run ends without an error and that
// the live heap stays flat once warmed up.
//
// The game runs at its own 75 frames a second (13 ms a frame: 276,924
// frames, more than the 216,000 of an hour at 60). The showcase runs at 20
// frames a second (72,000 frames): its scenes draw pixel by pixel, which the
// address sanitizer makes too slow for 216,000 frames in the test command;
// the sound is pulled by the clock, so every second of the hour is mixed.
//
// The program lives in the run folder, so the engine finds the pictures,
// sounds and music where the programs find them.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtime's count of live heap bytes (GCC ships no header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#define KR_SANITIZER_HEAP 1
#endif

#include "game/game.h"
#include "game/game_state.h"
#include "platform/audio/mixer.h"
#include "platform/headless/headless.h"
#include "platform/os/backend.h"
#include "platform/os/window.h"
#include "showcase/showcase.h"
#include "system/krSystem.h"
#include "platform/os/random.h"

#include "heap_growth.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kMinute = 60 * 1000;  // virtual milliseconds
constexpr std::uint32_t kHour = 60 * kMinute;
constexpr long kHourAtSixty = 216000;  // frames of an hour at 60 a second
constexpr std::uint32_t kShowcaseFrameRate = 20;
// Memory is sampled every five minutes of play; the first sample, after
// five minutes, is the baseline (caches filled, every scene seen twice, the
// SoundFont loaded).
constexpr std::uint32_t kSampleEvery = 5 * kMinute;
constexpr int kSamples = kHour / kSampleEvery;
// The live heap may grow by kAllowedGrowth over the remaining 55 minutes
// (heap_growth.h: the allowance, why, and the growth figure).
using kr_endurance::kAllowedGrowth;
using kr_endurance::Sample;

// ---- measuring memory ----

// Bytes the program holds from the allocator right now: the sanitizer's own
// count in a sanitizer build, else the C library's.
long long LiveHeapBytes() {
#ifdef KR_SANITIZER_HEAP
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#endif
}

// Resident set size (reported only: the sanitizer's quarantine keeps freed
// memory resident until it is full).
long long ResidentBytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    const bool read = std::fscanf(f, "%ld %ld", &pages, &resident) == 2;
    std::fclose(f);
    return read ? static_cast<long long>(resident) * sysconf(_SC_PAGESIZE) : 0;
}

struct MemoryLog {
    MemoryLog() { samples.reserve(kSamples + 1); }  // the log itself must not grow
    std::vector<Sample> samples;

    void Take(long frame, std::uint32_t minute) {
        samples.push_back(Sample{frame, minute, LiveHeapBytes(), ResidentBytes()});
    }
    // Largest rise of the live heap over the first sample.
    long long Growth() const { return kr_endurance::HeapGrowth(samples); }
    void Print(const char* what) const {
        std::printf("%s: live heap and resident size every five virtual minutes\n", what);
        for (const Sample& s : samples)
            std::printf("  minute %2u  frame %6ld  live %10lld  (%+lld)  resident %10lld\n", s.minute, s.frame, s.live,
                        s.live - samples.front().live, s.resident);
    }
};

// ---- driving a program on the headless edge ----

// A fresh folder as the working directory (the game reads map.txt there);
// the old one comes back and the folder goes when the run ends.
class WorkFolder {
public:
    WorkFolder() {
        char name[] = "/tmp/kr_endurance_XXXXXX";
        if (mkdtemp(name)) path_ = name;
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_, previous_;
};

fs::path RunFolder() { return fs::path(plat::ProgramPath()).parent_path(); }

// The state a run shares with the frame and pump hooks (plain functions,
// as the shell takes them).
struct Run {
    std::uint32_t start = 0;  // the virtual clock when the first frame began
    std::uint32_t nextSample = kSampleEvery;
    bool ending = false;
    long framesDone = 0;
    long deliveredFrame = 0;  // the frame whose keys were last posted
    void (*keys)(long frame) = nullptr;
    MemoryLog memory;
};
Run run;

void PostKey(int vk, bool down) {
    // A key-up message carries the previous-state and transition bits.
    const std::intptr_t lParam = down ? 1 : static_cast<std::intptr_t>(0xC0000001u);
    plat::PostMessage(krSystemState.mainWindow, down ? plat::WM_KEYDOWN : plat::WM_KEYUP,
                      static_cast<std::uintptr_t>(vk), lParam);
}

// Posts the keys of the coming frame once the previous frame ended.
void DeliverKeys() {
    const long coming = run.framesDone + 1;
    if (run.deliveredFrame >= coming || krSystemState.mainWindow == 0) return;
    run.deliveredFrame = coming;
    run.keys(coming);
}

std::uint32_t Elapsed() { return plat::headless::Clock() - run.start; }

// Before the first frame: the clock starts.
void BeginPlay() { run.start = plat::headless::Clock(); }

// After each frame: count it, sample memory every five minutes, close the
// window once the hour is over.
void EndFrame() {
    ++run.framesDone;
    const std::uint32_t elapsed = Elapsed();
    if (elapsed >= run.nextSample) {
        run.memory.Take(run.framesDone, run.nextSample / kMinute);
        run.nextSample += kSampleEvery;
    }
    if (elapsed >= kHour && !run.ending) {
        run.ending = true;
        plat::PostMessage(krSystemState.mainWindow, plat::WM_CLOSE, 0, 0);
    }
}

// Plays the given steps for an hour; answers the shell's exit code.
int PlayAnHour(void (*keys)(long), const krGameSteps& steps) {
    run = Run{};
    run.keys = keys;
    plat::SetBackend(&plat::headless::Instance());
    plat::headless::Reset();
    plat::headless::SetPumpHook(&DeliverKeys);
    krSystem::SetGameSteps(steps);
    char program[] = "kr_endurance";
    char* argv[] = {program, nullptr};
    const int result = krSystem::Main(1, argv);
    plat::headless::SetPumpHook({});
    return result;
}

// No box came up (every engine error shows one) and no error was raised.
void ExpectNoError() {
    EXPECT_EQ(krSystem::ErrorRaised(), 0);
    for (const plat::headless::BoxRecord& box : plat::headless::Boxes())
        ADD_FAILURE() << "a message box came up: " << box.captionUtf8 << ": " << box.textUtf8;
}

void ExpectFlatHeap(const char* what) {
    run.memory.Print(what);
    ASSERT_EQ(run.memory.samples.size(), static_cast<std::size_t>(kSamples));
    EXPECT_LE(run.memory.Growth(), kAllowedGrowth) << what << ": the live heap grew after warm-up";
}

// ---- the game ----

std::mt19937 gameDice;
// The keys the game reads, and which of them are held.
constexpr int kGameKeys[] = {plat::VK_LEFT, plat::VK_UP, plat::VK_RIGHT, plat::VK_DOWN, 'C', 'V'};
bool gameHeld[std::size(kGameKeys)];
float minX = 1e9f, maxX = -1e9f;

// Now and then a key changes: walks of every length in every direction,
// swings and the other button, often several keys at once.
void RandomGameKeys(long) {
    if (std::uniform_int_distribution<int>(0, 5)(gameDice) != 0) return;
    const std::size_t key = std::uniform_int_distribution<std::size_t>(0, std::size(kGameKeys) - 1)(gameDice);
    gameHeld[key] = !gameHeld[key];
    PostKey(kGameKeys[key], gameHeld[key]);
}

void GameStart() {
    GameStartup();
    BeginPlay();
}

void GameFrameCounted() {
    GameFrame();
    minX = std::min(minX, playerX);
    maxX = std::max(maxX, playerX);
    EndFrame();
}

TEST(Endurance, TheGamePlaysAnHourOfRandomInput) {
    WorkFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    fs::copy_file(RunFolder() / "map.txt", folder.Path() / "map.txt");
    setenv("KR_DESKTOP_BITS", "16", 1);
    gameDice.seed(20);
    const int result = PlayAnHour(&RandomGameKeys, krGameSteps{&GameStart, &GameFrameCounted});

    EXPECT_EQ(result, 0);
    EXPECT_GE(Elapsed(), kHour);
    EXPECT_GE(run.framesDone, kHourAtSixty);
    std::printf("game: %ld frames in %u virtual ms\n", run.framesDone, Elapsed());
    ExpectNoError();
    EXPECT_GT(maxX - minX, 100.0f) << "the player hardly moved: the keys did not reach the game";
    ExpectFlatHeap("game");
}

// ---- the showcase ----

std::mt19937 showcaseDice;
constexpr long kFramesPerScene = 9 * kShowcaseFrameRate;
// The scenes' own keys (never Escape, which ends the program).
constexpr int kSceneKeys[] = {plat::VK_SPACE, plat::VK_RETURN, plat::VK_LEFT, plat::VK_RIGHT, plat::VK_UP,
                              plat::VK_DOWN,  'S',             '0',           '1',            '2',
                              '3'};
int heldSceneKey = 0;
std::set<int> scenesSeen, scenesHeard;
std::vector<unsigned char> heard;

// Page Down every nine seconds walks through every scene again and again;
// in between, the scene's own keys are tapped or held at random.
void ShowcaseKeys(long frame) {
    if (frame % kFramesPerScene == 0) {
        if (heldSceneKey) PostKey(heldSceneKey, false);
        heldSceneKey = 0;
        PostKey(plat::VK_NEXT, true);
        PostKey(plat::VK_NEXT, false);
        return;
    }
    if (std::uniform_int_distribution<int>(0, 19)(showcaseDice) != 0) return;
    if (heldSceneKey) {
        PostKey(heldSceneKey, false);
        heldSceneKey = 0;
        return;
    }
    heldSceneKey = kSceneKeys[std::uniform_int_distribution<std::size_t>(0, std::size(kSceneKeys) - 1)(showcaseDice)];
    PostKey(heldSceneKey, true);
}

// The mix up to the clock's present, pulled as the device would; notes
// which scenes made a sound.
long long samplesPulled = 0;

void PullSoundSoFar() {
    const plat::audio::PcmFormat format = plat::audio::OutputFormat();
    const long long due = static_cast<long long>(format.rate) * Elapsed() / 1000;
    const int frames = static_cast<int>(due - samplesPulled);
    if (frames <= 0) return;
    samplesPulled = due;
    heard.assign(static_cast<std::size_t>(frames) * format.BlockAlign(), format.bits == 8 ? 0x80 : 0);
    plat::audio::Mix(heard.data(), frames);
    const unsigned char silence = format.bits == 8 ? 0x80 : 0;
    if (std::any_of(heard.begin(), heard.end(), [&](unsigned char b) { return b != silence; }))
        scenesHeard.insert(CurrentShowcaseScene());
}

void ShowcaseStart() {
    plat::SeedRandom(1);  // the same random effects in every run
    ShowcaseStartup();
    krSystem::SetFrameRate(kShowcaseFrameRate);
    BeginPlay();
}

void ShowcaseFrameCounted() {
    ShowcaseFrame();
    scenesSeen.insert(CurrentShowcaseScene());
    PullSoundSoFar();
    EndFrame();
}

int SceneIndex(const char* name) {
    const int index = FindShowcaseScene(name);
    EXPECT_GE(index, 0) << name;
    return index;
}

TEST(Endurance, TheShowcaseWalksEverySceneWithSoundAndMusicForAnHour) {
    WorkFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    showcaseDice.seed(20);
    const int result = PlayAnHour(&ShowcaseKeys, krGameSteps{&ShowcaseStart, &ShowcaseFrameCounted, kShowcaseTitle});

    EXPECT_EQ(result, 0);
    EXPECT_GE(Elapsed(), kHour);
    // Every millisecond of the hour was mixed.
    EXPECT_GE(samplesPulled, static_cast<long long>(plat::audio::OutputFormat().rate) * 3600);
    std::printf("showcase: %ld frames in %u virtual ms\n", run.framesDone, Elapsed());
    ExpectNoError();
    EXPECT_EQ(scenesSeen.size(), ShowcaseScenes().size());
    for (const char* loud : {"sound", "stream", "music"})
        EXPECT_EQ(scenesHeard.count(SceneIndex(loud)), 1u) << "nothing was heard in the " << loud << " scene";
    ExpectFlatHeap("showcase");
}

}  // namespace
