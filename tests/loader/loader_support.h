#pragma once
// Helpers shared by the loader tests.
#include <cstdint>
#include <string>

#include "core/state.h"
#include "link/tx_queue.h"
#include "support/fakes.h"

namespace dravel::test {

// A monitor that acknowledges each S-record line (a line that begins with 'S') it receives ('N', LF), optionally after
// `delay_waits` idle waits of the host, and writes `before_ack` ahead of each acknowledgement.
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
  while (s.tx.count > 0) tx_send_one(s.tx, s.port);
}

// `n` S-record-looking lines of `width` characters each (LF ends included).
inline std::string srec_lines(int n, int width = 20) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    std::string l = "S1" + std::to_string(1000 + i);
    l.resize(static_cast<std::size_t>(width), '0');
    out += l + "\n";
  }
  return out;
}

}  // namespace dravel::test
