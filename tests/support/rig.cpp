#include "support/rig.h"

#include <stdlib.h>
#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/serial_port.h"
#include "terminal/command_table.h"
#include "terminal/startup.h"

namespace dravel::test {

namespace {
// The environment of the running rig, for run_program's GetEnv.
const std::map<std::string, std::string>* g_env = nullptr;
const char* rig_getenv(const char* name) {
  if (g_env == nullptr) return nullptr;
  auto it = g_env->find(name);
  return it == g_env->end() ? nullptr : it->second.c_str();
}
}  // namespace

Rig::Rig() : state(std::make_unique<State>(io)) {
  state->history_path = history_file();
  idle.on_room = [this] { serial.make_room(); };
}

Rig::Rig(SerialPeer& peer) : Rig() {
  serial.set_peer(&peer);
}

void Rig::open_port() {
  const Options& o = state->options;
  link_open(state->link,
            o.device.empty() ? platform::default_device_name(state->config.io_address) : o.device,
            state->config.baud_rate);
}

int Rig::run(const std::vector<std::string>& args) {
  if (history_in_env) env.try_emplace("DRAVELHIS", history_file());
  g_env = &env;
  int status = run_program(*state, args, rig_getenv);
  g_env = nullptr;
  return status;
}

TempDir::TempDir() {
#if defined(_WIN32)
  // No mkdtemp: try numbered names until one is new.
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  for (unsigned i = 0; i < 10000; ++i) {
    fs::path p = base / ("dravel-test-" + std::to_string(_getpid()) + "-" + std::to_string(i));
    if (fs::create_directory(p, ec)) {
      path_ = p.generic_string();
      return;
    }
  }
  path_ = base.generic_string();
#else
  char templ[] = "/tmp/dravel-test-XXXXXX";
  const char* p = ::mkdtemp(templ);
  path_ = p != nullptr ? p : "/tmp";
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  std::string p = file(name);
  std::ofstream(p, std::ios::binary) << content;
  return p;
}

std::string TempDir::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Outcome Rig::shown(const CommandResult& r) {
  return report_result(*state, r);
}

}  // namespace dravel::test
