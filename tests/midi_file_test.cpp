// The standard MIDI file reader: timing (tempo changes, SMPTE, the merge of
// tracks) and every kind of lying or broken file, which must fail or give
// what can be read without reading past the bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>

#include "midi_builder.h"
#include "platform/audio/midi_file.h"

namespace {

using kr_test::Bytes;
using kr_test::Events;
using kr_test::Smf;
using plat::audio::MidiEvent;
using plat::audio::MidiSong;

// Parses from an exactly sized heap copy, so that any read past the end is
// caught by the address sanitizer.
bool Parse(const Bytes& bytes, MidiSong& song) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return plat::audio::ParseMidi(copy.get(), bytes.size(), song);
}

std::vector<std::uint64_t> Times(const MidiSong& song) {
    std::vector<std::uint64_t> out;
    for (const MidiEvent& e : song.events) out.push_back(e.micros);
    return out;
}

TEST(MidiFileTest, TempoChangesTimeTheFollowingTicks) {
    // 480 ticks a quarter: 120 a minute, then 60 a minute from tick 960.
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(0, 480,
                          {Events()
                               .At(0, {0x90, 60, 100})
                               .At(480, {0x80, 60, 0})
                               .Tempo(480, 1000000)
                               .At(0, {0x90, 62, 100})
                               .At(480, {0x80, 62, 0})
                               .End(240)}),
                      song));
    EXPECT_EQ(Times(song), (std::vector<std::uint64_t>{0, 500000, 1000000, 2000000}));
    EXPECT_EQ(song.lengthMicros, 2500000u);
    EXPECT_EQ(song.events[2].status, 0x90);
    EXPECT_EQ(song.events[2].data1, 62);
}

TEST(MidiFileTest, FormatOneMergesTracksUnderOneTempoMap) {
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(1, 100,
                          {Events().Tempo(0, 200000).Tempo(100, 400000).End(),
                           Events().At(50, {0x91, 40, 90}).At(100, {0x81, 40, 0}).End(),
                           Events().At(0, {0xC2, 5}).At(200, {0xB2, 7, 100}).End(50)}),
                      song));
    // Ticks 0, 50, 150, 200 (and the end at 250): 2 ms a tick, then 4 ms.
    EXPECT_EQ(Times(song), (std::vector<std::uint64_t>{0, 100000, 400000, 600000}));
    EXPECT_EQ(song.events[0].status, 0xC2);
    EXPECT_EQ(song.events[0].data1, 5);
    EXPECT_EQ(song.lengthMicros, 800000u);
}

TEST(MidiFileTest, RunningStatusAndOneByteMessages) {
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(0, 96,
                          {Events()
                               .At(0, {0x90, 60, 100})
                               .At(0, {64, 100})  // running status
                               .At(0, {0xC0, 10})
                               .At(0, {11})  // running program change
                               .At(0, {0xE0, 0x00, 0x40})
                               .End()}),
                      song));
    ASSERT_EQ(song.events.size(), 5u);
    EXPECT_EQ(song.events[1].status, 0x90);
    EXPECT_EQ(song.events[1].data1, 64);
    EXPECT_EQ(song.events[3].status, 0xC0);
    EXPECT_EQ(song.events[3].data1, 11);
}

