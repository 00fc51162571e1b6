// libFuzzer harness of the input-script reader, which reads recordings
// attached to bug reports. Two properties:
//   - any bytes as a script file either read, or are refused with a reason
//     naming the file and line; a script that reads is written out again
//     event by event and reads back the same;
//   - every event the recorder can write (keys 1-255, mouse actions at any
//     signed 16-bit position, clock readings, seeds, window messages with
//     any parameters) is read back from its line as it was.
// Runs in a scratch folder of its own.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/os/input_script.h"
#include "platform/os/types.h"

namespace script = plat::script;

namespace {

std::string scriptPath;

void WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

void Require(bool holds, const char* what, const std::string& detail) {
    if (holds) return;
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

bool SameEvent(const script::Event& a, const script::Event& b) {
    if (a.frame != b.frame || a.kind != b.kind) return false;
    switch (a.kind) {
        case script::EventKind::Key: return a.vk == b.vk && a.down == b.down;
        case script::EventKind::Mouse: return a.mouse == b.mouse && a.x == b.x && a.y == b.y;
        case script::EventKind::Clock: return a.clock == b.clock;
        case script::EventKind::Seed: return a.seed == b.seed;
        case script::EventKind::Message:
            return a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
    }
    return false;
}

// The whole reader through a real file; what it reads, written again, reads the same.
void ReadWriteRead(const std::uint8_t* data, std::size_t size) {
    WriteFile(scriptPath, data, size);
    script::Script first;
    std::string error;
    if (!script::ReadScript(scriptPath, first, error)) {
        Require(error.compare(0, scriptPath.size(), scriptPath) == 0, "a refusal that does not name the file", error);
        return;
    }
    std::string text = first.countsPasses ? "count passes\n" : "";
    text += "seed " + std::to_string(first.seed) + "\n";
    for (const script::Event& e : first.events) text += script::FormatEvent(e) + "\n";
    WriteFile(scriptPath, text.data(), text.size());
    script::Script second;
    Require(script::ReadScript(scriptPath, second, error), "a written script does not read", error + "\n" + text);
    Require(second.countsPasses == first.countsPasses && second.seed == first.seed, "the directives changed", text);
    Require(second.events.size() == first.events.size(), "the number of events changed", text);
    for (std::size_t i = 0; i < first.events.size(); ++i)
        Require(SameEvent(first.events[i], second.events[i]), "an event changed", script::FormatEvent(first.events[i]));
}

// One event as the recorder may write it, drawn from the input.
script::Event RecordableEvent(FuzzedDataProvider& in) {
    script::Event e;
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0:
            e.kind = script::EventKind::Key;
            e.vk = in.ConsumeIntegralInRange(1, 255);
            e.down = in.ConsumeBool();
            break;
        case 1:
            e.kind = script::EventKind::Mouse;
            e.mouse = static_cast<script::MouseAction>(in.ConsumeIntegralInRange(0, 6));
            e.x = in.ConsumeIntegralInRange(-32768, 32767);
            e.y = in.ConsumeIntegralInRange(-32768, 32767);
            break;
        case 2:
            e.kind = script::EventKind::Clock;
            e.clock = in.ConsumeIntegral<std::uint32_t>();
            break;
        case 3:
            e.kind = script::EventKind::Seed;
            e.seed = in.ConsumeIntegral<std::uint32_t>();
            return e;  // a directive: no frame
        default:
            e.kind = script::EventKind::Message;
            do e.message = in.ConsumeIntegralInRange<std::uint32_t>(1, 0xFFFF);
            while (e.message == plat::WM_QUIT);  // ends the program: never posted to a window
            e.wParam = in.ConsumeIntegral<std::uintptr_t>();
            e.lParam = in.ConsumeIntegral<std::intptr_t>();
            break;
    }
    e.frame = in.ConsumeIntegralInRange<long>(e.kind == script::EventKind::Clock ? 0 : 1, script::kMaxFrame);
    return e;
}

void WriteThenRead(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) {
        const script::Event want = RecordableEvent(in);
        const std::string line = script::FormatEvent(want);
        script::Event got;
        bool skip = false, passes = false;
        std::string error;
        Require(script::ParseLine(line, got, skip, passes, error) && !skip, "a written line does not read",
                line + ": " + error);
        Require(SameEvent(want, got), "a written line reads back as another event", line + " -> " + script::FormatEvent(got));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A memory file system where there is one: the harness writes two files an input.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string folder = std::string(base) + "/kr_fuzz_input_script_" + std::to_string(getpid());
    const std::string make = "mkdir -p " + folder;
    if (std::system(make.c_str()) != 0) std::abort();
    scriptPath = folder + "/input.txt";
    static std::string made = folder;
    std::atexit([] {
        unlink(scriptPath.c_str());
        rmdir(made.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadWriteRead(data, size);
    WriteThenRead(data, size);
    return 0;
}
