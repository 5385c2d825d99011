#include "terminal/board_config_path.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dravel {

namespace {

std::string expand_home(const std::string& path, const std::string& home) {
  if (path.starts_with("~/") && !home.empty()) return home + path.substr(1);
  return path;
}

}  // namespace

ConfigEnv config_env(bool windows, const char* (*get)(const char*)) {
  auto value = [&](const char* name) {
    const char* v = get(name);
    return std::string(v != nullptr ? v : "");
  };
  ConfigEnv env;
  env.windows = windows;
  env.xdg_config_home = value("XDG_CONFIG_HOME");
  env.home = value(windows ? "USERPROFILE" : "HOME");
  env.appdata = value("APPDATA");
  return env;
}

ConfigPath choose_config_path(const std::string& config_option, const ConfigEnv& env) {
  if (!config_option.empty()) return {expand_home(config_option, env.home), true};
  if (env.windows) {
    if (env.appdata.empty()) return {};
    return {env.appdata + "\\dravel\\boards.conf", false};
  }
  // The base directory specification ignores a relative XDG_CONFIG_HOME.
  if (env.xdg_config_home.starts_with("/"))
    return {env.xdg_config_home + "/dravel/boards.conf", false};
  if (env.home.empty()) return {};
  return {env.home + "/.config/dravel/boards.conf", false};
}

BoardFileResult load_board_file(const ConfigPath& where, const FileText& read,
                                const std::string& home) {
  BoardFileResult r;
  r.file.path = where.path;
  switch (read.status) {
    case FileText::Status::Read:
      return parse_board_config(read.text, where.path, home);
    case FileText::Status::Missing:
      r.ok = !where.named;
      if (!r.ok) r.error = where.path + ": " + read.reason;
      return r;
    case FileText::Status::Failed:
      r.error = where.path + ": " + read.reason;
      return r;
  }
  return r;
}

FileText read_board_file(const std::string& path) {
  FileText r;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    r.status = errno == ENOENT ? FileText::Status::Missing : FileText::Status::Failed;
    r.reason = std::strerror(errno);
    return r;
  }
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && r.text.size() <= BOARD_FILE_LIMIT)
    r.text.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  const int error = errno;  // a directory opens and fails its first read
  std::fclose(f);
  r.status = FileText::Status::Read;
  if (failed) {
    r.status = FileText::Status::Failed;
    r.reason = std::strerror(error);
  } else if (r.text.size() > BOARD_FILE_LIMIT) {
    r.status = FileText::Status::Failed;
    r.reason = "larger than " + std::to_string(BOARD_FILE_LIMIT / 1024) + " KiB: not a board file";
  }
  return r;
}

}  // namespace dravel
