#include "terminal/board_start.h"

#include "commands/general_commands.h"
#include "commands/time_fields.h"
#include "core/console_out.h"
#include "terminal/options.h"
#include "terminal/state.h"

namespace dravel {

BoardFileResult read_boards(const std::string& config_option, const ConfigEnv& env) {
  const ConfigPath where = choose_config_path(config_option, env);
  if (where.path.empty()) {
    BoardFileResult none;
    none.ok = true;  // nowhere to look (no HOME): no boards, as with a missing file
    return none;
  }
  return load_board_file(where, read_board_file(where.path), env.home);
}

void take_board_options(Options& o, const Board& board) {
  if (o.device.empty()) o.device = board.device;
  if (!o.timestamps && board.timestamps) o.timestamps = *board.timestamps;
}

std::vector<std::string> start_scripts(const Options& o, const Board* board,
                                       const std::string& initial) {
  // A board's scripts (a reset, a log-in) prepare the board for what the command line's do.
  std::vector<std::string> scripts;
  if (board != nullptr) scripts = board->scripts;
  if (o.batch)
    scripts.insert(scripts.end(), o.scripts.begin(), o.scripts.end());
  else if (!initial.empty())
    scripts.push_back(initial);
  return scripts;
}

std::string history_file_name(const char* env_history, const Board* board) {
  if (env_history != nullptr) return env_history;
  if (board != nullptr && !board->history.empty()) return board->history;
  return "dravel.his";
}

bool open_board_log(State& s, const Board& board, std::int64_t start_ms) {
  if (board.log.empty()) return true;
  TimeFieldsResult name = expand_time_fields(board.log, s.io.clock.local_time(start_ms));
  if (!name.error.empty()) {
    console_printf(s.console(), "dravel: log \"%s\" of board [%s]: %s\n", board.log.c_str(),
                   board.name.c_str(), name.error.c_str());
    return false;
  }
  log_local(s.log_file, s.console(), s.io.files, name.text.data());
  return s.log_file.is_open();
}

bool list_boards(State& s, const std::string& config_option, const ConfigEnv& env) {
  const BoardFileResult read = read_boards(config_option, env);
  if (!read.ok) {
    console_printf(s.console(), "dravel: %s\n", read.error.c_str());
    return false;
  }
  if (read.file.boards.empty()) return true;
  console_printf(s.console(), "boards in %s:\n", read.file.path.c_str());
  for (const Board& b : read.file.boards)
    console_printf(s.console(), "  %-15s %s\n", b.name.c_str(),
                   b.device.empty() ? "(no device)" : b.device.c_str());
  return true;
}

}  // namespace dravel
