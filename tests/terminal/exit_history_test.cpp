// However a run ends, the lines typed in it are in the history file afterwards.
#include <gtest/gtest.h>

#include <csignal>

#include "base/signal_flag.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

constexpr const char* PROMPT = "  \r>>";

TEST(HistoryAtExit, TheEditedLineIsSavedHoweverTheRunEnds) {
  struct Case {
    const char* name;
    std::string keys;         // typed at the editor's second prompt
    const char* signal_when;  // a signal arrives once this shows ("": as the line is sent)
    int status;
  };
  const Case cases[] = {
      {"F10 F2", fkey(10) + fkey(2), nullptr, 0},
      {"ESC", "\x1b", nullptr, 1},
      {"SIGTERM in the loop", "", "[2]>>", 128 + SIGTERM},
      {"SIGTERM in a prompt's wait", fkey(4), "Load", 128 + SIGTERM},
      {"SIGTERM as the line goes out, outside any wait", "", "", 128 + SIGTERM},
  };
  for (const Case& c : cases) {
    ScriptedPeer peer;
    // The monitor prompts after F8's line kill and after every line.
    peer.on_write = [&](ScriptedPeer& p, const std::uint8_t* d, std::size_t n) {
      if (d[n - 1] == 0x15 || d[n - 1] == '\r') p.say(PROMPT);
      if (d[n - 1] == '\r' && c.signal_when != nullptr && *c.signal_when == '\0')
        record_signal(SIGTERM);
    };
    Rig rig{peer};
    rig.console.type(fkey(8));
    rig.console.when_screen("[1]>>", "ls\r");
    rig.console.when_screen("[2]>>", c.keys);
    rig.idle.on_wait = [&] {
      if (c.signal_when != nullptr && *c.signal_when != '\0' &&
          rig.console.screen.find(c.signal_when) != std::string::npos)
        record_signal(SIGTERM);
    };
    EXPECT_EQ(rig.run(), c.status) << c.name << "\n" << rig.console.screen;
    clear_signal();
    EXPECT_EQ(TempDir::read(rig.history_file()), "ls\n") << c.name;
  }
}

}  // namespace
}  // namespace dravel::test
