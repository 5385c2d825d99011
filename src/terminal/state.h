#pragma once
// The process state, gathered above every layer that uses it: main makes one (and each test
// makes its own). The layers below see only their part: core/ the Core, link/ and loader/ the
// Link, line input the Core and the history.
#include <optional>
#include <string>

#include "commands/log_file.h"
#include "commands/timestamps.h"
#include "core/core.h"
#include "core/run_outcome.h"
#include "lineinput/history.h"
#include "link/link.h"
#include "platform/platform.h"
#include "terminal/auto_script.h"
#include "terminal/board_config.h"
#include "terminal/config.h"
#include "terminal/junit_run.h"
#include "terminal/options.h"
#include "watch/watchers.h"

namespace dravel {

struct State {
  // Registers the history's save as the exit action after the link's port close.
  explicit State(platform::Platform& platform);
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  Core core;
  Link link;
  platform::Platform& io;
  platform::Console& console() { return core.console(); }

  // start-up
  PortConfig config;
  Options options;
  BatchProgress batch_progress;
  std::string history_path = "dravel.his";
  std::optional<Board> board;  // -b's, once start-up found it

  bool edit_mode = false;
  RunOutcome outcome;
  JunitLog junit;  // --junit: the expects of a batch run as they end
  // The loop's own state, kept here so a test can run it pass by pass.
  int prefix_state = 0;

  // line input, commands, watchers, scripts
  HistoryList history;
  LogFile log_file;
  Timestamps stamps;  // the log's mode is the LogFile's too
  WatcherList watchers;
  AutoStack autos;
};

}  // namespace dravel
