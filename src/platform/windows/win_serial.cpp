#include "platform/windows/win_serial.h"

#include <mmsystem.h>

#include <algorithm>
#include <string>

#include "platform/windows/com_port_name.h"
#include "platform/windows/win_error.h"

namespace dravel::platform {

namespace {

// Reads return at once with what the driver holds; writes have no time limit (each is
// overlapped, and the caller's stall limit ends a line that takes nothing).
constexpr COMMTIMEOUTS NON_BLOCKING_READS = {MAXDWORD, 0, 0, 0, 0};

// EscapeCommFunction's code for each line state (SETBREAK and CLRBREAK do what SetCommBreak
// and ClearCommBreak do).
struct ControlCode {
  Control control;
  DWORD code;
};
constexpr ControlCode CONTROL_CODES[] = {
    {Control::BreakOn, SETBREAK}, {Control::BreakOff, CLRBREAK}, {Control::DtrOn, SETDTR},
    {Control::DtrOff, CLRDTR},    {Control::RtsOn, SETRTS},      {Control::RtsOff, CLRRTS},
};

// A write the driver still holds when the port closes is given this long to go out (a quit
// right after a script's last line); a stalled line is cut after it.
constexpr DWORD CLOSE_DRAIN_MS = 2000;
// A cancelled receive wait ends at once; one that does not within this is given up.
constexpr DWORD RX_END_LIMIT_MS = 500;
// Receive waits that end by themselves with no byte, in a row, before the wait is given up:
// Wine fails every one at once on a tty without modem lines (it polls them in the wait), which
// would wake the loop some hundred times a second.
constexpr int RX_FAILED_ENDS_LIMIT = 3;

}  // namespace

OpenResult WinSerialDevice::open(const std::string& path, long baud) {
  close();
  failure_.clear();
  std::string device = com_device_path(path);
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {false, system_error_text(GetLastError()), ""};

  OpenResult result{true, "", ""};
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(h, &dcb)) {
    // Only these four change; flow control and the special characters stay as the driver has them.
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    const bool taken = SetCommState(h, &dcb) != 0;
    const std::string reason = taken ? "" : system_error_text(GetLastError());
    DCB now{};
    now.DCBlength = sizeof now;
    if (GetCommState(h, &now)) result.rate = static_cast<long>(now.BaudRate);
    const std::string runs = result.rate > 0 ? "the line runs at " + std::to_string(result.rate)
                                             : "the line keeps its previous rate";
    if (!taken) {
      result.rate_refused = true;
      result.warning = path + " refused " + std::to_string(baud) +
                       " baud 8N1 and keeps its settings: " + reason + "; " + runs;
    } else if (result.rate > 0 && !rate_close_to(result.rate, baud)) {
      result.warning =
          "baud rate " + std::to_string(baud) + " is not what " + path + " makes; " + runs;
    }
  } else {
    result.warning =
        "cannot read the line settings of " + path + ": " + system_error_text(GetLastError());
  }

  COMMTIMEOUTS timeouts = NON_BLOCKING_READS;
  if (!SetCommTimeouts(h, &timeouts)) {
    // Without these every read could block, and the program would hang on a quiet line.
    std::string reason = system_error_text(GetLastError());
    CloseHandle(h);
    return {false, "cannot make reads return at once: " + reason, ""};
  }
  for (HANDLE* e : {&read_event_, &write_event_, &rx_event_}) {
    *e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (*e != nullptr) continue;
    std::string reason = system_error_text(GetLastError());
    CloseHandle(h);
    close();
    return {false, reason, ""};
  }
  handle_ = h;
  rx_failed_ends_ = 0;
  // Only a byte's arrival ends the receive wait.
  if (!SetCommMask(h, EV_RXCHAR)) refuse_receive_wait();
  return result;
}

