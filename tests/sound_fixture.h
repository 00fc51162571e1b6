// A fresh shell, mixer and sound table for the engine's sound tests, with WAV
// files and packs written into a folder beside the test program (where the
// engine looks for them). The headless mix is rendered on demand.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/text/cp932.h"
#include "platform/headless/headless.h"
#include "platform/os/window.h"
#include "shell_fixture.h"
#include "sound/krSound.h"
#include "sound_files.h"

class SoundTest : public ShellTest {
public:
    // One per process (ctest runs tests in parallel); six bytes with the
    // separator, as sound names are limited to 30.
    static std::string Folder() {
        char name[8];
        std::snprintf(name, sizeof name, "s%04d", static_cast<int>(getpid() % 10000));
        return name;
    }
    static std::filesystem::path FolderPath() {
        return std::filesystem::path(plat::ProgramPath()).parent_path() / Folder();
    }

protected:

    void SetUp() override {
        ShellTest::SetUp();
        plat::audio::ResetMixer();
        krSoundDevice = krSoundDeviceRecord{};
        std::filesystem::create_directories(FolderPath());
        ASSERT_EQ(krSound::Init(), 1);
        krSound::ClearObjects();
    }

    void TearDown() override {
        krSound::ClearObjects();
        krSound::Release();
        krSoundDevice = krSoundDeviceRecord{};
        krSound::ClearResources();
        plat::audio::ResetMixer();
        std::error_code ignored;
        std::filesystem::remove_all(FolderPath(), ignored);
        ShellTest::TearDown();
    }

    // Writes a file into the folder; returns its engine name "sNNNN\<file>".
    static std::string Write(const std::string& file, const soundfiles::Bytes& bytes) {
        EXPECT_TRUE(soundfiles::WriteFile((FolderPath() / file).string(), bytes)) << file;
        return Folder() + "\\" + file;
    }

    // A 16-bit PCM file of `frames` frames of a ramp (see soundfiles::Ramp16).
    static std::string WriteRamp(const std::string& file, int channels, int rate, std::size_t frames, int base = 0) {
        return Write(file, soundfiles::PcmWave(channels, rate, 16, soundfiles::Ramp16(channels, frames, base)));
    }

    static std::vector<std::int16_t> Render(int frames) { return plat::headless::RenderAudio16(frames); }

    static std::string LastBox() {
        const auto& boxes = plat::headless::Boxes();
        return boxes.empty() ? std::string() : boxes.back().textUtf8;
    }
    static std::string Box(const char* label, const char* message) {
        return plat::Cp932ToUtf8((std::string(label) + " : " + message).c_str());
    }
    static std::size_t BoxCount() { return plat::headless::Boxes().size(); }

    static int Voice(int slot, int j = 0) { return krSoundObjects[slot].buffers[j]; }
};
