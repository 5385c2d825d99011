#pragma once
// Sends the S-record file the board asked for by name, when the name passes the rule for
// board files (loader/board_file_name.h, Files::open_inside).
#include <string>

#include "core/command_result.h"

namespace dravel {

class Link;

// A refused name gets what a missing file gets (0x03 and the not-found line) and one line
// more saying why; nothing of the file is read or sent.
CommandResult send_board_file(Link& link, const std::string& load_dir, const char* name);

}  // namespace dravel
