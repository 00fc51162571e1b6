// MIDI music end to end on the headless edge: the command strings each
// krSound operation sends, the media control layer's answers and
// notifications, and the music itself rendered through FluidSynth into the
// mixer (loops restart, pieces end and close, no SoundFont or no device
// means no music).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_helpers.h"
#include "midi_builder.h"
#include "platform/audio/mci.h"
#include "platform/audio/midi_player.h"
#include "platform/audio/mixer.h"
#include "platform/audio/notices.h"
#include "platform/os/window.h"
#include "shell_fixture.h"
#include "sound/krSound.h"

namespace {

namespace audio = plat::audio;
using kr_test::Events;
using Log = std::vector<std::string>;

constexpr int kRate = 44100;

// One note of 100 ms without reverb or chorus, then silence to 600 ms.
kr_test::Bytes ShortPiece() {
    return kr_test::Smf(0, 500,
                        {Events()
                             .At(0, {0xB0, 91, 0})
                             .At(0, {0xB0, 93, 0})
                             .At(0, {0xC0, 80})  // square lead: no long release
                             .At(0, {0x90, 69, 120})
                             .At(100, {0x80, 69, 0})
                             .End(500)});
}

// Tests that listen to the music in the mix, or choose its SoundFont, have
// nothing to hear where the system's own synthesiser plays it (Windows).
#define SKIP_UNLESS_MUSIC_IN_THE_MIX()                                          \
    if (!plat::audio::MidiRendersIntoMixer())                                   \
    GTEST_SKIP() << "the system's MIDI synthesiser plays the music here, outside the mixer"

class MidiTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        plat::RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        krSystemState.mainWindow = plat::CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        audio::ResetMixer();
        audio::OpenOutput();
        krSound::InitMidi();
        folder_ = "midi_test_" + std::to_string(getpid());
        std::filesystem::create_directories(Base() + folder_);
        plat::ClearMciCommandLog();
    }
    void TearDown() override {
        plat::MciSendString("close midi", nullptr, 0, 0);
        plat::ClearMciCommandLog();
        std::filesystem::remove_all(Base() + folder_);
        audio::CloseOutput();
        audio::ResetMixer();
        ShellTest::TearDown();
    }

    static std::string Base() { return krSystem::GetBaseFolder(0); }
    // Writes the piece and answers its name as the engine writes it.
    std::string Piece(const std::string& name, const kr_test::Bytes& bytes) {
        kr_test::WriteBytes(Base() + folder_ + "/" + name, bytes);
        return folder_ + "\\" + name;
    }
    static std::string OpenCommand(const std::string& name) {
        return "open \"" + Base() + name + "\" type sequencer alias midi";
    }
    static std::vector<std::int16_t> Render(int millis) { return plat::headless::RenderAudio16(kRate * millis / 1000); }
    // Takes and dispatches every waiting message; answers the MCI
    // notifications among them.
    static std::vector<std::uintptr_t> Pump() {
        std::vector<std::uintptr_t> notices;
        plat::Message m;
        while (plat::PeekMessage(m)) {
            if (m.message == plat::MM_MCINOTIFY) notices.push_back(m.wParam);
            plat::DispatchMessage(m);
        }
        return notices;
    }
    static Log Sent() { return plat::MciCommandLog(); }

    std::string folder_;
};

// ---- the command strings ----

TEST_F(MidiTest, PlayMidiOpensSeeksAndPlaysWithTheProgramFolder) {
    const std::string name = Piece("one.mid", kr_test::OneNotePiece(300));
    krSound::PlayMidi(name.c_str(), 1);
    EXPECT_EQ(Sent(), (Log{OpenCommand(name), "seek midi to start", "play midi notify"}));
    EXPECT_EQ(krSound::midiOpen, 1);
    EXPECT_EQ(krSound::midiLoop, 1);
    EXPECT_TRUE(audio::MidiIsPlaying());  // the backslash path was found
}

