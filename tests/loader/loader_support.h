#pragma once
// Helpers shared by the loader tests.
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "link/tx_queue.h"
#include "support/fakes.h"
#include "support/wire.h"
#include "terminal/state.h"

namespace dravel::test {

// A monitor that acknowledges each S-record line (a line that begins with 'S') it receives ('N',
// LF), optionally after `delay_waits` idle waits of the host, and writes `before_ack` ahead of each
// acknowledgement.
struct SrecMonitor {
  ScriptedPeer peer;
  std::string line;
  std::string before_ack;
  int lines = 0;
  int delay_waits = 0;
  int pending = 0;  // acknowledgements owed
  int waited = 0;
  bool silent = false;

  SrecMonitor() {
    peer.on_write = [this](ScriptedPeer& p, const std::uint8_t* d, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i) {
        line.push_back(static_cast<char>(d[i]));
        if (d[i] == '\r') line.clear();  // "ld2\r" is a command, not a record
        if (d[i] != '\n') continue;
        if (line[0] == 'S' && !silent) {
          ++lines;
          if (delay_waits == 0)
            p.say(before_ack + "N\n");
          else
            ++pending;
        }
        line.clear();
      }
    };
  }
  // Call from FakeIdle::on_wait.
  void on_idle() {
    if (pending == 0 || ++waited < delay_waits) return;
    waited = 0;
    --pending;
    peer.say(before_ack + "N\n");
  }
};

// Sends what is left in the TxQueue, as the terminal loop would.
inline void drain(State& s) {
  while (s.link.tx.count > 0) tx_send_one(s.link.tx, s.link.port);
}

// `n` S-record-looking lines of `width` characters each (LF ends included).
inline std::string srec_lines(int n, int width = 20) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    // A record: its count says how many bytes follow.
    char count[3];
    std::snprintf(count, sizeof count, "%02X", (width - 4) / 2);
    std::string l = "S1" + std::string(count) + std::to_string(1000 + i);
    l.resize(static_cast<std::size_t>(width), '0');
    out += l + "\n";
  }
  return out;
}

// A "KV-R EXE" file: the 2048-byte header and `image`.
struct ExeLayout {
  std::uint32_t pc = 0x80010000, gp = 0, address = 0x80010000;
  std::uint32_t stack_base = 0, stack_size = 0;
  std::string image;
  std::int64_t size = -1;  // load_size; -1: the image's size
};

struct CoffSection {
  std::string name;
  std::uint32_t address;
  std::string data;
  std::uint32_t flags;
  std::int64_t size = -1;         // header field; -1: the data's size
  std::int64_t data_offset = -1;  // header field; -1: where the data are put
};
struct CoffLayout {
  std::vector<CoffSection> sections;
  std::uint32_t entry = 0x80010000, gp = 0;
  std::uint16_t optional_header_size = 56;
  std::uint16_t flags = 0x0107;
  std::int64_t section_count = -1;  // header field; -1: the number of sections
};

inline void put16(std::string& s, std::size_t at, std::uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

inline void put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

inline std::string make_exe(const ExeLayout& e) {
  std::string f(2048, '\0');
  f.replace(0, 8, "KV-R EXE");
  put32(f, 16, e.pc);
  put32(f, 20, e.gp);
  put32(f, 24, e.address);
  put32(
      f, 28,
      e.size < 0 ? static_cast<std::uint32_t>(e.image.size()) : static_cast<std::uint32_t>(e.size));
  put32(f, 48, e.stack_base);
  put32(f, 52, e.stack_size);
  return f + e.image;
}

inline std::string make_coff(const CoffLayout& c) {
  std::size_t table = 76 + 40 * c.sections.size();
  std::string f(table, '\0');
  put16(f, 0, 0x0162);
  put16(f, 2,
        static_cast<std::uint16_t>(c.section_count < 0 ? c.sections.size() : c.section_count));
  put16(f, 16, c.optional_header_size);
  put16(f, 18, c.flags);
  put32(f, 20 + 16, c.entry);
  put32(f, 20 + 52, c.gp);
  for (std::size_t i = 0; i < c.sections.size(); ++i) {
    const CoffSection& s = c.sections[i];
    std::size_t h = 76 + 40 * i;
    f.replace(h, s.name.size(), s.name);
    put32(f, h + 8, s.address);
    put32(f, h + 12, s.address);
    put32(f, h + 16,
          s.size < 0 ? static_cast<std::uint32_t>(s.data.size())
                     : static_cast<std::uint32_t>(s.size));
    put32(f, h + 20,
          s.data_offset < 0 ? static_cast<std::uint32_t>(f.size())
                            : static_cast<std::uint32_t>(s.data_offset));
    put32(f, h + 36, s.flags);
    f += s.data;
  }
  return f;
}

inline std::string register_commands(std::uint32_t pc, std::uint32_t gp, std::uint32_t sp) {
  char text[128];
  std::snprintf(text, sizeof text, "sr epc %x\r\rsr gp %x\r\rsr sp %x\r\r", pc, gp, sp);
  return text;
}

inline std::map<std::uint32_t, std::uint8_t> srec_image(const std::string& text) {
  std::map<std::uint32_t, std::uint8_t> image;
  std::istringstream in(text);
  std::string line;
  auto byte_at = [&](std::size_t i) {
    return static_cast<std::uint8_t>(std::stoul(line.substr(2 + 2 * i, 2), nullptr, 16));
  };
  while (std::getline(in, line)) {
    if (line.size() < 4 || line[0] != 'S' || line[1] < '1' || line[1] > '3') continue;
    std::size_t address_bytes = static_cast<std::size_t>(line[1] - '0') + 1;
    std::size_t count = byte_at(0);
    std::uint32_t address = 0;
    for (std::size_t i = 0; i < address_bytes; ++i) address = (address << 8) | byte_at(1 + i);
    for (std::size_t i = 1 + address_bytes; i < count; ++i) image[address++] = byte_at(i);
  }
  return image;
}

}  // namespace dravel::test
