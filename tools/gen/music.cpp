// Writes the engine's little piece of music as a standard MIDI file
// (format 1): eight bars in F major at 112 beats a minute, with a flute
// melody, fingered bass, a string pad and a drum kit, all our own notes.
//
//   musicgen <out.mid>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os/atomic_file.h"

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kEighth = kTicksPerQuarter / 2;
constexpr int kBar = 8 * kEighth;
constexpr std::uint32_t kTempo = 535714;  // microseconds a quarter: 112 a minute
constexpr int kBars = 8;
constexpr int kRest = -1;

struct Event {
    int tick;
    int order;  // at the same tick: meta first, note-offs before note-ons
    std::vector<std::uint8_t> bytes;
};

class Track {
public:
    void Meta(int tick, std::uint8_t type, std::vector<std::uint8_t> body) {
        std::vector<std::uint8_t> bytes{0xFF, type, static_cast<std::uint8_t>(body.size())};
        bytes.insert(bytes.end(), body.begin(), body.end());
        events_.push_back(Event{tick, 0, bytes});
    }
    void Program(int channel, int program) {
        events_.push_back(Event{0, 1, {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)}});
    }
    void Control(int channel, int controller, int value) {
        events_.push_back(Event{0, 1,
                                {static_cast<std::uint8_t>(0xB0 | channel), static_cast<std::uint8_t>(controller),
                                 static_cast<std::uint8_t>(value)}});
    }
    // A note of `length` ticks, released a little early so repeated notes
    // are heard apart.
    void Note(int channel, int tick, int note, int length, int velocity) {
        if (note == kRest) return;
        const int release = std::max(tick + 1, tick + length - 12);
        events_.push_back(Event{tick, 3,
                                {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(note),
                                 static_cast<std::uint8_t>(velocity)}});
        events_.push_back(
            Event{release, 2, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(note), 64}});
    }
    std::vector<std::uint8_t> Chunk() {
        std::stable_sort(events_.begin(), events_.end(),
                         [](const Event& a, const Event& b) { return a.tick != b.tick ? a.tick < b.tick : a.order < b.order; });
        std::vector<std::uint8_t> data;
        int last = 0;
        for (const Event& e : events_) {
            PutVarLen(data, static_cast<std::uint32_t>(e.tick - last));
            data.insert(data.end(), e.bytes.begin(), e.bytes.end());
            last = e.tick;
        }
        const int end = std::max(last, kBars * kBar);
        PutVarLen(data, static_cast<std::uint32_t>(end - last));
        data.insert(data.end(), {0xFF, 0x2F, 0x00});
        std::vector<std::uint8_t> chunk{'M', 'T', 'r', 'k'};
        PutBe32(chunk, static_cast<std::uint32_t>(data.size()));
        chunk.insert(chunk.end(), data.begin(), data.end());
        return chunk;
    }

    static void PutVarLen(std::vector<std::uint8_t>& out, std::uint32_t v) {
        std::uint8_t bytes[4];
        int n = 0;
        do {
            bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
            v >>= 7;
        } while (v && n < 4);
        while (n-- > 0) out.push_back(static_cast<std::uint8_t>(bytes[n] | (n ? 0x80 : 0)));
    }
    static void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
    }

private:
    std::vector<Event> events_;
};

struct Step {
    int note;
    int eighths;
};

Track Conductor() {
    Track t;
    const std::string name = "Pokotanba field";
    t.Meta(0, 0x03, std::vector<std::uint8_t>(name.begin(), name.end()));
    t.Meta(0, 0x58, {4, 2, 24, 8});  // 4/4
    t.Meta(0, 0x59, {0xFF, 0});      // F major
    t.Meta(0, 0x51, {kTempo >> 16 & 0xFF, kTempo >> 8 & 0xFF, kTempo & 0xFF});
    return t;
}

Track Melody() {
    const Step steps[] = {
        {69, 2}, {72, 1}, {69, 1}, {67, 2}, {65, 2},  // F
        {74, 3}, {72, 1}, {69, 4},                    // Dm
        {70, 1}, {72, 1}, {74, 2}, {77, 2}, {74, 2},  // Bb
        {72, 4}, {76, 2}, {67, 2},                    // C
        {77, 2}, {76, 1}, {74, 1}, {72, 2}, {69, 2},  // F
        {72, 2}, {69, 2}, {76, 4},                    // Am
        {74, 1}, {72, 1}, {70, 2}, {67, 2}, {64, 2},  // Bb C
        {65, 6}, {kRest, 2},                          // F
    };
    Track t;
    t.Program(0, 73);  // flute
    t.Control(0, 91, 50);
    int tick = 0;
    for (const Step& s : steps) {
        t.Note(0, tick, s.note, s.eighths * kEighth, 100);
        tick += s.eighths * kEighth;
    }
    return t;
}

