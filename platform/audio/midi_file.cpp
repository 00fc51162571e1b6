// Reader of standard MIDI files: the header chunk, each "MTrk" chunk's
// events with running status (kept across meta events, which carry no
// channel data), system exclusive messages, tempo changes, and the merge of
// all tracks into one list in microseconds. Every read is bounded by the chunk it
// belongs to; a track stops at its first malformed event.
#include "platform/audio/midi_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace plat::audio {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 per minute)

// Bounded reading of a byte range.
class Reader {
public:
    Reader(const std::uint8_t* begin, const std::uint8_t* end) : p_(begin), end_(end) {}
    bool AtEnd() const { return p_ >= end_; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }
    bool Byte(std::uint8_t& out) {
        if (AtEnd()) return false;
        out = *p_++;
        return true;
    }
    bool DataByte(std::uint8_t& out) { return Byte(out) && out < 0x80; }
    // A variable-length quantity: at most four bytes, 28 bits.
    bool VarLen(std::uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b;
            if (!Byte(b)) return false;
            out = (out << 7) | (b & 0x7F);
            if ((b & 0x80) == 0) return true;
        }
        return false;
    }
    bool Skip(std::size_t n) {
        if (n > Left()) return false;
        p_ += n;
        return true;
    }
    const std::uint8_t* Here() const { return p_; }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

enum class Kind : std::uint8_t { Channel, Tempo, End, Exclusive };

struct TickEvent {
    std::uint64_t tick = 0;
    Kind kind = Kind::Channel;
    std::uint8_t status = 0, data1 = 0, data2 = 0;
    std::uint32_t tempo = 0;
    const std::uint8_t* body = nullptr;  // system exclusive bytes in the file
    std::uint32_t length = 0;
};

// How ticks become microseconds.
struct Division {
    bool smpte = false;
    std::uint32_t ticksPerQuarter = 0;                   // metrical
    std::uint64_t ticksPerSecondNum = 0, ticksPerSecondDen = 1;  // SMPTE: frames/s x ticks/frame
};

bool ReadDivision(std::uint16_t raw, Division& out) {
    if ((raw & 0x8000) == 0) {
        out.ticksPerQuarter = raw;
        return raw != 0;
    }
    const int fps = -static_cast<int>(static_cast<std::int8_t>(raw >> 8));
    const std::uint64_t ticksPerFrame = raw & 0xFF;
    if (ticksPerFrame == 0) return false;
    out.smpte = true;
    switch (fps) {
        case 24:
        case 25:
        case 30:
            out.ticksPerSecondNum = static_cast<std::uint64_t>(fps) * ticksPerFrame;
            out.ticksPerSecondDen = 1;
            return true;
        case 29:  // 30 drop-frame: 29.97 frames a second
            out.ticksPerSecondNum = 30000 * ticksPerFrame;
            out.ticksPerSecondDen = 1001;
            return true;
        default:
            return false;
    }
}

// A channel message's second data byte is absent for program change and
// channel pressure.
bool HasTwoDataBytes(std::uint8_t status) {
    const std::uint8_t type = status & 0xF0;
    return type != 0xC0 && type != 0xD0;
}

// Reads the events of one track up to its end or its first malformed event.
// Answers whether anything at all (an event or the end mark) was read.
bool ReadTrack(Reader r, std::vector<TickEvent>& out) {
    std::uint64_t tick = 0, lastTick = 0;
    std::uint8_t running = 0;
    bool readSomething = false;
    while (!r.AtEnd()) {
        std::uint32_t delta;
        std::uint8_t b;
        if (!r.VarLen(delta) || !r.Byte(b)) break;
        tick += delta;
        TickEvent e;
        e.tick = tick;
        if (b < 0x80) {  // running status: b is the first data byte
            if (running == 0) break;
            e.status = running;
            e.data1 = b;
        } else if (b < 0xF0) {
            e.status = running = b;
            if (!r.DataByte(e.data1)) break;
        } else if (b == 0xFF) {
            std::uint8_t type;
            std::uint32_t length;
            if (!r.Byte(type) || !r.VarLen(length) || length > r.Left()) break;
            const std::uint8_t* body = r.Here();
            r.Skip(length);
            if (type == 0x2F) {
                e.kind = Kind::End;
                out.push_back(e);
                return true;
            }
            if (type == 0x51 && length == 3) {
                e.kind = Kind::Tempo;
                e.tempo = static_cast<std::uint32_t>(body[0]) << 16 | body[1] << 8 | body[2];
                if (e.tempo > 0) out.push_back(e);
            }
            readSomething = true;
            lastTick = tick;
            continue;
        } else if (b == 0xF0 || b == 0xF7) {
            std::uint32_t length;
            const std::uint8_t* body = nullptr;
            if (!r.VarLen(length) || (body = r.Here(), !r.Skip(length))) break;
            running = 0;
            readSomething = true;
            lastTick = tick;
            // A whole message (F0 ... F7) goes to the synthesiser without its
            // framing; escapes and continuation packets (F7) do not.
            if (b == 0xF0 && length > 0) {
                e.kind = Kind::Exclusive;
                e.body = body;
                e.length = body[length - 1] == 0xF7 ? length - 1 : length;
                if (e.length > 0) out.push_back(e);
            }
            continue;
        } else {
            break;  // real-time and common messages have no place in a file
        }
        if (HasTwoDataBytes(e.status) && !r.DataByte(e.data2)) break;
        out.push_back(e);
        readSomething = true;
        lastTick = tick;
    }
    // A track cut short ends where its last good event was.
    if (readSomething) {
        TickEvent end;
        end.kind = Kind::End;
        end.tick = lastTick;
        out.push_back(end);
    }
    return readSomething;
}