TEST_F(MidiTest, PlayMidiWhileOpenClosesFirst) {
    const std::string a = Piece("a.mid", kr_test::OneNotePiece(300));
    const std::string b = Piece("b.mid", kr_test::OneNotePiece(400));
    krSound::PlayMidi(a.c_str(), 1);
    krSound::PlayMidi(b.c_str(), 0);
    EXPECT_EQ(Sent(), (Log{OpenCommand(a), "seek midi to start", "play midi notify", "stop midi", "close midi",
                           OpenCommand(b), "seek midi to start", "play midi notify"}));
    EXPECT_EQ(krSound::midiLoop, 0);
    EXPECT_EQ(audio::MidiLengthMicros(), 400000u);
}

TEST_F(MidiTest, CloseSendsOnlyWhenOpenAndStopKeepsTheFlag) {
    krSound::CloseMidi();
    EXPECT_TRUE(Sent().empty());

    const std::string name = Piece("one.mid", kr_test::OneNotePiece(300));
    krSound::PlayMidi(name.c_str(), 0);
    plat::ClearMciCommandLog();
    krSound::StopMidi();
    EXPECT_EQ(Sent(), (Log{"stop midi", "close midi"}));
    EXPECT_EQ(krSound::midiOpen, 1);
    EXPECT_FALSE(audio::MidiIsOpen());
    krSound::CloseMidi();
    EXPECT_EQ(Sent(), (Log{"stop midi", "close midi", "stop midi", "close midi"}));
    EXPECT_EQ(krSound::midiOpen, 0);
    EXPECT_EQ(krSound::midiLoop, 0);  // the loop flag outlives the close
    krSound::CloseMidi();
    EXPECT_EQ(Sent().size(), 4u);
}

TEST_F(MidiTest, ANameTooLongForTheCommandBufferIsCutAndFailsHarmlessly) {
    const std::string name(300, 'n');
    krSound::PlayMidi(name.c_str(), 1);
    ASSERT_EQ(Sent().size(), 3u);
    EXPECT_EQ(Sent()[0].size(), 259u);  // 260 bytes with the terminator: the closing quote is lost
    EXPECT_FALSE(audio::MidiIsOpen());
    EXPECT_EQ(krSound::midiOpen, 1);
}

TEST_F(MidiTest, AMissingFileFailsSilentlyAndNeverEnds) {
    testing::internal::CaptureStderr();
    krSound::PlayMidi("no_such_piece.mid", 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(krSound::midiOpen, 1);
    Render(100);
    EXPECT_TRUE(Pump().empty());
    char reply[32] = "x";
    EXPECT_NE(plat::MciSendString("status midi mode", reply, sizeof reply, 0), 0u);
    EXPECT_STREQ(reply, "");
    plat::ClearMciCommandLog();
    krSound::CloseMidi();  // sent all the same
    EXPECT_EQ(Sent(), (Log{"stop midi", "close midi"}));
}

TEST_F(MidiTest, HostileFilesNeverOpen) {
    const kr_test::Bytes full = kr_test::OneNotePiece(300);
    const std::vector<kr_test::Bytes> bad = {
        kr_test::Bytes(full.begin(), full.begin() + 10),                                   // truncated
        kr_test::Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0, 0},  // not MIDI
        kr_test::Header(1, 0, 96),                                                        // no tracks
        kr_test::Smf(0, 0, {Events().At(0, {0x90, 60, 1}).End()}),                      // zero division
        kr_test::Smf(0, 96, {Events().At(0, {60, 1}).End()}),                           // running status first
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const std::string name = Piece("bad" + std::to_string(i) + ".mid", bad[i]);
        EXPECT_NE(plat::MciSendString(OpenCommand(name).c_str(), nullptr, 0, 0), 0u) << i;
        EXPECT_FALSE(audio::MidiIsOpen()) << i;
    }
}

