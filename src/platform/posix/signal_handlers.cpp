#include "platform/posix/signal_handlers.h"

#include <signal.h>

#include "base/signal_flag.h"
#include "platform/posix/terminal_mode.h"

namespace dravel::platform {

namespace {

constexpr int ENDING_SIGNALS[] = {SIGTERM, SIGHUP, SIGINT};
constexpr int FATAL_SIGNALS[] = {SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,
                                 SIGABRT, SIGQUIT, SIGTRAP, SIGSYS};

void on_ending_signal(int sig) {
  record_signal(sig);
}

void on_fatal_signal(int sig) {
  TerminalMode::emergency_restore();
  // SA_RESETHAND put the default action back; raising again ends the process with it.
  ::raise(sig);
}

void install(int sig, void (*handler)(int), int flags) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_flags = flags;  // no SA_RESTART: a blocked poll or write returns and sees the signal
  sigemptyset(&sa.sa_mask);
  ::sigaction(sig, &sa, nullptr);
}

}  // namespace

void install_signal_handlers() {
  for (int sig : ENDING_SIGNALS) install(sig, on_ending_signal, 0);
  for (int sig : FATAL_SIGNALS) install(sig, on_fatal_signal, SA_RESETHAND | SA_NODEFER);
  install(SIGPIPE, SIG_IGN, 0);
}

}  // namespace dravel::platform