// Channel pressure carries one data byte, as a program change does: a
// reader that takes two swallows the next event's status byte (or its
// delta time) and loses or misreads everything after it.
TEST(MidiFileTest, ChannelPressureHasOneDataByte) {
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(0, 500,
                          {Events()
                               .At(0, {0xC0, 5})
                               .At(0, {0xD0, 64})
                               .At(10, {0x90, 60, 100})
                               .At(10, {62, 90})  // running status of the note
                               .At(0, {0xD1, 30})
                               .At(5, {31})  // running channel pressure
                               .At(5, {0x91, 70, 80})
                               .End(20)}),
                      song));
    struct Want {
        std::uint64_t micros;
        std::uint8_t status, data1, data2;
    };
    const Want want[] = {{0, 0xC0, 5, 0},      {0, 0xD0, 64, 0},     {10000, 0x90, 60, 100}, {20000, 0x90, 62, 90},
                         {20000, 0xD1, 30, 0}, {25000, 0xD1, 31, 0}, {30000, 0x91, 70, 80}};
    ASSERT_EQ(song.events.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const MidiEvent& e = song.events[i];
        EXPECT_EQ(e.micros, want[i].micros) << "event " << i;
        EXPECT_EQ(e.status, want[i].status) << "event " << i;
        EXPECT_EQ(e.data1, want[i].data1) << "event " << i;
        EXPECT_EQ(e.data2, want[i].data2) << "event " << i;
    }
    EXPECT_EQ(song.lengthMicros, 50000u);
}

TEST(MidiFileTest, SmpteDivisionCountsFramesAndTicks) {
    MidiSong song;
    // 25 frames a second, 40 ticks a frame: a tick is a millisecond.
    const int division = (0x100 - 25) << 8 | 40;
    ASSERT_TRUE(Parse(Smf(0, division, {Events().At(250, {0x90, 60, 1}).End(750)}), song));
    EXPECT_EQ(Times(song), (std::vector<std::uint64_t>{250000}));
    EXPECT_EQ(song.lengthMicros, 1000000u);
    // 29.97 frames a second, 100 ticks a frame.
    ASSERT_TRUE(Parse(Smf(0, (0x100 - 29) << 8 | 100, {Events().At(3000, {0x90, 60, 1}).End()}), song));
    EXPECT_EQ(Times(song), (std::vector<std::uint64_t>{1001000}));
    // Frame rates that do not exist, and no ticks in a frame.
    EXPECT_FALSE(Parse(Smf(0, (0x100 - 23) << 8 | 40, {Events().At(0, {0x90, 60, 1}).End()}), song));
    EXPECT_FALSE(Parse(Smf(0, (0x100 - 25) << 8, {Events().At(0, {0x90, 60, 1}).End()}), song));
}

