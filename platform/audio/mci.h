// The command strings of the media control layer the engine was written
// against, for its MIDI music: a small parser over the MIDI player.
//
//   open "<path>" type sequencer alias <name>   ('\' or '/' in the path)
//   seek <name> to start
//   play <name> [notify]
//   stop <name>
//   close <name>            (or: close all)
//   status <name> mode      (reply: "playing", "stopped")
//
// Keywords are case-insensitive. One device can be open at a time. Anything
// else, or a name that is not open, fails with an error number and no other
// effect. Main thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/types.h"

namespace plat {

constexpr std::uint32_t MCIERR_UNRECOGNIZED_KEYWORD = 259;
constexpr std::uint32_t MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr std::uint32_t MCIERR_INVALID_DEVICE_NAME = 263;
constexpr std::uint32_t MCIERR_FILE_NOT_FOUND = 275;
constexpr std::uint32_t MCIERR_DUPLICATE_ALIAS = 289;
constexpr std::uint32_t MCIERR_MISSING_PARAMETER = 273;

// Runs one command. Answers 0 or an error number. `reply` (when given,
// `replyBytes` long) receives the command's text answer, always terminated,
// empty on failure. `notifyWindow` receives MM_MCINOTIFY for "notify".
std::uint32_t MciSendString(const char* command, char* reply, std::uint32_t replyBytes, HWND notifyWindow);

// The commands sent, in order, exactly as given (tests): the latest 100 at
// least; older ones are dropped so that hours of music keep memory flat.
const std::vector<std::string>& MciCommandLog();
void ClearMciCommandLog();

}  // namespace plat
