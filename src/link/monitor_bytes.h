#pragma once
// The bytes and limits the board's monitor defines for its command line, named once here.
#include <cstdint>

namespace dravel {

// Stops whatever the monitor is doing (a load, a transfer between frames), as Ctrl-C does.
inline constexpr std::uint8_t BREAK = 0x03;
// Ends a command line; alone, it leaves binary mode between frames.
inline constexpr std::uint8_t CR = 0x0D;
// Switches the monitor's own line editing on or off (the local edit mode's toggle).
inline constexpr std::uint8_t EDIT_SWITCH = 0x15;
// Bytes of one line the monitor's line buffer takes; more would be lost.
inline constexpr int MONITOR_LINE_LIMIT = 64;
// What a prompted line may hold: one less, the terminator's place.
inline constexpr int PROMPT_CAPACITY = MONITOR_LINE_LIMIT - 1;

}  // namespace dravel
