#include "terminal/terminal_loop.h"

#include <algorithm>
#include <cstring>

#include "base/signal_flag.h"
#include "commands/timestamps.h"
#include "core/console_out.h"
#include "core/program_exit.h"
#include "core/waits.h"
#include "lineinput/line_editor.h"
#include "lineinput/prompted_input.h"
#include "link/line_control.h"
#include "link/link_loss.h"
#include "link/monitor_bytes.h"
#include "link/serial_port.h"
#include "link/tx_queue.h"
#include "terminal/auto_script.h"
#include "terminal/batch_run.h"
#include "terminal/command_table.h"
#include "terminal/expect_command.h"
#include "terminal/startup.h"
#include "terminal/state.h"
#include "watch/watchers.h"

namespace dravel {

namespace {

constexpr int RECEIVE_LIMIT = 255;

enum class PassEnd { Continue, Quit };

// What a pass did, so an idle pass can wait instead of spinning.
struct PassWork {
  bool busy = false;
};

PassEnd run_script_line(State& s, bool ran_without_waiting) {
  const Outcome outcome = script_run_line(s);
  return script_advance(s, outcome, ran_without_waiting) ? PassEnd::Quit : PassEnd::Continue;
}

// Step 2 of a pass: a key for the target, a prefix key, or a command key.
PassEnd handle_key(State& s, KeyCode k) {
  if (k < key::FIRST_SPECIAL) {
    s.prefix_state = PREFIX_NONE;
    tx_enqueue(s.link.tx, k);
    return PassEnd::Continue;
  }
  if (s.prefix_state == 0 && (k == key::F9 || k == key::F10)) {
    s.prefix_state = k == key::F9 ? PREFIX_F9 : PREFIX_F10;
    return PassEnd::Continue;
  }
  if (dispatch_key(s, k, s.prefix_state) == Outcome::Quit) return PassEnd::Quit;
  s.prefix_state = PREFIX_NONE;
  return PassEnd::Continue;
}

// Step 4: one byte out, up to 255 bytes in, shown, logged and watched. A flood is read
// RECEIVE_BATCH chunks at a time and its text reaches the screen in one write: a read and
// a write for every 255 bytes were most of the cost of showing it. Each chunk is still
// logged and watched on its own and sends one queued byte, as a pass of its own would,
// and the text is on the screen before a watcher's callback runs.
constexpr int RECEIVE_BATCH = 16;

PassEnd receive_pass(State& s, PassWork& work) {
  s.link.prompt_seen = false;
  if (tx_send_one(s.link.tx, s.link.port)) work.busy = true;
  std::uint8_t text[RECEIVE_BATCH * RECEIVE_LIMIT];
  int total = serial_read(s.link.port, text, RECEIVE_BATCH * RECEIVE_LIMIT);
  if (total <= 0) return PassEnd::Continue;
  work.busy = true;
  char screen[RECEIVE_BATCH * RECEIVE_LIMIT];
  std::size_t pending = 0;
  // With stamps on the screen its text is built here instead, stamps and all.
  std::string stamped;
  const bool screen_stamps = s.stamps.on_screen();
  const StampTime now =
      screen_stamps || s.log_file.stamps() != StampMode::Off ? stamp_time(s.io.clock) : StampTime{};
  int done = 0;
  // Shows what is waiting; what was read past the chunks handled goes back to the port for
  // whoever reads next, as if it had not been read yet.
  auto finish = [&] {
    if (pending > 0) console_write(s.console(), std::string_view(screen, pending));
    if (!stamped.empty()) console_write(s.console(), stamped);
    if (done < total) s.link.port.unread(text + done, static_cast<std::size_t>(total - done));
  };
  try {
    while (done < total) {
      if (done > 0) tx_send_one(s.link.tx, s.link.port);
      const std::uint8_t* chunk = text + done;
      int n = std::min(RECEIVE_LIMIT, total - done);
      done += n;
      // Printing stops at the first 0 byte; the watchers still see every byte.
      const void* zero = std::memchr(chunk, 0, static_cast<std::size_t>(n));
      std::size_t shown =
          zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - chunk)
                          : static_cast<std::size_t>(n);
      const std::string_view shown_text(reinterpret_cast<const char*>(chunk), shown);
      if (screen_stamps) {
        s.stamps.screen_stamper.feed(shown_text, now, stamped);
      } else {
        std::memcpy(screen + pending, chunk, shown);
        pending += shown;
      }
      s.log_file.write_received(shown_text, now);
      expect_received(s, chunk, n);
      if (Watcher* w = watchers_match(s.watchers, chunk, n)) {
        finish();
        // A load the board asked for is a command: its reason is said when it returns.
        return report_result(s, watcher_run(*w)) == Outcome::Quit ? PassEnd::Quit
                                                                  : PassEnd::Continue;
      }
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return PassEnd::Continue;
}

// A command stopped by a lost device: nothing half-sent or half-read is kept for when the
// device is back, and scripts stop as after any failed command.
void link_lost_reset(State& s) {
  console_write(s.console(), "stopped: the serial device is gone\n");
  s.link.tx.reset();
  s.link.port.clear_unread();
  s.link.prompt_seen = false;
  s.prefix_state = PREFIX_NONE;
  s.outcome.link_lost = true;
  scripts_stop_all(s);
}

// A script's expect line: true when this pass is done (the text came, or the time is up).
// Otherwise the pass goes on showing the board's text and taking keys.
bool tend_expect(State& s) {
  if (!s.autos.expect.waiting()) return false;
  if (expect_matched(s)) {
    expect_clear(s);
    script_next_line(s);
    return true;
  }
  link_check(s.link);
  terminate_on_abort(s.core, true);
  if (!expect_timed_out(s)) return false;
  expect_fail(s);
  return true;
}

bool pass(State& s) {
  if (pending_signal() != 0) return false;
  // A busy loop never reaches the idle wait's tender: a timed line goes back here too.
  line_controls_tend(s.link);
  AutoStack& a = s.autos;
  if (s.options.batch) {
    check_run_limit(s.core);
    // The last script's BREAK or pulse runs its full time before the run ends.
    if (!a.active() && !next_start_script(s) && !line_pulsing(s.link)) return false;
  } else if (!a.active()) {
    next_start_script(s);  // a named board's scripts, then the command line's
  }
  // A device gone fails a batch run at once rather than waiting for it to come back, and
  // stops running scripts as it stops a command: the line a script was sending may be cut,
  // and a board that lived on (behind a network port) prints no prompt for its next line.
  if (s.options.batch || a.active()) link_check(s.link);
  int bits = 0;
  KeyCode current = 0;
  PassWork work;

  if (a.sleep_seconds > 0 && s.io.clock.seconds() - a.sleep_start > a.sleep_seconds) {
    a.sleep_seconds = 0;
    script_next_line(s);
    return true;
  }
  if (tend_expect(s)) return true;
  // A local line waits until the bytes queued before it are out: what it writes to the port
  // itself (a transfer's "bwr") must not overtake a target line still going out. Any line
  // waits for a BREAK or a pulse to end: "local dtr pulse 100" resets the board before the
  // next line talks to it.
  const bool line_ready = !line_pulsing(s.link) &&
                          (!a.active() || s.link.tx.count == 0 || !is_local_line(a.current_line));
  // Keys come first, so a script of local lines that loops can still be stopped (F3, ESC).
  bool key_first = false;
  if (!a.paused() && a.active() && !a.line_waits_prompt && line_ready) {
    key_first = poll_keyboard(s.core);
    if (!key_first) return run_script_line(s, true) == PassEnd::Continue;
  }
  if (!key_first && !a.paused() && s.link.prompt_seen && a.active() && line_ready) {
    return run_script_line(s, false) == PassEnd::Continue;
  }
  if (!a.paused() && s.link.prompt_seen && !a.active() && s.edit_mode && !s.options.batch) {
    char line[PROMPT_CAPACITY + 1] = {};
    console_write(s.console(), "\r");
    prompted_input(s.core, s.history, "%s>>", line, PROMPT_CAPACITY, LINE_FLAG_SPECIAL_ENDS);
    if (std::strlen(line) == 1 && static_cast<std::uint8_t>(line[0]) >= 0x80) {
      return handle_key(s, static_cast<KeyCode>(line[0])) == PassEnd::Continue;
    }
    s.link.prompt_seen = false;
    console_write(s.console(), "\r\x1b[K>>");
    for (int i = 0; i < MONITOR_LINE_LIMIT && line[i] != '\0'; ++i)
      tx_enqueue(s.link.tx, static_cast<std::uint8_t>(line[i]));
    tx_enqueue(s.link.tx, CR);
    return true;
  }

  bits = poll_input(s.core);
  if (bits & POLL_KEY) {
    current = read_key(s.core);
    work.busy = true;
    if (handle_key(s, current) == PassEnd::Quit) return false;
  }
  if (bits & POLL_BREAK) {
    work.busy = true;
    tx_enqueue(s.link.tx, BREAK);
  }
  if (bits & POLL_RECEIVE) {
    if (receive_pass(s, work) == PassEnd::Quit) return false;
  }
  // Queued bytes the line has no room for: wait for room, or for a key (F3, ESC) meanwhile.
  if (!work.busy && s.core.keys.count == 0) {
    if (s.link.tx.count == 0)
      idle_wait(s.core);
    else
      idle_wait_for_room(s.core, false);
  }
  return true;
}

}  // namespace

bool terminal_pass(State& s) {
  try {
    return pass(s);
  } catch (const LinkLost&) {
    link_lost_reset(s);
    return true;
  }
}

void terminal_loop(State& s) {
  s.prefix_state = PREFIX_NONE;
  while (terminal_pass(s)) {
  }
  // A quit right after queued bytes (a script's line, then "local quit") still sends them.
  if (pending_signal() == 0) tx_flush(s.link.tx, s.link.port);
}

}  // namespace dravel
