// Standard MIDI files built byte by byte in the tests, honest or lying.
#pragma once
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace kr_test {

using Bytes = std::vector<std::uint8_t>;

inline void PutVarLen(Bytes& out, std::uint32_t v) {
    std::uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v && n < 5);
    while (n-- > 0) out.push_back(static_cast<std::uint8_t>(bytes[n] | (n ? 0x80 : 0)));
}

inline void PutBe(Bytes& out, std::uint32_t v, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Track events: a delta time, then the event's bytes as written.
class Events {
public:
    Events& At(std::uint32_t delta, std::initializer_list<std::uint8_t> event) {
        PutVarLen(bytes_, delta);
        bytes_.insert(bytes_.end(), event);
        return *this;
    }
    Events& Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter) {
        PutVarLen(bytes_, delta);
        bytes_.insert(bytes_.end(), {0xFF, 0x51, 0x03});
        PutBe(bytes_, microsPerQuarter, 3);
        return *this;
    }
    Events& End(std::uint32_t delta = 0) { return At(delta, {0xFF, 0x2F, 0x00}); }
    Events& Raw(std::initializer_list<std::uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes);
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

inline Bytes Header(int format, int tracks, int division) {
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    PutBe(out, static_cast<std::uint32_t>(format), 2);
    PutBe(out, static_cast<std::uint32_t>(tracks), 2);
    PutBe(out, static_cast<std::uint32_t>(division), 2);
    return out;
}

// An "MTrk" chunk; `claimed` replaces the true length when not negative.
inline void AddTrack(Bytes& file, const Events& events, long long claimed = -1) {
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutBe(file, claimed >= 0 ? static_cast<std::uint32_t>(claimed) : static_cast<std::uint32_t>(events.bytes().size()), 4);
    file.insert(file.end(), events.bytes().begin(), events.bytes().end());
}

inline Bytes Smf(int format, int division, std::initializer_list<Events> tracks) {
    Bytes file = Header(format, static_cast<int>(tracks.size()), division);
    for (const Events& t : tracks) AddTrack(file, t);
    return file;
}

// One note on channel 0 with `program`, `millis` long in all (the note is
// released 50 ms before the end). Division 500 at the default tempo: a tick
// is a millisecond.
inline Bytes OneNotePiece(std::uint32_t millis, int program = 0, int note = 60) {
    const auto n = static_cast<std::uint8_t>(note);
    return Smf(0, 500,
               {Events()
                    .At(0, {0xC0, static_cast<std::uint8_t>(program)})
                    .At(0, {0x90, n, 110})
                    .At(millis - 50, {0x80, n, 0})
                    .End(50)});
}

inline bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace kr_test