TEST(MidiFileTest, FilesThatAreNotPlayableFail) {
    MidiSong song;
    const Events ok = Events().At(0, {0x90, 60, 100}).End(10);
    EXPECT_FALSE(Parse({}, song));
    EXPECT_FALSE(Parse(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E', 0, 0}, song));
    Bytes full = Smf(0, 96, {ok});
    for (std::size_t cut : {4, 8, 13}) EXPECT_FALSE(Parse(Bytes(full.begin(), full.begin() + cut), song)) << cut;
    EXPECT_FALSE(Parse(Smf(0, 0, {ok}), song));       // zero division
    EXPECT_FALSE(Parse(Smf(2, 96, {ok}), song));      // format 2
    EXPECT_FALSE(Parse(kr_test::Header(1, 0, 96), song));  // zero tracks
    Bytes noTracks = kr_test::Header(1, 2, 96);  // promises two, has none
    EXPECT_FALSE(Parse(noTracks, song));
    Bytes lyingHeader = full;
    lyingHeader[7] = 0xFF;  // header chunk longer than the file
    EXPECT_FALSE(Parse(lyingHeader, song));
    // The only track starts with running status: nothing can be read.
    EXPECT_FALSE(Parse(Smf(0, 96, {Events().At(0, {60, 100}).End()}), song));
    EXPECT_TRUE(song.events.empty());
}

TEST(MidiFileTest, BrokenTracksKeepWhatCanBeRead) {
    MidiSong song;
    // A track whose length runs past the file: read to the end of the file.
    Bytes file = kr_test::Header(0, 1, 96);
    kr_test::AddTrack(file, Events().At(0, {0x90, 60, 100}).At(96, {0x80, 60, 0}), 100000);
    ASSERT_TRUE(Parse(file, song));
    EXPECT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.lengthMicros, 500000u);
    // Cut in the middle of an event, of a delta, of a meta event's body.
    for (std::size_t less = 1; less <= 3; ++less) {
        Bytes cut = kr_test::Header(0, 1, 96);
        Events e = Events().At(0, {0x90, 60, 100}).At(200, {0x80, 60, 0});
        Bytes body(e.bytes().begin(), e.bytes().end() - static_cast<long>(less));
        cut.insert(cut.end(), {'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(body.size())});
        cut.insert(cut.end(), body.begin(), body.end());
        ASSERT_TRUE(Parse(cut, song)) << less;
        EXPECT_EQ(song.events.size(), 1u) << less;
    }
    ASSERT_TRUE(Parse(Smf(0, 96, {Events().At(0, {0x90, 60, 100}).At(0, {0xFF, 0x01, 0x7F, 'a'})}), song));
    EXPECT_EQ(song.events.size(), 1u);
    // A data byte with the top bit set, a status byte that has no place in
    // a file, a delta of five bytes: the track stops there.
    ASSERT_TRUE(Parse(Smf(0, 96, {Events().At(0, {0x90, 60, 100}).At(0, {0x90, 0x80, 1}).At(0, {0x90, 61, 1})}), song));
    EXPECT_EQ(song.events.size(), 1u);
    ASSERT_TRUE(Parse(Smf(0, 96, {Events().At(0, {0x90, 60, 100}).At(0, {0xF8}).At(0, {0x90, 61, 1})}), song));
    EXPECT_EQ(song.events.size(), 1u);
    ASSERT_TRUE(Parse(Smf(0, 96, {Events().At(0, {0x90, 60, 100}).Raw({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 61, 1})}),
                      song));
    EXPECT_EQ(song.events.size(), 1u);
    // A second track that is garbage does not spoil the first.
    ASSERT_TRUE(Parse(Smf(1, 96, {Events().At(0, {0x90, 60, 100}).End(), Events().Raw({0x00, 0x40, 0x40})}), song));
    EXPECT_EQ(song.events.size(), 1u);
}

TEST(MidiFileTest, SystemExclusiveIsKeptForTheSynthAndEndsRunningStatus) {
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(0, 96,
                          {Events()
                               .At(0, {0x90, 60, 100})
                               .At(0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7})
                               .At(0, {0x80, 60, 0})
                               .At(0, {0xF0, 0x10, 0x01})  // length past the track
                               .At(0, {0x90, 62, 1})}),
                      song));
    ASSERT_EQ(song.events.size(), 3u);
    const MidiEvent& sysex = song.events[1];
    EXPECT_EQ(sysex.status, 0xF0);
    ASSERT_EQ(sysex.sysexLength, 2u);  // without the framing F0 and F7
    ASSERT_LE(sysex.sysexOffset + sysex.sysexLength, song.sysex.size());
    EXPECT_EQ(song.sysex[sysex.sysexOffset], 0x7E);
    EXPECT_EQ(song.sysex[sysex.sysexOffset + 1], 0x7F);
    // A GM reset and a GS reset in a format 1 file, each whole, in time order.
    ASSERT_TRUE(Parse(Smf(1, 96,
                          {Events().At(10, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).End(),
                           Events().At(5, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}).End()}),
                      song));
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.events[0].sysexLength, 9u);
    EXPECT_EQ(song.sysex[song.events[0].sysexOffset], 0x41);
    EXPECT_EQ(song.events[1].sysexLength, 4u);
    // An escape packet (F7) is not a message of its own.
    ASSERT_TRUE(Parse(Smf(0, 96, {Events().At(0, {0xF7, 0x02, 0x43, 0x12}).At(0, {0x90, 60, 1}).End()}), song));
    EXPECT_EQ(song.events.size(), 1u);
    ASSERT_TRUE(Parse(Smf(0, 96, {Events().At(0, {0x90, 60, 100}).At(0, {0xF0, 0x01, 0xF7}).At(0, {61, 100})}), song));
    EXPECT_EQ(song.events.size(), 1u);  // no running status after a system exclusive
}

