// starter-assets: draws, synthesises and composes the starter's files into a
// folder: walker.bmp (two 32 x 32 poses side by side, black see-through),
// chime.wav (a bell-like ring) and tune.mid (a short loop of four bars).
//   starter-assets <folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint32_t v) {  // little-endian, as BMP and WAV want
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutBig(Bytes& out, std::uint32_t v, int bytes) {  // big-endian, as MIDI wants
    for (int i = bytes - 1; i >= 0; --i) out.push_back((v >> (8 * i)) & 0xFF);
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// ---- the walker: a round body with eyes, feet apart in one pose, together in the other ----
struct Picture {
    int width, height;
    std::vector<std::uint32_t> rgb;  // 0xRRGGBB, rows top-down; 0 is see-through
    void Disc(float cx, float cy, float r, std::uint32_t colour) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((x + 0.5f - cx) * (x + 0.5f - cx) + (y + 0.5f - cy) * (y + 0.5f - cy) <= r * r)
                    rgb[y * width + x] = colour;
    }
};

Picture DrawWalker() {
    Picture p{64, 32, std::vector<std::uint32_t>(64 * 32, 0)};
    for (int pose = 0; pose < 2; ++pose) {
        const float left = pose * 32.0f;
        const float spread = pose == 0 ? 7.0f : 3.0f;
        p.Disc(left + 16 - spread, 28, 4, 0x703010);  // feet
        p.Disc(left + 16 + spread, 28, 4, 0x703010);
        p.Disc(left + 16, 15, 12, 0xF0A030);           // body
        p.Disc(left + 16, 18, 7, 0xF8D070);            // belly
        p.Disc(left + 11, 11, 2.5f, 0x202020);         // eyes
        p.Disc(left + 21, 11, 2.5f, 0x202020);
    }
    return p;
}

Bytes Bmp24(const Picture& p) {
    const std::uint32_t row = (p.width * 3 + 3) & ~3u;
    Bytes out = {'B', 'M'};
    Put32(out, 54 + row * p.height);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, p.width);
    Put32(out, p.height);
    Put16(out, 1);
    Put16(out, 24);
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    for (int y = p.height - 1; y >= 0; --y) {  // bottom-up
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t c = p.rgb[y * p.width + x];
            out.push_back(c & 0xFF);
            out.push_back((c >> 8) & 0xFF);
            out.push_back((c >> 16) & 0xFF);
        }
        out.resize(out.size() + (row - p.width * 3), 0);
    }
    return out;
}

// ---- the chime: two partials under a falling envelope, 16-bit mono ----
Bytes ChimeWav() {
    constexpr int kRate = 22050;
    constexpr int kSamples = kRate * 6 / 10;
    constexpr double kPi = 3.14159265358979323846;
    Bytes data;
    for (int i = 0; i < kSamples; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double ring = std::sin(2 * kPi * 880 * t) + 0.5 * std::sin(2 * kPi * 2200 * t);
        const double level = std::exp(-6.0 * t) * std::fmin(1.0, t * 400);  // no click at the start
        Put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(ring * level * 12000)));
    }
    Bytes out = {'R', 'I', 'F', 'F'};
    Put32(out, 36 + data.size());
    for (char c : std::string("WAVEfmt ")) out.push_back(c);
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, kRate);
    Put32(out, kRate * 2);
    Put16(out, 2);
    Put16(out, 16);
    for (char c : std::string("data")) out.push_back(c);
    Put32(out, data.size());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// ---- the tune: a marimba melody over a bass, four bars at 120 beats a minute ----
Bytes TuneMidi() {
    constexpr int kTicks = 96;  // per quarter note
    struct Note {
        int channel, key, start, length;  // start and length in eighth notes
    };
    std::vector<Note> notes;
    const int melody[] = {72, 76, 79, 76, 74, 77, 81, 77, 72, 76, 79, 84, 83, 79, 74, 71,
                          72, 76, 79, 76, 77, 81, 84, 81, 79, 77, 76, 74, 72, 67, 72, -1};
    for (int i = 0; i < 32; ++i)
        if (melody[i] > 0) notes.push_back({0, melody[i], i, 1});
    notes.push_back({0, 72, 31, 1});
    const int bass[] = {48, 53, 55, 48};
    for (int bar = 0; bar < 4; ++bar) notes.push_back({1, bass[bar], bar * 8, 8});

    struct Event {
        int tick, order;
        std::uint8_t status, key, velocity;
    };
    std::vector<Event> events;
    for (const Note& n : notes) {
        events.push_back({n.start * kTicks / 2, 1, std::uint8_t(0x90 | n.channel), std::uint8_t(n.key), 90});
        events.push_back({(n.start + n.length) * kTicks / 2, 0, std::uint8_t(0x80 | n.channel), std::uint8_t(n.key), 0});
    }
    for (std::size_t i = 1; i < events.size(); ++i)  // by time, note-offs before note-ons
        for (std::size_t j = i; j > 0 && (events[j].tick < events[j - 1].tick ||
                                          (events[j].tick == events[j - 1].tick && events[j].order < events[j - 1].order));
             --j)
            std::swap(events[j], events[j - 1]);

    Bytes track;
    auto delta = [&track](std::uint32_t ticks) {  // variable-length quantity
        std::uint8_t groups[5];
        int n = 0;
        do groups[n++] = ticks & 0x7F, ticks >>= 7;
        while (ticks != 0);
        while (n > 1) track.push_back(groups[--n] | 0x80);
        track.push_back(groups[0]);
    };
    const std::uint8_t setup[] = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 500,000 us a quarter
                                  0x00, 0xC0, 12, 0x00, 0xC1, 32};           // marimba, acoustic bass
    track.insert(track.end(), std::begin(setup), std::end(setup));
    int now = 0;
    for (const Event& e : events) {
        delta(e.tick - now);
        now = e.tick;
        track.insert(track.end(), {e.status, e.key, e.velocity});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    Bytes out = {'M', 'T', 'h', 'd'};
    PutBig(out, 6, 4);
    PutBig(out, 0, 2);  // one track
    PutBig(out, 1, 2);
    PutBig(out, kTicks, 2);
    for (char c : std::string("MTrk")) out.push_back(c);
    PutBig(out, track.size(), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h") {
        std::fputs("usage: starter-assets <folder>\n\nWrites walker.bmp, chime.wav and tune.mid into <folder>.\n", stdout);
        return 0;
    }
    if (first.size() > 1 && first[0] == '-') {
        std::fprintf(stderr, "starter-assets: unknown switch %s (see starter-assets --help)\n", first.c_str());
        return 2;
    }
    if (argc != 2) {
        std::fprintf(stderr, "starter-assets: %s (see starter-assets --help)\n",
                     argc < 2 ? "missing the output folder" : "one output folder only");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    if (!WriteFile(folder + "walker.bmp", Bmp24(DrawWalker())) || !WriteFile(folder + "chime.wav", ChimeWav()) ||
        !WriteFile(folder + "tune.mid", TuneMidi())) {
        std::fprintf(stderr, "starter-assets: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
