#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace dravel {

class Link;

inline constexpr int PACKET_SIZE = 2048;
inline constexpr int TRANSFER_BUFFER_SIZE = 0x4000;
// A packet that goes bad this many times in a row ends the transfer: a line or a monitor
// that spoils it every time will not mend by being asked again for ever.
inline constexpr int PACKET_TRIES = 16;
// A packet from the board that stops arriving for this long counts as a bad one: a byte was
// lost on the line. Bytes of one packet follow each other closely at any rate, and the
// monitor starts sending as soon as it is asked.
inline constexpr int PACKET_SILENCE_MS = 2000;

int send_transfer_header(Link& link, std::uint32_t address, std::uint32_t count);
// 0, or -1 when one packet went bad PACKET_TRIES times in a row; the monitor is then
// between frames, where a CR leaves binary mode.
int send_packets(Link& link, const std::uint8_t* data, std::int32_t length);
int receive_packets(Link& link, std::uint8_t* buffer, std::int32_t length);
// The message for a transfer ended by a packet that kept going bad.
std::string transfer_stopped_text();
void say_transfer_stopped(Link& link);

}  // namespace dravel
