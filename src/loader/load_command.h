#pragma once
#include <cstdint>
#include <cstdio>

#include "core/command_result.h"
#include "loader/load_image.h"

namespace dravel {

class Link;
struct HistoryList;

enum class LoadFormat : std::uint8_t { Unknown, Srec, Exe, Coff, Elf };

inline constexpr const char* LOAD_PROMPT = "\x1b[32mLoad%s:\x1b[0m ";
// The longest file name the monitor may send, its carriage return not counted.
inline constexpr int MONITOR_NAME_LIMIT = 255;

// LoadFormat::Unknown also when the file does not open; `why` then says so ("Can't open ...").
LoadFormat detect_format(const char* name, std::string& why);
CommandResult load_file(Link& link, const char* name, int level);
// Options "-s " / "-v ", then names; writes a terminator after each name. Stops at the first
// name that fails.
CommandResult load_command(Link& link, char* argument);
// Watcher callback: 0 asks the user for the name, non-zero asks the monitor.
// A file the board names is looked for in `load_dir` ("" for the working directory) only.
CommandResult load_request_callback(Link& link, HistoryList& history, const std::string& load_dir,
                                    int from_monitor);

// The existence and readability test made before any byte of a load is sent.
bool load_file_readable(Link& link, const char* name);
// What a load says of a name that fails that test.
std::string not_found(const char* name);

// The image of an executable `format` in `file` (`size` bytes), checked whole; nothing is
// printed or sent.
ImageResult read_executable(LoadFormat format, const char* name, std::FILE* file,
                            std::uint64_t size);

}  // namespace dravel