std::uint64_t Saturate(unsigned __int128 v) {
    return v > kMaxMidiMicros + 1 ? kMaxMidiMicros + 1 : static_cast<std::uint64_t>(v);
}

// Turns the merged tick events into the song, following tempo changes.
void Time(const std::vector<TickEvent>& ticks, const Division& division, MidiSong& song) {
    std::uint64_t baseTick = 0, baseMicros = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const TickEvent& e : ticks) {
        const unsigned __int128 elapsed = e.tick - baseTick;
        std::uint64_t micros;
        if (division.smpte)
            micros = Saturate(static_cast<unsigned __int128>(e.tick) * 1000000u * division.ticksPerSecondDen /
                              division.ticksPerSecondNum);
        else
            micros = Saturate(baseMicros + elapsed * tempo / division.ticksPerQuarter);
        if (micros > kMaxMidiMicros) break;
        if (e.kind == Kind::Tempo) {
            baseTick = e.tick;
            baseMicros = micros;
            tempo = e.tempo;
        } else if (e.kind == Kind::Channel) {
            song.events.push_back(MidiEvent{micros, e.status, e.data1, e.data2});
        } else if (e.kind == Kind::Exclusive) {
            const auto offset = static_cast<std::uint32_t>(song.sysex.size());
            song.sysex.insert(song.sysex.end(), e.body, e.body + e.length);
            song.events.push_back(MidiEvent{micros, 0xF0, 0, 0, offset, e.length});
        }
        song.lengthMicros = std::max(song.lengthMicros, micros);
    }
}

}  // namespace

bool ParseMidi(const std::uint8_t* data, std::size_t size, MidiSong& song) {
    song = MidiSong{};
    if (!data || size < 14 || std::string(reinterpret_cast<const char*>(data), 4) != "MThd") return false;
    const std::uint32_t headerBytes = Be32(data + 4);
    if (headerBytes < 6 || headerBytes > size - 8) return false;
    const std::uint16_t format = Be16(data + 8);
    const std::uint16_t trackCount = Be16(data + 10);
    Division division;
    if (format > 1 || trackCount == 0 || !ReadDivision(Be16(data + 12), division)) return false;

    std::vector<TickEvent> ticks;
    int tracksSeen = 0;
    bool readable = false;
    std::size_t at = 8 + static_cast<std::size_t>(headerBytes);
    while (size - at >= 8 && tracksSeen < trackCount) {
        const std::uint8_t* chunk = data + at;
        // A chunk that claims more than the file holds is read to the end.
        const std::size_t length = std::min<std::size_t>(Be32(chunk + 4), size - at - 8);
        if (std::string(reinterpret_cast<const char*>(chunk), 4) == "MTrk") {
            ++tracksSeen;
            readable |= ReadTrack(Reader(chunk + 8, chunk + 8 + length), ticks);
        }
        at += 8 + length;
    }
    if (!readable) return false;
    std::stable_sort(ticks.begin(), ticks.end(), [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });
    Time(ticks, division, song);
    return true;
}

bool LoadMidiFile(const std::string& path, MidiSong& song) {
    song = MidiSong{};
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    std::vector<std::uint8_t> bytes(kMaxMidiFileBytes + 1);
    const std::size_t size = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (size == 0 || size > kMaxMidiFileBytes) return false;
    return ParseMidi(bytes.data(), size, song);
}

}  // namespace plat::audio
