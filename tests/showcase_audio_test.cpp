// Golden sound: the headless showcase records what it played (--audio) and
// the recording is compared with a baseline kept in the repository.
//
// A case is a folder tests/golden_audio/<case>/ holding
//   case.txt      "program NAME", "arguments A B ...", "frames N" (as the
//                 picture cases) and optionally "window MS" (default 50)
//   input.txt     the input script (none: an empty one)
//   envelope.txt  the expected recording, one line per window:
//                 "<start ms> <rms left> <rms right> <crossings left> <crossings right>"
//
// The comparison is by a stated tolerance rather than exact: voices are
// resampled in floating point and the music comes from a synthesiser, so
// the last bit of a sample is not a property worth pinning. Per window the
// RMS level (in 16-bit units) may differ by 1 % of full scale plus 5 % of
// the expected level, and the count of zero crossings (a measure of pitch)
// by 3 plus 5 %. Length, rate and channel count must match exactly.
// KR_GOLDEN_UPDATE=1 rewrites the envelopes; a mismatch leaves the actual
// recording and both envelopes in <build>/golden_audio/<case>/.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kCases = fs::path(KR_SOURCE_DIR) / "tests" / "golden_audio";
const fs::path kRunDir = KR_RUN_DIR;
const fs::path kBuildDir = KR_BINARY_DIR;

struct AudioCase {
    std::string name, program;
    std::vector<std::string> arguments;
    long frames = 0;
    int windowMs = 50;
};

struct Recording {
    int rate = 0, channels = 0, bits = 0;
    std::vector<std::int16_t> samples;  // interleaved
};

struct Window {
    long startMs = 0;
    double rms[2] = {0, 0};
    long crossings[2] = {0, 0};
};

bool Updating() {
    const char* v = std::getenv("KR_GOLDEN_UPDATE");
    return v != nullptr && std::string(v) == "1";
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool LoadCase(const fs::path& folder, AudioCase& out, std::string& error) {
    out = AudioCase{};
    out.name = folder.filename().string();
    std::ifstream in(folder / "case.txt");
    if (!in) return error = "cannot read " + (folder / "case.txt").string(), false;
    for (std::string line; std::getline(in, line);) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string directive;
        if (!(words >> directive)) continue;
        std::vector<std::string> values;
        for (std::string w; words >> w;) values.push_back(w);
        if (directive == "program" && values.size() == 1) {
            out.program = values[0];
        } else if (directive == "arguments") {
            out.arguments = values;
        } else if (directive == "frames" && values.size() == 1) {
            out.frames = std::atol(values[0].c_str());
        } else if (directive == "window" && values.size() == 1) {
            out.windowMs = std::atoi(values[0].c_str());
        } else {
            return error = out.name + ": bad line '" + line + "'", false;
        }
    }
    if (out.program.empty() || out.frames <= 0 || out.windowMs <= 0)
        return error = out.name + ": needs a program, frames from 1 and a window from 1 ms", false;
    return true;
}

