#include "platform/windows/win_idle_wait.h"

#include <algorithm>

#include "base/signal_flag.h"
#include "platform/windows/win_console.h"
#include "platform/windows/win_port.h"

namespace dravel::platform {

namespace {

// A COM port whose driver refuses the receive wait has nothing to wait on, so it is looked at
// in slices that start short once it has spoken (an answer is often due) and grow while the
// line stays quiet, up to a delay nobody notices at a terminal.
constexpr DWORD FIRST_SLICE_MS = 1;
constexpr DWORD LONGEST_SLICE_MS = 32;
// Input that can only be polled (a pipe) is looked at this often.
constexpr DWORD POLL_SLICE_MS = 10;

}  // namespace

// A typed key is usually echoed: look at the port soon again.
bool WinIdleWait::keys_arrived() {
  if (console_.pump() == 0) return false;
  slice_ms_ = FIRST_SLICE_MS;
  return true;
}

void WinIdleWait::wait(int timeout_ms, bool output_room) {
  if (dravel::pending_signal() != 0) return;
  // Keys that came in since the last look end the wait; keys already taken in but not yet
  // read by anyone do not, or a wait that does not read the keyboard would spin.
  if (keys_arrived()) return;
  // The COM port's receive wait is armed for this wait alone and ended before it returns,
  // so no read or write of the caller ever overlaps it.
  wait_on(timeout_ms, output_room);
  serial_.end_wait();
}

void WinIdleWait::wait_on(int timeout_ms, bool output_room) {
  // Asked to wait for room while no write is held: there is room already. A network port's
  // queue is given room whenever it comes, whoever waits.
  HANDLE written = output_room || serial_.queues_output() ? serial_.write_event() : nullptr;
  if (output_room && written == nullptr) return;

  HANDLE handles[4];
  DWORD count = 0;
  if (wake_ != nullptr) handles[count++] = wake_;
  const DWORD write_slot = count;
  if (written != nullptr) handles[count++] = written;
  // A socket signals its own event and a COM port its receive wait: no slices needed. Armed
  // before the port is looked at, so a byte that comes in between still ends the wait. A
  // socket's one event may be the write event too; a handle goes in the list once.
  HANDLE port_event = serial_.waitable();
  const DWORD port_slot = port_event == written ? write_slot : count;
  if (port_event != nullptr && port_event != written) handles[count++] = port_event;
  HANDLE keys = console_.waitable_input();
  if (keys != nullptr) handles[count++] = keys;
  bool keys_polled = keys == nullptr;

  const ULONGLONG deadline =
      timeout_ms < 0 ? ~ULONGLONG{0} : GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  bool read_after_wait = false;
  for (;;) {
    bool port_polled = serial_.is_open();
    bool port_unknown = false;
    if (port_polled) {
      long pending = serial_.input_pending();
      if (pending > 0) {
        slice_ms_ = FIRST_SLICE_MS;
        return;
      }
      port_unknown = pending < 0;
    }
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    DWORD wait_ms = deadline - now >= INFINITE ? INFINITE : static_cast<DWORD>(deadline - now);
    if (port_unknown) {
      // The driver cannot say what it holds: give the caller a read every slice.
      wait_ms = std::min(wait_ms, POLL_SLICE_MS);
      read_after_wait = true;
    } else if (port_polled && port_event == nullptr) {
      wait_ms = std::min<DWORD>(wait_ms, slice_ms_);
      slice_ms_ = std::min<DWORD>(slice_ms_ * 2, LONGEST_SLICE_MS);
    } else if (keys_polled) {
      wait_ms = std::min(wait_ms, POLL_SLICE_MS);
    }

    DWORD r = count > 0 ? WaitForMultipleObjects(count, handles, FALSE, wait_ms)
                        : (Sleep(std::min(wait_ms, LONGEST_SLICE_MS)), WAIT_TIMEOUT);
    if (r == WAIT_TIMEOUT) {
      if ((keys_polled && keys_arrived()) || read_after_wait) return;
      continue;
    }
    if (r == WAIT_OBJECT_0 && wake_ != nullptr) return;
    if (port_event != nullptr && r == WAIT_OBJECT_0 + port_slot) {
      serial_.woken();
      slice_ms_ = FIRST_SLICE_MS;
      return;
    }
    if (written != nullptr && r == WAIT_OBJECT_0 + write_slot) {
      serial_.woken();  // a socket's event is reset and its queue given the room
      return;
    }
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
      // Key releases, focus and mouse events signal the handle too; they are read and dropped.
      if (keys_arrived()) return;
      // Still signalled with nothing readable: sleep rather than spin on it.
      if (WaitForSingleObject(keys, 0) == WAIT_OBJECT_0) Sleep(std::min(wait_ms, LONGEST_SLICE_MS));
      continue;
    }
    // The wait itself failed: sleep instead, so a broken handle cannot make this spin.
    Sleep(std::min(wait_ms, LONGEST_SLICE_MS));
  }
}

}  // namespace dravel::platform