// The port is looked at in slices of a few milliseconds, which the default 15.6 ms tick would
// stretch.
void WinSerialDevice::refuse_receive_wait() {
  rx_refused_ = true;
  if (!fine_timer_) fine_timer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

void WinSerialDevice::close() {
  if (handle_ != INVALID_HANDLE_VALUE) {
    end_receive_wait();
    settle_write(CLOSE_DRAIN_MS);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  for (HANDLE* e : {&read_event_, &write_event_, &rx_event_}) {
    if (*e != nullptr) CloseHandle(*e);
    *e = nullptr;
  }
  if (fine_timer_) timeEndPeriod(1);
  fine_timer_ = false;
  rx_refused_ = false;
}

void WinSerialDevice::discard_output() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
  settle_write(0);
}

bool WinSerialDevice::settle_write(DWORD limit_ms) {
  if (!writing_) return true;
  if (WaitForSingleObject(write_event_, limit_ms) != WAIT_OBJECT_0) CancelIoEx(handle_, &write_ov_);
  DWORD done = 0;
  const BOOL ok = GetOverlappedResult(handle_, &write_ov_, &done, TRUE);
  writing_ = false;
  return ok != 0;
}

HANDLE WinSerialDevice::arm_receive_wait() {
  if (handle_ == INVALID_HANDLE_VALUE || rx_refused_) return nullptr;
  rx_ov_ = OVERLAPPED{};
  rx_ov_.hEvent = rx_event_;
  if (!WaitCommEvent(handle_, &rx_mask_, &rx_ov_) && GetLastError() != ERROR_IO_PENDING)
    return nullptr;  // the port is failing; the reads that follow say so
  // Done at once or under way: either way its event tells, and end_receive_wait ends it.
  rx_armed_ = true;
  return rx_event_;
}

void WinSerialDevice::end_receive_wait() {
  if (!rx_armed_) return;
  rx_armed_ = false;
  const bool ended_itself = WaitForSingleObject(rx_event_, 0) == WAIT_OBJECT_0;
  if (!ended_itself) {
    // Setting the mask again ends a wait under way (Win32 says so, and Wine ends its wait
    // only that way); CancelIoEx for drivers that need it.
    SetCommMask(handle_, EV_RXCHAR);
    CancelIoEx(handle_, &rx_ov_);
    // A wait that will not end leaves its OVERLAPPED in use: never armed again (slices).
    if (WaitForSingleObject(rx_event_, RX_END_LIMIT_MS) != WAIT_OBJECT_0) {
      refuse_receive_wait();
      return;
    }
  }
  DWORD ignored = 0;
  const bool byte =
      GetOverlappedResult(handle_, &rx_ov_, &ignored, FALSE) != 0 && (rx_mask_ & EV_RXCHAR) != 0;
  if (!ended_itself) return;
  rx_failed_ends_ = byte ? 0 : rx_failed_ends_ + 1;
  if (rx_failed_ends_ >= RX_FAILED_ENDS_LIMIT) refuse_receive_wait();
}

long WinSerialDevice::fail(DWORD code) {
  failure_ = system_error_text(code);
  return -1;
}

long WinSerialDevice::read(std::uint8_t* buf, std::size_t max) {
  if (handle_ == INVALID_HANDLE_VALUE) return fail(ERROR_INVALID_HANDLE);
  DWORD want = static_cast<DWORD>(std::min<std::size_t>(max, 0x10000));
  DWORD got = 0;
  OVERLAPPED ov{};
  ov.hEvent = read_event_;
  // The timeouts make a read return at once; a driver that leaves it pending all the same
  // (Wine's) has nothing yet, so the read is cancelled rather than left to wait for a byte.
  BOOL ok = ReadFile(handle_, buf, want, nullptr, &ov);
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    ok = GetOverlappedResult(handle_, &ov, &got, FALSE);
    if (!ok && GetLastError() == ERROR_IO_INCOMPLETE) {
      CancelIoEx(handle_, &ov);
      ok = GetOverlappedResult(handle_, &ov, &got, TRUE);
      if (!ok && GetLastError() == ERROR_OPERATION_ABORTED) return static_cast<long>(got);
    }
  } else if (ok) {
    ok = GetOverlappedResult(handle_, &ov, &got, FALSE);
  }
  if (!ok) {
    DWORD code = GetLastError();
    // A line error stops all I/O until it is cleared (when the driver aborts on errors);
    // once cleared the port reads on. A port that cannot even be cleared is gone (unplugged).
    DWORD errors = 0;
    if (ClearCommError(handle_, &errors, nullptr)) return 0;
    return fail(code);
  }
  return static_cast<long>(got);
}

// One overlapped write at a time, kept in out_ while the driver sends it: the caller gets the
// count at once and waits for write_event() to send more, with its keys live.
long WinSerialDevice::write(const std::uint8_t* data, std::size_t n) {
  if (handle_ == INVALID_HANDLE_VALUE) return fail(ERROR_INVALID_HANDLE);
  if (writing_) {
    DWORD done = 0;
    if (!GetOverlappedResult(handle_, &write_ov_, &done, FALSE)) {
      const DWORD code = GetLastError();
      if (code == ERROR_IO_INCOMPLETE) return 0;
      writing_ = false;
      DWORD errors = 0;
      ClearCommError(handle_, &errors, nullptr);
      return fail(code);
    }
    writing_ = false;
  }
  if (n == 0) return 0;
  const std::size_t take = std::min<std::size_t>(n, 0x10000);
  out_.assign(data, data + take);
  write_ov_ = OVERLAPPED{};
  write_ov_.hEvent = write_event_;
  if (!WriteFile(handle_, out_.data(), static_cast<DWORD>(take), nullptr, &write_ov_) &&
      GetLastError() != ERROR_IO_PENDING) {
    const DWORD code = GetLastError();
    DWORD errors = 0;
    ClearCommError(handle_, &errors, nullptr);
    return fail(code);
  }
  writing_ = true;
  return static_cast<long>(take);
}

ControlResult WinSerialDevice::set_control(Control c) {
  if (handle_ == INVALID_HANDLE_VALUE) return control_unsupported(c, "the device is not open");
  for (const ControlCode& k : CONTROL_CODES) {
    if (k.control != c) continue;
    if (!EscapeCommFunction(handle_, k.code))
      return control_unsupported(c, system_error_text(GetLastError()));
    return {true, ""};
  }
  return control_unsupported(c, "unknown line");
}

long WinSerialDevice::input_pending() {
  if (handle_ == INVALID_HANDLE_VALUE) return 0;
  DWORD errors = 0;
  COMSTAT stat{};
  if (!ClearCommError(handle_, &errors, &stat)) return -1;
  return static_cast<long>(stat.cbInQue);
}

}  // namespace dravel::platform