TEST_F(MidiTest, TheCommandLayerParsesItsSixCommandsAndRefusesTheRest) {
    const std::string name = Piece("one.mid", kr_test::OneNotePiece(300));
    std::string slashes = Base() + name;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    ASSERT_EQ(plat::MciSendString(("open \"" + slashes + "\" type sequencer alias midi").c_str(), nullptr, 0, 0), 0u);
    char reply[32];
    EXPECT_EQ(plat::MciSendString("status midi mode", reply, sizeof reply, 0), 0u);
    EXPECT_STREQ(reply, "stopped");
    EXPECT_EQ(plat::MciSendString("play midi", nullptr, 0, 0), 0u);
    EXPECT_EQ(plat::MciSendString("STATUS Midi MODE", reply, sizeof reply, 0), 0u);
    EXPECT_STREQ(reply, "playing");
    char tiny[4];
    plat::MciSendString("status midi mode", tiny, sizeof tiny, 0);
    EXPECT_STREQ(tiny, "pla");  // cut to the buffer, terminated

    // Unknown commands, keywords and names change nothing.
    EXPECT_NE(plat::MciSendString("play music notify", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString("rewind midi", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString("seek midi to end", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString("play midi wait", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString("status midi", reply, sizeof reply, 0), 0u);
    EXPECT_NE(plat::MciSendString("", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString("open \"unterminated type sequencer alias midi", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString(OpenCommand(name).c_str(), nullptr, 0, 0), 0u);  // the alias is taken
    EXPECT_NE(plat::MciSendString(nullptr, reply, sizeof reply, 0), 0u);
    EXPECT_TRUE(audio::MidiIsPlaying());

    EXPECT_EQ(plat::MciSendString("stop midi", nullptr, 0, 0), 0u);
    plat::MciSendString("status midi mode", reply, sizeof reply, 0);
    EXPECT_STREQ(reply, "stopped");
    EXPECT_EQ(plat::MciSendString("close midi", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString("close midi", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::MciSendString(("open \"" + Base() + name + "\" type waveaudio alias midi").c_str(), nullptr, 0, 0),
              0u);
}

TEST_F(MidiTest, NotificationsAreAbortedOrSupersededLikeTheOriginals) {
    const std::string name = Piece("one.mid", kr_test::OneNotePiece(300));
    ASSERT_EQ(plat::MciSendString(OpenCommand(name).c_str(), nullptr, 0, 0), 0u);
    const plat::HWND w = krSystemState.mainWindow;
    plat::MciSendString("play midi notify", nullptr, 0, w);
    plat::MciSendString("play midi notify", nullptr, 0, w);
    EXPECT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUPERSEDED}));
    plat::MciSendString("stop midi", nullptr, 0, 0);
    EXPECT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_ABORTED}));
    plat::MciSendString("play midi notify", nullptr, 0, w);
    plat::MciSendString("seek midi to start", nullptr, 0, 0);
    EXPECT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_ABORTED}));
    plat::MciSendString("play midi", nullptr, 0, 0);  // no notification asked
    Render(400);
    EXPECT_TRUE(Pump().empty());
}

// ---- the music and its end ----

TEST_F(MidiTest, ALoopingPieceStartsAgainAtItsEnd) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    const std::string name = Piece("loop.mid", ShortPiece());
    krSound::PlayMidi(name.c_str(), 1);
    const std::vector<std::int16_t> first = Render(100);
    const int loud = kr_test::Peak(first);
    EXPECT_GT(loud, 2000);
    const std::vector<std::int16_t> rest = Render(450);  // to 550 ms: the note has died away
    EXPECT_LT(kr_test::Peak(rest, rest.size() - 2 * kRate / 20), loud / 20);
    EXPECT_TRUE(Pump().empty());  // not yet at the end
    plat::ClearMciCommandLog();

    Render(100);  // past 600 ms: the end, found while mixing
    EXPECT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_EQ(Sent(), (Log{"status midi mode", "seek midi to start", "play midi notify"}));
    EXPECT_EQ(krSound::midiOpen, 1);
    EXPECT_GT(kr_test::Peak(Render(100)), loud / 2);  // sound again: the second pass
    EXPECT_LT(audio::MidiPositionMicros(), 150000u);
}

TEST_F(MidiTest, APieceThatDoesNotLoopClosesAtItsEnd) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    const std::string name = Piece("once.mid", ShortPiece());
    krSound::PlayMidi(name.c_str(), 0);
    EXPECT_GT(kr_test::Peak(Render(100)), 2000);
    Render(600);
    plat::ClearMciCommandLog();
    EXPECT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_EQ(Sent(), (Log{"status midi mode", "stop midi", "close midi"}));
    EXPECT_EQ(krSound::midiOpen, 0);
    EXPECT_EQ(kr_test::Peak(Render(100)), 0);
    EXPECT_TRUE(Pump().empty());  // one notification only
}

