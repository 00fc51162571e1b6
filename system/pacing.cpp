// Frame pacing, the frame clock, the ten wait timers and the busy delay, all
// on the wrapping millisecond clock.
#include "draw/krDraw.h"
#include "platform/os/window.h"
#include "platform/text/cp932_literal.h"
#include "system/krSystem.h"

namespace {

constexpr int kDelaySlot = 11;

bool TimerNumberValid(int number, const char* label) {
    if (number >= 1 && number <= 10) return true;
    krSystem::ReportError(label, u8"ウェイトNoが範囲外です"_cp932);
    return false;
}

}  // namespace

namespace krSystem {

void ProcessStart() {
    SetFrameRate(60);
    SetPacing(1);
}

void ProcessExit() {}

int SetFrameRate(std::uint32_t rate) {
    krSystemState.framePeriod = rate ? 1000u / rate : 1000u;
    krSystemState.pacingStamp = plat::TimeGetTime();
    return 1;
}

void SetPacing(int flag) {
    krSystemState.pacingEnabled = static_cast<std::uint8_t>(flag);
    krDraw::SetVSync(flag == 0 ? 1 : 0);
}

int WaitFrame() {
    krSystemStateRecord& s = krSystemState;
    if (s.pacingEnabled == 0) return 1;
    std::uint32_t now = plat::TimeGetTime();
    std::uint32_t elapsed = now - s.pacingStamp;
    // A frame that is already late sleeps 0 ms. Taken as a signed 32-bit
    // difference, a gap of 2^31 ms or more would wrap into a sleep of
    // about 24.8 days.
    std::uint32_t sleepMs = 0;
    if (elapsed < s.framePeriod && s.framePeriod - elapsed > 3u) sleepMs = s.framePeriod - elapsed - 3u;
    plat::Sleep(sleepMs);
    while (elapsed < s.framePeriod) {
        now = plat::TimeGetTime();
        elapsed = now - s.pacingStamp;
    }
    s.pacingStamp = now;
    return 1;
}

void ResetFrameClock() {
    krSystemState.frameTime = 0.0f;
    krSystemState.frameStamp = plat::TimeGetTime();
}

void MeasureFrame() {
    std::uint32_t now = plat::TimeGetTime();
    krSystemState.frameTime = static_cast<float>((now - krSystemState.frameStamp) / 1000.0);
    krSystemState.frameStamp = plat::TimeGetTime();
}

int SetWait(int number, std::uint32_t ms) {
    if (!TimerNumberValid(number, "krSystem::SetWait")) return 0;
    krSystemState.waitDeadline[number] = plat::TimeGetTime() + ms;
    return 1;
}

int InitWait(int number) {
    if (!TimerNumberValid(number, "krSystem::InitWait")) return 0;
    krSystemState.waitDeadline[number] = krIdleWait;
    return 1;
}

int CheckWait(int number) {
    // Slot 0 is never written, and numbers outside the table are never
    // read: neither counts as expired.
    if (number < 1 || number > kDelaySlot) return 0;
    return plat::TimeGetTime() >= krSystemState.waitDeadline[number] ? 1 : 0;
}

void Delay(std::uint32_t ms) {
    const std::uint32_t start = plat::TimeGetTime();
    krSystemState.waitDeadline[kDelaySlot] = start + ms;
    // Counted as time since the start: a deadline beyond the clock's wrap
    // would otherwise end the wait at once, or never (a deadline of the
    // clock's largest value is never passed).
    while (plat::TimeGetTime() - start <= ms) {
    }
    ResetFrameClock();
}

int ResetTimersAndKeys() {
    for (int i = 1; i <= kDelaySlot; ++i) krSystemState.waitDeadline[i] = krIdleWait;
    ResumeInput();
    krSystemState.sysKeyMode = 0;
    if (krSystemState.fullScreen) ConfineCursorToScreen();
    return 1;
}

}  // namespace krSystem
