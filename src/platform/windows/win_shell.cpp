#include "platform/windows/win_shell.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/idle_wait.h"
#include "platform/windows/console_control.h"
#include "platform/windows/win_console.h"

namespace dravel::platform {

namespace {

// What std::system runs, started in a job that ends with its handle: the exit code, or -1
// when it could not start or `limit_ms` passed first (then the whole job is ended).
int run_in_job(const std::string& command_line, int limit_ms) {
  const char* comspec = std::getenv("COMSPEC");
  std::string line =
      std::string("\"") + (comspec != nullptr ? comspec : "cmd.exe") + "\" /c " + command_line;
  std::vector<char> mutable_line(line.begin(), line.end());
  mutable_line.push_back('\0');

  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return -1;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, mutable_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                      nullptr, nullptr, &si, &pi)) {
    CloseHandle(job);
    return -1;
  }
  AssignProcessToJobObject(job, pi.hProcess);
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  const DWORD wait = limit_ms == WAIT_FOREVER ? INFINITE : static_cast<DWORD>(limit_ms);
  int result = -1;
  if (WaitForSingleObject(pi.hProcess, wait) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code)) result = static_cast<int>(code);
  } else {
    TerminateJobObject(job, 1);
    WaitForSingleObject(pi.hProcess, INFINITE);
  }
  CloseHandle(pi.hProcess);
  CloseHandle(job);  // ends whatever is left in it
  return result;
}

}  // namespace

int WinShell::run(const std::string& command_line, int limit_ms) {
  console_.suspend();
  control_.set_shell_running(true);
  int status = batch_ ? run_in_job(command_line, limit_ms) : std::system(command_line.c_str());
  control_.set_shell_running(false);
  console_.resume();
  return status;
}

}  // namespace dravel::platform