TEST_F(MidiTest, EndMidiLoopEndsAfterTheCurrentPass) {
    const std::string name = Piece("loop.mid", ShortPiece());
    krSound::PlayMidi(name.c_str(), 1);
    Render(700);
    Pump();  // first pass over: starts again
    ASSERT_EQ(krSound::midiOpen, 1);
    Render(200);
    krSound::EndMidiLoop();
    EXPECT_TRUE(audio::MidiIsPlaying());  // this pass goes on
    Render(500);
    plat::ClearMciCommandLog();
    EXPECT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_EQ(Sent(), (Log{"status midi mode", "stop midi", "close midi"}));
    EXPECT_EQ(krSound::midiOpen, 0);
}

TEST_F(MidiTest, TheWindowProcedureActsOnlyOnASuccessfulEndOfAnOpenStoppedPiece) {
    const std::string name = Piece("loop.mid", ShortPiece());
    krSound::PlayMidi(name.c_str(), 1);
    plat::ClearMciCommandLog();
    const plat::HWND w = krSystemState.mainWindow;
    plat::SendMessage(w, plat::MM_MCINOTIFY, plat::MCI_NOTIFY_ABORTED, 1);
    EXPECT_TRUE(Sent().empty());
    plat::SendMessage(w, plat::MM_MCINOTIFY, plat::MCI_NOTIFY_SUCCESSFUL, 1);  // still playing
    EXPECT_EQ(Sent(), (Log{"status midi mode"}));
    krSound::midiOpen = 0;
    plat::SendMessage(w, plat::MM_MCINOTIFY, plat::MCI_NOTIFY_SUCCESSFUL, 1);
    EXPECT_EQ(Sent().size(), 1u);
    krSound::midiOpen = 1;
    plat::MciSendString("stop midi", nullptr, 0, 0);
    plat::ClearMciCommandLog();
    plat::SendMessage(w, plat::MM_MCINOTIFY, plat::MCI_NOTIFY_SUCCESSFUL, 1);  // stopped: "st"
    EXPECT_EQ(Sent(), (Log{"status midi mode", "seek midi to start", "play midi notify"}));
}

TEST_F(MidiTest, AChosenSoundFontThatIsNoFileIsSaidOnceAndTheSearchGoesOn) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    namespace fs = std::filesystem;
    const fs::path root = fs::path(Base()) / folder_ / "root";
    const fs::path sf2 = root / "usr/share/sounds/sf2";
    fs::create_directories(sf2);
    kr_test::WriteBytes((sf2 / "FluidR3_GM.sf2").string(), {1});
    const std::string installed = fs::canonical(sf2).string() + "/FluidR3_GM.sf2";
    std::string why;
    setenv("KR_SOUNDFONT", "/no/such/font.sf2", 1);
    testing::internal::CaptureStderr();
    const std::vector<std::string> order = audio::SoundFontCandidates(root.string(), why);
    audio::SoundFontCandidates(root.string(), why);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, audio::ProgramLabel() + ": KR_SOUNDFONT: no SoundFont file /no/such/font.sf2; using the installed ones\n");
    EXPECT_EQ(order, (std::vector<std::string>{installed}));
    // A chosen file leads, and the installed ones follow it for when it cannot be loaded.
    const std::string chosen = (root / "mine.sf2").string();
    kr_test::WriteBytes(chosen, {1});
    setenv("KR_SOUNDFONT", chosen.c_str(), 1);
    EXPECT_EQ(audio::SoundFontCandidates(root.string(), why), (std::vector<std::string>{chosen, installed}));
    unsetenv("KR_SOUNDFONT");
    fs::remove_all(root);
}

TEST_F(MidiTest, WithoutAnAudioDeviceThereIsNoMusicAndOneLineSaysWhy) {
    const std::string name = Piece("one.mid", ShortPiece());
    audio::CloseOutput();
    plat::headless::FailAudioDevice(true);
    testing::internal::CaptureStderr();
    krSound::PlayMidi(name.c_str(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, audio::ProgramLabel() + ": no music (no audio device)\n");
    EXPECT_FALSE(audio::MidiIsOpen());
}

TEST_F(MidiTest, ALoopingPieceThatEndsOnVolumeZeroIsHeardAgain) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    // The pass ends by turning channel 0's volume (controller 7) down to 0;
    // the restart must begin from a reset synthesiser, at full volume.
    const std::string name = Piece("fade.mid", kr_test::Smf(0, 500,
                                                             {Events()
                                                                  .At(0, {0xB0, 91, 0})
                                                                  .At(0, {0xC0, 80})
                                                                  .At(0, {0x90, 69, 120})
                                                                  .At(100, {0x80, 69, 0})
                                                                  .At(100, {0xB0, 7, 0})
                                                                  .End(100)}));
    krSound::PlayMidi(name.c_str(), 1);
    const int loud = kr_test::Peak(Render(100));
    ASSERT_GT(loud, 2000);
    Render(300);
    ASSERT_EQ(Pump(), (std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL}));
    EXPECT_GT(kr_test::Peak(Render(100)), loud / 2);  // the second pass sounds
}

