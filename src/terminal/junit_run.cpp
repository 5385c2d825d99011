#include "terminal/junit_run.h"

#include <cerrno>
#include <cstring>

#include "core/console_out.h"
#include "core/run_outcome.h"
#include "platform/replacing_file.h"
#include "terminal/state.h"

namespace dravel {

namespace {

// Why a run ended with `status`, as the end case's failure says it.
std::string end_reason(const State& s, int status) {
  const RunOutcome& r = s.outcome;
  std::string why;
  if (status == STATUS_TIMED_OUT && s.options.timeout_seconds > 0)
    why = "the run took longer than --timeout " + std::to_string(s.options.timeout_seconds) + " s";
  else if (status > 128)
    why = "ended by signal " + std::to_string(status - 128);
  else if (!s.junit.end_reason.empty())
    why = s.junit.end_reason;
  else if (r.exit_status >= 0)
    why = "local exit " + std::to_string(r.exit_status);
  else if (r.link_lost)
    why = "the serial device was lost";
  else if (r.expect_failed)
    why = "an expect failed";
  else if (r.command_failed)
    why = "a script's command failed";
  else
    why = "ended (ESC, or the monitor did not answer)";
  return "status " + std::to_string(status) + ": " + why;
}

std::string suite_name(const Options& o) {
  std::string name = "dravel";
  if (!o.board.empty()) name += " -b " + o.board;
  for (const std::string& script : o.scripts) name += " " + script;
  return name;
}

}  // namespace

void junit_begin(State& s) {
  s.junit = JunitLog{};
  s.junit.on = !s.options.junit_file.empty();
  s.junit.start_ms = s.io.clock.milliseconds();
}

void junit_expect_begun(State& s, const std::string& text) {
  if (!s.junit.on) return;
  s.junit.open = JunitCase{text, s.io.clock.milliseconds(), std::nullopt};
}

void junit_expect_ended(State& s, std::optional<std::string> failure) {
  JunitLog& j = s.junit;
  if (!j.open) return;
  JunitCase c = std::move(*j.open);
  j.open.reset();
  c.ms = s.io.clock.milliseconds() - c.ms;
  c.failure = std::move(failure);
  if (j.cases.size() < JUNIT_CASE_LIMIT)
    j.cases.push_back(std::move(c));
  else
    ++j.dropped;
}

bool junit_write(State& s, int status) {
  JunitLog& j = s.junit;
  if (!j.on) return true;
  junit_expect_ended(s, "the run ended first (status " + std::to_string(status) + ")");
  JunitRun run;
  run.suite = suite_name(s.options);
  run.cases = j.cases;
  run.ms = s.io.clock.milliseconds() - j.start_ms;
  run.end = JunitCase{"the run's end status", run.ms, std::nullopt};
  if (j.dropped > 0) run.end.name += " (" + std::to_string(j.dropped) + " more expects not listed)";
  if (status != 0) run.end.failure = end_reason(s, status);

  const std::string& path = s.options.junit_file;
  const std::string xml = junit_xml(run);
  platform::ReplacingFile file;
  bool ok = file.open(path);
  if (ok) ok = std::fwrite(xml.data(), 1, xml.size(), file.stream()) == xml.size();
  if (ok) ok = file.commit();
  if (!ok)
    console_printf(s.console(), "dravel: cannot write the JUnit report \"%s\": %s\n", path.c_str(),
                   std::strerror(file.error_number() != 0 ? file.error_number() : errno));
  return ok;
}

}  // namespace dravel
