#pragma once
// What a run remembers for its exit status: a batch run ends with it when no script is left.

namespace dravel {

inline constexpr int STATUS_FAILED = 1;
inline constexpr int STATUS_USAGE = 2;
inline constexpr int STATUS_EXPECT_FAILED = 3;
inline constexpr int STATUS_TIMED_OUT = 124;

struct RunOutcome {
  bool expect_failed = false;
  bool command_failed = false;  // a script's local command other than expect
  bool link_lost = false;
  int exit_status = -1;  // from "local exit", -1 when none ran

  int batch_status() const {
    if (exit_status >= 0) return exit_status;
    if (expect_failed) return STATUS_EXPECT_FAILED;
    if (command_failed || link_lost) return STATUS_FAILED;
    return 0;
  }
};

}  // namespace dravel