TEST_F(MidiTest, ASecondPieceStartsFromAResetSynthesiser) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    // The first piece silences channel 0 and bends it; the second only plays.
    const std::string first = Piece("first.mid", kr_test::Smf(0, 500,
                                                               {Events()
                                                                    .At(0, {0xB0, 7, 0})
                                                                    .At(0, {0xB0, 11, 0})
                                                                    .At(0, {0xE0, 0x00, 0x00})
                                                                    .End(200)}));
    const std::string second = Piece("second.mid", kr_test::Smf(0, 500,
                                                                 {Events()
                                                                      .At(0, {0xB0, 91, 0})
                                                                      .At(0, {0xC0, 79})
                                                                      .At(0, {0x90, 69, 120})
                                                                      .At(300, {0x80, 69, 0})
                                                                      .End(100)}));
    krSound::PlayMidi(first.c_str(), 0);
    Render(100);
    krSound::PlayMidi(second.c_str(), 0);
    const std::vector<std::int16_t> opening = Render(100);
    EXPECT_GT(kr_test::Peak(opening), 2000);  // sound within the first 100 ms
    const std::vector<std::int16_t> held = Render(150);
    EXPECT_NEAR(kr_test::CountZeroCrossings(kr_test::Channel(held, 2, 0)), 132, 10);  // 440 Hz, unbent
}

TEST_F(MidiTest, SystemExclusiveMessagesReachTheSynthesiser) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    // Volume 0, then a General MIDI reset: the note after it is heard only
    // if the reset reached the synthesiser.
    const std::string name = Piece("gm.mid", kr_test::Smf(0, 500,
                                                           {Events()
                                                                .At(0, {0xB0, 7, 0})
                                                                .At(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
                                                                .At(10, {0xC0, 80})
                                                                .At(0, {0x90, 69, 120})
                                                                .At(200, {0x80, 69, 0})
                                                                .End(100)}));
    krSound::PlayMidi(name.c_str(), 0);
    EXPECT_GT(kr_test::Peak(Render(150)), 2000);
}

TEST_F(MidiTest, TheGamesMusicSitsAtBackgroundLevelWithRoomForEffects) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    const std::string music = std::string(KR_RUN_DIR) + "/music.mid";
    if (!std::filesystem::exists(music)) GTEST_SKIP() << "no " << music;
    ASSERT_EQ(plat::MciSendString(("open \"" + music + "\" type sequencer alias midi").c_str(), nullptr, 0, 0), 0u);
    plat::MciSendString("play midi", nullptr, 0, 0);
    // RMS over the 100 ms windows that sound, in dB of full scale.
    const std::vector<std::int16_t> s = Render(12000);
    double sum = 0;
    long counted = 0;
    int peak = 0;
    const std::size_t window = 2 * kRate / 10;
    for (std::size_t at = 0; at + window <= s.size(); at += window) {
        double w = 0;
        for (std::size_t i = at; i < at + window; ++i) w += static_cast<double>(s[i]) * s[i];
        if (w / window < 1.0) continue;  // silence between passes
        sum += w;
        counted += static_cast<long>(window);
        peak = std::max(peak, kr_test::Peak(s, at, at + window));
    }
    ASSERT_GT(counted, 0);
    const double dbfs = 10 * std::log10(sum / counted / (32768.0 * 32768.0));
    std::printf("music: %.1f dBFS RMS while sounding, peak %d\n", dbfs, peak);
    EXPECT_NEAR(dbfs, -22.0, 2.5);
    // Effects play on top: the music's own peaks stay 4 dB or more under
    // full scale.
    EXPECT_LT(peak, 20675);
}

