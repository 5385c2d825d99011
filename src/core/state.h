#pragma once
// The process-wide state, gathered in one object that main makes (and each test makes afresh).
// The one header that includes upward: it gathers every layer's state, and the waits and exits
// in core/ reach the port, its tending and the history through it.
#include <string>

#include "commands/auto_script.h"
#include "commands/log_file.h"
#include "core/keyboard.h"
#include "core/run_outcome.h"
#include "lineinput/history.h"
#include "link/block_protocol.h"
#include "link/link_loss.h"
#include "link/serial_port.h"
#include "link/tx_queue.h"
#include "platform/platform.h"
#include "terminal/config.h"
#include "terminal/options.h"
#include "watch/watchers.h"

namespace dravel {

struct State {
  explicit State(platform::Platform& platform) : io(platform), port(platform.serial) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  platform::Platform& io;
  platform::Console& console() { return io.console; }

  // start-up
  PortConfig config;
  Options options;
  BatchProgress batch_progress;
  std::string history_path = "dravel.his";

  // keyboard and switches
  KeyQueue keys;
  bool abort_flag = false;
  bool prompt_seen = false;
  bool edit_mode = false;
  RunOutcome outcome;

  // the loop's own state, kept here so a test can run it pass by pass
  int prefix_state = 0;

  // link
  SerialPort port;
  TxQueue tx;
  TransferBuffer transfer;

  // line input, commands, watchers, scripts
  HistoryList history;
  LogFile log_file;
  WatcherList watchers;
  AutoStack autos;
};

}  // namespace dravel
