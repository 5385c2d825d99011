#pragma once
// --junit: a batch run's expects as test cases, kept as they end, and the report written when
// the program ends, whichever way it ends (start-up writes it where every end passes).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/junit_report.h"

namespace dravel {

struct State;

// A report past this many expects (a script that loops) keeps the first and counts the rest.
inline constexpr std::size_t JUNIT_CASE_LIMIT = 10'000;

struct JunitLog {
  bool on = false;  // a batch run with --junit began
  std::int64_t start_ms = 0;
  std::vector<JunitCase> cases;
  std::size_t dropped = 0;
  std::optional<JunitCase> open;  // the expect waiting, its ms its start
  std::string end_reason;         // why start-up gave up, when it did
};

// The run begins: its time counts from here.
void junit_begin(State& s);
// An expect waits for `text`.
void junit_expect_begun(State& s, const std::string& text);
// The waiting expect ended: passed when `failure` is empty. Nothing when none waits.
void junit_expect_ended(State& s, std::optional<std::string> failure);
// The run ended with `status`: the report goes to --junit's file. False, after saying so,
// when it could not be written.
bool junit_write(State& s, int status);

}  // namespace dravel
