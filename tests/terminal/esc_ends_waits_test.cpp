// ESC ends every wait the same way: status 1, "Terminate by user!", the port closed and the
// history saved, whatever was being waited for.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "core/program_exit.h"
#include "lineinput/line_editor.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "link/serial_port.h"
#include "loader/loader_support.h"
#include "loader/srec_send.h"
#include "support/rig.h"
#include "support/wire.h"
#include "terminal/auto_script.h"
#include "terminal/program_watchers.h"

namespace dravel::test {
namespace {

constexpr const char* PROMPT = "  \r>>";
constexpr int RETURNED = -1;  // the wait came back instead of ending the program

// A monitor that acknowledges S-records (the rows that need another answer replace it) and a
// rig whose history lives in its own directory.
struct Bench {
  SrecMonitor monitor;
  Rig rig{monitor.peer};
  int idles = 0;
  Bench() {
    rig.s().history_path = rig.history_file();
    rig.open_port();
  }
  ScriptedPeer& peer() { return monitor.peer; }
};

struct Row {
  const char* wait;
  int esc_after_idles;  // 0: typed before the wait starts
  const char* esc_cue;  // or typed once the screen shows this
  std::function<void(Bench&)> setup;
  std::function<int(Bench&)> start;  // a whole program run returns its status
  std::function<void(Bench&)> also;  // what this wait shows besides
};

void answer_prompt_after_cr(Bench& b) {
  b.peer().on_write = [](ScriptedPeer& p, const std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      if (data[i] == '\r') p.say(std::string("\r\n") + PROMPT);
  };
}

const Row rows[] = {
    {"the idle terminal", 0, nullptr,
     [](Bench& b) {
       b.peer().on_write = nullptr;
       b.rig.console.type("x");
     },
     [](Bench& b) { return b.rig.run(); },
     // The key typed before ESC goes first, then Ctrl-C.
     [](Bench& b) { EXPECT_EQ(b.peer().received, "x\x03"); }},
    {"a text that never completes", 50, nullptr,
     [](Bench& b) {
       b.peer().on_write = nullptr;
       b.peer().say("end bin");
       b.rig.console.type("q");
     },
     [](Bench& b) {
       serial_write_string(b.rig.s().link.port, "\r");
       wait_for_text(b.rig.s().link, "end binary\r");
       return RETURNED;
     },
     [](Bench& b) {
       EXPECT_EQ(b.rig.serial.wire_out, "\r");
       EXPECT_EQ(b.rig.console.screen, "\nTerminate by user!\n");
       EXPECT_EQ(b.rig.s().core.keys.pop(), 'q');  // other keys wait for the loop
     }},
    {"the answer to a packet", 20, nullptr, [](Bench& b) { b.peer().on_write = nullptr; },
     [](Bench& b) {
       const std::uint8_t x = 'x';
       send_packets(b.rig.s().link, &x, 1);
       return RETURNED;
     },
     [](Bench& b) {
       EXPECT_EQ(b.peer().received, packet("x"));
       EXPECT_EQ(b.rig.console.screen, "\nTerminate by user!\n");
     }},
    {"an S-record acknowledgement", 0, nullptr, [](Bench& b) { b.monitor.silent = true; },
     [](Bench& b) {
       TempDir dir;
       srec_send(b.rig.s().link, dir.write("a.mot", "S1030000FC\nS1030001FB\n").c_str(), 0);
       return RETURNED;
     },
     nullptr},
    {"the name of a file the monitor asks for", 3, nullptr,
     [](Bench& b) {
       register_program_watchers(b.rig.s());
       b.peer().say("\r\nS-format file load start\r\n");
     },
     [](Bench& b) {
       b.rig.pass_until([] { return false; }, 100);
       return RETURNED;
     },
     [](Bench& b) { EXPECT_EQ(b.peer().received, "F\x03"); }},
    {"a line being edited", 0, nullptr, [](Bench& b) { b.rig.console.type("c\x1b\r"); },
     [](Bench& b) {
       char line[64] = "ab";
       edit_line(b.rig.s().core, line, 63, line_edit_keys, line_terminators, 0);
       return RETURNED;
     },
     // ESC ends the program, not the line.
     [](Bench& b) {
       EXPECT_NE(b.rig.console.screen.find("abc\nTerminate by user!\n"), std::string::npos);
     }},
    {"a script looping over local lines", 0, "tick\n\rtick\n\r",
     [](Bench& b) {
       answer_prompt_after_cr(b);
       register_program_watchers(b.rig.s());
     },
     [](Bench& b) {
       TempDir dir;
       std::string name = dir.write("s.scr", "local echo tick\nlocal auto-again\n");
       auto_start(b.rig.s(), name.data());
       b.rig.pass_until([] { return false; }, 1000);
       return RETURNED;
     },
     [](Bench& b) { EXPECT_EQ(b.rig.serial.wire_out, "\x03"); }},
    {"an expect in an interactive script", 0, ">>",
     [](Bench& b) {
       b.peer().on_write = nullptr;
       b.peer().say(PROMPT);
     },
     [](Bench& b) {
       TempDir dir;
       return b.rig.run({dir.write("t.scr", "local expect never\nlocal echo went on\n")});
     },
     nullptr},
};

TEST(EscEndsWaits, EveryWaitEndsTheProgramAlike) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.wait);
    Bench b;
    row.setup(b);
    if (row.esc_cue != nullptr) {
      b.rig.console.when_screen(row.esc_cue, "\x1b");
    } else if (row.esc_after_idles == 0) {
      b.rig.console.type("\x1b");
    } else {
      b.rig.idle.on_wait = [&b, n = row.esc_after_idles] {
        if (++b.idles == n) b.rig.console.type("\x1b");
      };
    }
    int returned = RETURNED;
    int status = exit_status_of([&] { returned = row.start(b); });
    if (status == -1) status = returned;
    EXPECT_EQ(status, 1);
    EXPECT_NE(b.rig.console.screen.find("\nTerminate by user!\n"), std::string::npos)
        << b.rig.console.screen;
    EXPECT_FALSE(b.rig.serial.is_open());
    EXPECT_TRUE(std::filesystem::exists(b.rig.history_file()));
    if (row.also) row.also(b);
  }
}

}  // namespace
}  // namespace dravel::test
