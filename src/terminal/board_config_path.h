#pragma once
// Where the board file is, and reading it: the place follows the platform's convention
// ($XDG_CONFIG_HOME, else ~/.config; %APPDATA% on Windows) unless --config names one. A
// missing file at the usual place is no error (most users have none); a missing file the
// user named is.
#include <string>

#include "terminal/board_config.h"

namespace dravel {

// The environment's values ("" when unset), so the choice is testable without touching it.
struct ConfigEnv {
  bool windows = false;
  std::string xdg_config_home;
  std::string home;     // HOME (USERPROFILE on Windows): fills "~/"
  std::string appdata;  // APPDATA, Windows only
};

// Fills a ConfigEnv from a getenv-like function.
ConfigEnv config_env(bool windows, const char* (*get)(const char*));

struct ConfigPath {
  std::string path;    // empty when there is nowhere to look
  bool named = false;  // by --config: a missing file is an error
};

// `config_option` is --config's value, "" when not given.
ConfigPath choose_config_path(const std::string& config_option, const ConfigEnv& env);

// What reading the file found.
struct FileText {
  enum class Status : std::uint8_t { Read, Missing, Failed } status = Status::Missing;
  std::string text;
  std::string reason;  // the system's words when not read
};

// The boards in the file read; an empty list when it is missing and was not named.
BoardFileResult load_board_file(const ConfigPath& where, const FileText& read,
                                const std::string& home);

// Reads `path` whole, up to BOARD_FILE_LIMIT bytes (a bigger one is Failed).
FileText read_board_file(const std::string& path);
inline constexpr std::size_t BOARD_FILE_LIMIT = 1 << 20;

}  // namespace dravel