TEST(MidiFileTest, RunningStatusCarriesOverMetaEvents) {
    // Meta events (a tempo, a marker, a text) between running-status notes:
    // the rest of the track must not be dropped.
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(0, 500,
                          {Events()
                               .At(0, {0x91, 60, 100})
                               .Tempo(0, 500000)
                               .At(100, {62, 100})
                               .At(0, {0xFF, 0x06, 0x01, 'A'})
                               .At(100, {64, 100})
                               .At(0, {0xFF, 0x01, 0x00})
                               .At(100, {60, 0})
                               .End()}),
                      song));
    ASSERT_EQ(song.events.size(), 4u);
    for (const MidiEvent& e : song.events) EXPECT_EQ(e.status, 0x91);
    EXPECT_EQ(song.events[3].data1, 60);
    EXPECT_EQ(song.events[3].data2, 0);
    EXPECT_EQ(Times(song), (std::vector<std::uint64_t>{0, 100000, 200000, 300000}));
}

TEST(MidiFileTest, HugeDeltaTimesAreDroppedNotWaitedFor) {
    MidiSong song;
    ASSERT_TRUE(Parse(Smf(0, 96,
                          {Events()
                               .At(0, {0x90, 60, 100})
                               .At(96, {0x80, 60, 0})
                               .At(0x0FFFFFFF, {0x90, 62, 100})
                               .At(0x0FFFFFFF, {0x80, 62, 0})
                               .End()}),
                      song));
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.lengthMicros, 500000u);
    // The slowest tempo and the longest deltas cannot overflow the clock.
    ASSERT_TRUE(Parse(Smf(0, 1,
                          {Events()
                               .Tempo(0, 0xFFFFFF)
                               .At(0x0FFFFFFF, {0x90, 60, 100})
                               .At(0x0FFFFFFF, {0x80, 60, 0})
                               .End(0x0FFFFFFF)}),
                      song));
    EXPECT_TRUE(song.events.empty());
    EXPECT_LE(song.lengthMicros, plat::audio::kMaxMidiMicros);
}

TEST(MidiFileTest, LoadingReadsFilesAndRefusesTheMissingAndTheHuge) {
    MidiSong song;
    const std::string dir = testing::TempDir();
    EXPECT_FALSE(plat::audio::LoadMidiFile(dir + "no_such_piece.mid", song));
    EXPECT_FALSE(plat::audio::LoadMidiFile(dir, song));  // a folder
    const std::string path = dir + "kr_midi_file_test.mid";
    ASSERT_TRUE(kr_test::WriteBytes(path, kr_test::OneNotePiece(300)));
    ASSERT_TRUE(plat::audio::LoadMidiFile(path, song));
    EXPECT_EQ(song.lengthMicros, 300000u);
    Bytes huge = kr_test::OneNotePiece(300);
    huge.resize(plat::audio::kMaxMidiFileBytes + 1);
    ASSERT_TRUE(kr_test::WriteBytes(path, huge));
    EXPECT_FALSE(plat::audio::LoadMidiFile(path, song));
    std::filesystem::remove(path);
}

TEST(MidiFileTest, TheEnginesOwnPieceIsAFormatOneFileForSeveralInstruments) {
    MidiSong song;
    ASSERT_TRUE(plat::audio::LoadMidiFile(KR_RUN_DIR "/music.mid", song));
    EXPECT_GT(song.events.size(), 200u);
    EXPECT_NEAR(static_cast<double>(song.lengthMicros), 8 * 4 * 535714.0, 1000.0);
    std::vector<int> programs;
    bool drums = false;
    for (const MidiEvent& e : song.events) {
        if ((e.status & 0xF0) == 0xC0) programs.push_back(e.data1);
        drums |= e.status == 0x99;
    }
    EXPECT_EQ(programs, (std::vector<int>{73, 33, 48}));
    EXPECT_TRUE(drums);
}

}  // namespace
