#pragma once
// -b/--board at start-up: the named board's settings under what the command line and the
// environment gave, and the boards --list shows. Nothing here opens a device: an unusable
// board file or an unknown name ends the program before anything is opened.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "terminal/board_config_path.h"

namespace dravel {

struct Options;
struct State;

// The board file --config names, else the one at the platform's usual place.
BoardFileResult read_boards(const std::string& config_option, const ConfigEnv& env);

// What a board fills in, each only where nothing else chose: `o.device` (which already holds
// -d or DRAVELPORT) and `o.timestamps`.
void take_board_options(Options& o, const Board& board);

// The scripts start-up runs, one after another: the board's first, then a batch run's all or
// an interactive run's `initial` (the command line's last readable name; "" for none).
std::vector<std::string> start_scripts(const Options& o, const Board* board,
                                       const std::string& initial);

// The history file: DRAVELHIS (`env_history`, nullptr when unset), else the board's, else
// dravel.his in the working directory.
std::string history_file_name(const char* env_history, const Board* board);

// Opens the board's log, its time fields filled with `start_ms` (the clock's milliseconds)
// in local time, appending to a file that exists as "local log" does. False with a message
// when the name cannot be used.
bool open_board_log(State& s, const Board& board, std::int64_t start_ms);

// --list's part: the boards of the file, after the machine's ports; a file that cannot be
// read is said, and the ports are listed anyway. False when the file had a fault.
bool list_boards(State& s, const std::string& config_option, const ConfigEnv& env);

}  // namespace dravel