Track Bass() {
    const int roots[kBars][2] = {{41, 41}, {38, 38}, {34, 34}, {36, 36}, {41, 41}, {33, 33}, {34, 36}, {41, 41}};
    Track t;
    t.Program(1, 33);  // fingered bass
    for (int bar = 0; bar < kBars; ++bar) {
        const int start = bar * kBar;
        if (bar == kBars - 1) {
            t.Note(1, start, roots[bar][0], 4 * kEighth, 95);
            continue;
        }
        for (int half = 0; half < 2; ++half) {
            const int root = roots[bar][half], at = start + half * 4 * kEighth;
            t.Note(1, at, root, 2 * kEighth, 95);
            t.Note(1, at + 2 * kEighth, root + 7, kEighth, 80);
            t.Note(1, at + 3 * kEighth, root + 12, kEighth, 85);
        }
    }
    return t;
}

Track Pad() {
    const int chords[kBars][3] = {{53, 57, 60}, {50, 53, 57}, {50, 53, 58}, {48, 52, 55},
                                  {53, 57, 60}, {48, 52, 57}, {50, 53, 58}, {53, 57, 60}};
    Track t;
    t.Program(2, 48);  // string ensemble
    t.Control(2, 7, 90);
    for (int bar = 0; bar < kBars; ++bar) {
        const bool split = bar == 6;  // Bb then C
        for (int n = 0; n < 3; ++n) {
            t.Note(2, bar * kBar, chords[bar][n], split ? kBar / 2 : kBar, 70);
            if (split) t.Note(2, bar * kBar + kBar / 2, chords[3][n], kBar / 2, 70);
        }
    }
    return t;
}

Track Drums() {
    constexpr int kDrums = 9, kKick = 36, kSnare = 38, kHat = 42, kCrash = 49;
    Track t;
    for (int bar = 0; bar < kBars; ++bar) {
        const int start = bar * kBar;
        if (bar == kBars - 1) {
            t.Note(kDrums, start, kKick, kEighth, 100);
            t.Note(kDrums, start, kCrash, 4 * kEighth, 90);
            continue;
        }
        for (int e = 0; e < 8; ++e) t.Note(kDrums, start + e * kEighth, kHat, kEighth, e % 2 ? 55 : 75);
        t.Note(kDrums, start, kKick, kEighth, 100);
        t.Note(kDrums, start + 4 * kEighth, kKick, kEighth, 95);
        t.Note(kDrums, start + 2 * kEighth, kSnare, kEighth, 90);
        t.Note(kDrums, start + 6 * kEighth, kSnare, kEighth, 90);
        if (bar % 2 == 1) t.Note(kDrums, start + 7 * kEighth, kKick, kEighth, 70);
    }
    return t;
}

}  // namespace

// Wrong use of the command line: one line naming the problem.
int Misused(const std::string& problem) {
    std::fprintf(stderr, "musicgen: %s (see musicgen --help)\n", problem.c_str());
    return 2;
}

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::fputs("usage: musicgen <out.mid>\n\nWrites the engine's piece of music as a standard MIDI file.\n", stdout);
        return 0;
    }
    if (first.size() > 1 && first[0] == '-') return Misused("unknown switch " + first);
    if (argc != 2) return Misused(argc < 2 ? "missing the output file" : "one output file only");
    std::vector<Track> tracks{Conductor(), Melody(), Bass(), Pad(), Drums()};
    std::vector<std::uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    file.push_back(0);
    file.push_back(static_cast<std::uint8_t>(tracks.size()));
    file.push_back(kTicksPerQuarter >> 8);
    file.push_back(kTicksPerQuarter & 0xFF);
    for (Track& t : tracks) {
        std::vector<std::uint8_t> chunk = t.Chunk();
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    if (!plat::WriteFileAtomically(argv[1], file.data(), file.size())) {
        std::fprintf(stderr, "musicgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
