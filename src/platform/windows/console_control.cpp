#include "platform/windows/console_control.h"

#include <atomic>
#include <csignal>

#include "base/signal_flag.h"

namespace dravel::platform {

namespace {

// Shared with the handler, which the system runs on a thread of its own.
HANDLE g_wake = nullptr;
HANDLE g_finished = nullptr;
HANDLE g_main_thread = nullptr;
std::atomic<bool> g_shell_running{false};
std::atomic<int> g_ctrl_c_keys{0};
std::atomic<bool> g_ctrl_c_ends{false};

// The system ends the process when the handler returns from a close event, and at the latest
// after about five seconds.
constexpr DWORD CLOSE_GRACE_MS = 4500;

void ask_to_end(int signal_number) {
  dravel::record_signal(signal_number);
  if (g_wake != nullptr) SetEvent(g_wake);
  // A write to a port whose flow control never lets it finish would keep the program from
  // ever looking at the flag.
  if (g_main_thread != nullptr) CancelSynchronousIo(g_main_thread);
}

BOOL WINAPI on_control_event(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
      // Raw input makes Ctrl-C a key; a console that sends the event all the same (Wine's
      // on a terminal) gets the same result.
      if (g_ctrl_c_ends.load()) {
        ask_to_end(SIGINT);
      } else if (!g_shell_running.load()) {
        g_ctrl_c_keys.fetch_add(1);
        if (g_wake != nullptr) SetEvent(g_wake);
      }
      return TRUE;
    case CTRL_BREAK_EVENT:
      if (!g_shell_running.load()) ask_to_end(SIGINT);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      ask_to_end(SIGTERM);
      if (g_finished != nullptr) WaitForSingleObject(g_finished, CLOSE_GRACE_MS);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

ConsoleControl::ConsoleControl() {
  g_wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_main_thread = OpenThread(THREAD_TERMINATE, FALSE, GetCurrentThreadId());
  SetConsoleCtrlHandler(on_control_event, TRUE);
}

ConsoleControl::~ConsoleControl() {
  if (g_finished != nullptr) SetEvent(g_finished);
  // The handler stays: a close event racing with the end of main must still find the events.
}

HANDLE ConsoleControl::wake_event() const {
  return g_wake;
}

void ConsoleControl::set_shell_running(bool running) {
  g_shell_running.store(running);
}

void ConsoleControl::set_ctrl_c_ends(bool ends) {
  g_ctrl_c_ends.store(ends);
}

int ConsoleControl::take_ctrl_c_keys() {
  return g_ctrl_c_keys.exchange(0);
}

}  // namespace dravel::platform