std::uint32_t Le(const std::vector<char>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

// A 16-bit PCM WAV as the mixer's writer makes it: "fmt " and "data" chunks
// inside RIFF, found by walking the chunks.
bool ReadRecording(const fs::path& path, Recording& out) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::string(b.data(), 4) != "RIFF" || std::string(b.data() + 8, 4) != "WAVE") return false;
    std::size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= b.size()) {
        const std::string id(b.data() + at, 4);
        const std::uint32_t size = Le(b, at + 4, 4);
        const std::size_t body = at + 8;
        if (size > b.size() - body) return false;
        if (id == "fmt " && size >= 16) {
            out.channels = static_cast<int>(Le(b, body + 2, 2));
            out.rate = static_cast<int>(Le(b, body + 4, 4));
            out.bits = static_cast<int>(Le(b, body + 14, 2));
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            if (out.bits != 16 || out.channels < 1 || out.channels > 2) return false;
            out.samples.resize(size / 2);
            for (std::size_t i = 0; i < out.samples.size(); ++i)
                out.samples[i] = static_cast<std::int16_t>(Le(b, body + 2 * i, 2));
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

std::vector<Window> Envelope(const Recording& r, int windowMs) {
    std::vector<Window> windows;
    const std::size_t frames = r.samples.size() / static_cast<std::size_t>(r.channels);
    const std::size_t per = static_cast<std::size_t>(r.rate) * static_cast<std::size_t>(windowMs) / 1000;
    for (std::size_t start = 0; per > 0 && start + per <= frames; start += per) {
        Window w;
        w.startMs = static_cast<long>(start * 1000 / static_cast<std::size_t>(r.rate));
        for (int c = 0; c < 2; ++c) {
            const int ch = c < r.channels ? c : 0;
            double sum = 0;
            int previous = 0;
            for (std::size_t i = start; i < start + per; ++i) {
                const int s = r.samples[i * r.channels + ch];
                sum += static_cast<double>(s) * s;
                const int sign = s > 0 ? 1 : s < 0 ? -1 : 0;
                if (sign != 0 && previous != 0 && sign != previous) ++w.crossings[c];
                if (sign != 0) previous = sign;
            }
            w.rms[c] = std::sqrt(sum / static_cast<double>(per));
        }
        windows.push_back(w);
    }
    return windows;
}

std::string Format(const std::vector<Window>& windows) {
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(1);
    for (const Window& w : windows)
        out << w.startMs << ' ' << w.rms[0] << ' ' << w.rms[1] << ' ' << w.crossings[0] << ' ' << w.crossings[1] << '\n';
    return out.str();
}

std::vector<Window> Parse(const std::string& text) {
    std::vector<Window> windows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        Window w;
        if (words >> w.startMs >> w.rms[0] >> w.rms[1] >> w.crossings[0] >> w.crossings[1]) windows.push_back(w);
    }
    return windows;
}

bool Within(double actual, double expected, double absolute, double relative) {
    return std::fabs(actual - expected) <= absolute + relative * std::fabs(expected);
}

// Runs the case and returns what differs (empty when it matches).
std::string CheckCase(const fs::path& folder) {
    AudioCase c;
    std::string error;
    if (!LoadCase(folder, c, error)) return error;
    const fs::path work = kBuildDir / "golden_audio" / c.name;
    fs::remove_all(work);
    fs::create_directories(work);
    if (fs::exists(folder / "input.txt")) fs::copy_file(folder / "input.txt", work / "input.txt");
    else std::ofstream(work / "input.txt").close();
    std::string command = "cd " + Quote(kRunDir.string()) + " && " + Quote((kRunDir / c.program).string());
    for (const std::string& a : c.arguments) {
        command += ' ';
        command += Quote(a);
    }
    command += " --frames " + std::to_string(c.frames) + " --input " + Quote((work / "input.txt").string()) +
               " --audio " + Quote((work / "actual.wav").string()) + " > " + Quote((work / "output.txt").string()) +
               " 2>&1";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return command + " failed";
    Recording r;
    if (!ReadRecording(work / "actual.wav", r)) return "no readable 16-bit recording in " + (work / "actual.wav").string();
    const std::vector<Window> actual = Envelope(r, c.windowMs);
    std::ofstream(work / "actual_envelope.txt") << Format(actual);
    if (Updating()) {
        std::ofstream(folder / "envelope.txt") << Format(actual);
        return "";
    }
    std::ifstream in(folder / "envelope.txt");
    const std::string expectedText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(work / "expected_envelope.txt") << expectedText;
    const std::vector<Window> expected = Parse(expectedText);
    std::ostringstream report;
    if (expected.size() != actual.size())
        report << "the recording has " << actual.size() << " windows of " << c.windowMs << " ms, the baseline "
               << expected.size() << "\n";
    int shown = 0;
    for (std::size_t i = 0; i < std::min(expected.size(), actual.size()); ++i) {
        const Window& e = expected[i];
        const Window& a = actual[i];
        bool same = true;
        for (int ch = 0; ch < 2; ++ch) {
            same &= Within(a.rms[ch], e.rms[ch], 327.68, 0.05);
            same &= Within(static_cast<double>(a.crossings[ch]), static_cast<double>(e.crossings[ch]), 3, 0.05);
        }
        if (!same && shown++ < 12)
            report << "at " << e.startMs << " ms: expected rms " << e.rms[0] << "/" << e.rms[1] << " crossings "
                   << e.crossings[0] << "/" << e.crossings[1] << ", got rms " << a.rms[0] << "/" << a.rms[1]
                   << " crossings " << a.crossings[0] << "/" << a.crossings[1] << "\n";
    }
    if (!report.str().empty())
        report << "recording and envelopes: " << work.string() << "/{actual.wav,actual_envelope.txt,expected_envelope.txt}\n";
    return report.str();
}

TEST(GoldenSound, ShowcaseRecordingsMatchTheirEnvelopes) {
    if (!fs::exists(kCases)) GTEST_SKIP() << "no audio cases";
    std::vector<fs::path> folders;
    for (const fs::directory_entry& e : fs::directory_iterator(kCases))
        if (e.is_directory()) folders.push_back(e.path());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.filename().string());
        EXPECT_EQ(CheckCase(folder), "");
    }
}

TEST(GoldenSound, EnvelopeCountsLevelAndPitchOfAKnownTone) {
    Recording r;
    r.rate = 8000;
    r.channels = 2;
    for (int i = 0; i < 8000; ++i) {
        const double s = std::sin(2 * 3.14159265358979 * 440 * i / 8000.0);
        r.samples.push_back(static_cast<std::int16_t>(std::lround(16384 * s)));
        r.samples.push_back(0);
    }
    const std::vector<Window> windows = Envelope(r, 100);
    ASSERT_EQ(windows.size(), 10u);
    for (const Window& w : windows) {
        EXPECT_NEAR(w.rms[0], 16384 / std::sqrt(2.0), 30);
        EXPECT_EQ(w.rms[1], 0);
        EXPECT_NEAR(static_cast<double>(w.crossings[0]), 88, 1) << "440 Hz crosses zero 88 times in 100 ms";
        EXPECT_EQ(w.crossings[1], 0);
    }
    EXPECT_EQ(Parse(Format(windows)).size(), windows.size());
    EXPECT_TRUE(Within(100, 95, 0, 0.06));
    EXPECT_FALSE(Within(100, 90, 3, 0.05));
}

}  // namespace