TEST_F(MidiTest, TheSystemsGeneralMidiAlternativeComesBeforeNamedFiles) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    namespace fs = std::filesystem;
    const fs::path root = fs::path(Base()) / folder_ / "root";
    const fs::path sf2 = root / "usr/share/sounds/sf2";
    fs::create_directories(sf2);
    fs::create_directories(root / "etc/alternatives");
    for (const char* name : {"FluidR3_GM.sf2", "chosen.sf2", "another.sf2"}) kr_test::WriteBytes((sf2 / name).string(), {1});
    // default-GM.sf2 -> /etc/alternatives/default-GM.sf2 -> chosen.sf2, as Debian links them.
    fs::create_symlink("../../../../etc/alternatives/default-GM.sf2", sf2 / "default-GM.sf2");
    fs::create_symlink("../../usr/share/sounds/sf2/chosen.sf2", root / "etc/alternatives/default-GM.sf2");
    unsetenv("KR_SOUNDFONT");
    std::string why;
    const std::vector<std::string> order = audio::SoundFontCandidates(root.string(), why);
    const std::string real = fs::canonical(sf2).string() + "/";
    EXPECT_EQ(order, (std::vector<std::string>{real + "chosen.sf2", real + "FluidR3_GM.sf2", real + "another.sf2"}));
    // Without the alternative, the known name leads.
    fs::remove(root / "etc/alternatives/default-GM.sf2");
    EXPECT_EQ(audio::SoundFontCandidates(root.string(), why).front(), real + "FluidR3_GM.sf2");
    fs::remove_all(root);
    EXPECT_TRUE(audio::SoundFontCandidates(root.string(), why).empty());
    EXPECT_EQ(why, "no General MIDI SoundFont installed");
}

TEST_F(MidiTest, ABrokenSoundFontIsReportedOnceAndTheLibraryStaysQuiet) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    const std::string name = Piece("one.mid", ShortPiece());
    const std::string broken = Base() + folder_ + "/broken.sf2";
    kr_test::WriteBytes(broken, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'});
    std::string why;
    const bool installed = !audio::SoundFontCandidates("", why).empty();
    setenv("KR_SOUNDFONT", broken.c_str(), 1);
    testing::internal::CaptureStderr();
    for (int play = 0; play < 3; ++play) krSound::PlayMidi(name.c_str(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    unsetenv("KR_SOUNDFONT");
    const std::string me = audio::ProgramLabel() + ": ";
    // The broken choice falls back to an installed SoundFont when there is one.
    const std::string ending = installed ? "" : me + "no music (no General MIDI SoundFont could be loaded)\n";
    EXPECT_EQ(said, me + "the SoundFont " + broken + " could not be loaded\n" + ending);
    EXPECT_EQ(audio::MidiIsOpen(), installed);
}

TEST_F(MidiTest, MusicFollowsAChangeOfTheOutputRate) {
    SKIP_UNLESS_MUSIC_IN_THE_MIX();
    // An ocarina's 440 Hz struck every 100 ms (the notes that sound when
    // the rate changes are cut; the following ones play at the new rate).
    Events notes = Events().At(0, {0xB0, 91, 0}).At(0, {0xB0, 93, 0}).At(0, {0xC0, 79});
    for (int i = 0; i < 10; ++i) notes.At(0, {0x90, 69, 110}).At(100, {0x80, 69, 0});
    const std::string name = Piece("notes.mid", kr_test::Smf(0, 500, {notes.End()}));
    krSound::PlayMidi(name.c_str(), 0);
    Render(100);
    ASSERT_TRUE(audio::SetOutputFormat(audio::PcmFormat{22050, 2, 16}));
    // 200 ms at 22050 Hz, the attack long over: 440 Hz is 176 crossings.
    plat::headless::RenderAudio16(22050 / 10);
    const std::vector<std::int16_t> s = plat::headless::RenderAudio16(22050 / 5);
    EXPECT_NEAR(kr_test::CountZeroCrossings(kr_test::Channel(s, 2, 0)), 176, 12);
    EXPECT_NEAR(static_cast<double>(audio::MidiPositionMicros()), 400000.0, 1000.0);
}

}  // namespace
