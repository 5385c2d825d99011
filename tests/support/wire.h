#pragma once
// Helpers many tests share: the block protocol's bytes as the monitor expects them, counting
// text on a screen, and the status a program exit carried.
#include <cstdint>
#include <string>

#include "core/program_exit.h"

namespace dravel::test {

// 0x01, then the address and the byte count, most significant byte first.
inline std::string transfer_header(std::uint32_t address, std::uint32_t count) {
  std::string h(1, '\x01');
  for (std::uint32_t v : {address, count})
    for (int shift = 24; shift >= 0; shift -= 8) h.push_back(static_cast<char>(v >> shift));
  return h;
}

// 0x02, the payload padded with `pad` to 2048 bytes, and the 8-bit sum of those 2048
// (`checksum_error` added to spoil it).
inline std::string packet(const std::string& data, char pad = '\0', int checksum_error = 0) {
  std::string payload = data;
  payload.resize(2048, pad);
  unsigned sum = 0;
  for (char c : payload) sum += static_cast<unsigned char>(c);
  return '\x02' + payload + static_cast<char>(sum + static_cast<unsigned>(checksum_error));
}

// `data` as the packets that carry it.
inline std::string packets(const std::string& data) {
  std::string out;
  for (std::size_t at = 0; at < data.size(); at += 2048) out += packet(data.substr(at, 2048));
  return out;
}

// How many times `needle` occurs in `text`.
inline int count_of(const std::string& text, const std::string& needle) {
  int n = 0;
  for (auto at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    ++n;
  return n;
}

// Runs `f`; the status of the program exit it threw, or -1 when it returned.
template <typename F>
int exit_status_of(F&& f) {
  try {
    f();
  } catch (const ProgramExit& e) {
    return e.status;
  }
  return -1;
}

}  // namespace dravel::test
