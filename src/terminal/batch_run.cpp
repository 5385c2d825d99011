#include "terminal/batch_run.h"

#include <cctype>

#include "commands/auto_script.h"
#include "core/console_out.h"
#include "core/run_outcome.h"
#include "core/state.h"
#include "terminal/config.h"
#include "terminal/startup.h"

namespace dravel {

namespace {

constexpr const char BATCH[] = "--batch";
constexpr const char TIMEOUT[] = "--timeout";
constexpr long TIMEOUT_LIMIT = 10'000'000;

bool parse_seconds(const std::string& text, int& seconds) {
  if (text.empty() || text.size() > 8) return false;
  long n = 0;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
    n = n * 10 + (c - '0');
  }
  if (n <= 0 || n > TIMEOUT_LIMIT) return false;
  seconds = static_cast<int>(n);
  return true;
}

bool usage_error(State& s, const std::string& what) {
  console_printf(s.console(), "dravel: %s (dravel --help tells more)\n", what.c_str());
  return false;
}

}  // namespace

bool batch_requested(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a == BATCH) return true;
  return false;
}

bool scan_batch_options(State& s) {
  Options& o = s.options;
  const std::vector<std::string>& args = o.args;
  o.batch = batch_requested(args);
  bool timeout_given = false;
  std::vector<std::string> scripts;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (is_flag_option(a)) continue;
    if (a.compare(0, 2, "-d") == 0 || a == "--load-dir") {
      if (a.size() == 2 || a == "--load-dir") ++i;
      continue;
    }
    if (a == TIMEOUT || a.compare(0, sizeof TIMEOUT, std::string(TIMEOUT) + "=") == 0) {
      std::string value;
      if (a.size() > sizeof TIMEOUT - 1)
        value = a.substr(sizeof TIMEOUT);
      else if (i + 1 < args.size())
        value = args[++i];
      if (!parse_seconds(value, o.timeout_seconds))
        return usage_error(s, "--timeout needs whole seconds from 1");
      timeout_given = true;
      continue;
    }
    if (o.batch && a.size() > 1 && a[0] == '-') return usage_error(s, "unknown option " + a);
    scripts.push_back(a);
  }
  if (timeout_given && !o.batch) return usage_error(s, "--timeout is for --batch runs");
  if (!o.batch) return true;
  if (scripts.empty()) return usage_error(s, "--batch needs a script to run");
  o.batch_scripts = std::move(scripts);
  o.next_batch_script = 0;
  o.run_start = s.io.clock.seconds();
  return true;
}

bool batch_next_script(State& s) {
  Options& o = s.options;
  const RunOutcome& r = s.outcome;
  if (r.expect_failed || r.command_failed || r.link_lost) return false;
  while (o.next_batch_script < o.batch_scripts.size()) {
    std::string name = o.batch_scripts[o.next_batch_script++];
    if (auto_start(s, name.data()) == -1) {
      s.outcome.command_failed = true;
      return false;
    }
    if (s.autos.active()) return true;
  }
  return false;
}

}  // namespace dravel
