#include "platform/windows/win_serial.h"

#include <mmsystem.h>

#include <algorithm>
#include <string>

#include "platform/windows/com_port_name.h"
#include "platform/windows/win_error.h"

namespace dravel::platform {

namespace {

// Reads return at once with what the driver holds; writes have no time limit.
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

}  // namespace

OpenResult WinSerialDevice::open(const std::string& path, long baud) {
  close();
  failure_.clear();
  std::string device = com_device_path(path);
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
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
    if (!SetCommState(h, &dcb))
      result.warning = path + " refused " + std::to_string(baud) +
                       " baud 8N1 and keeps its settings: " + system_error_text(GetLastError());
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

  handle_ = h;
  // The idle wait polls the port in slices of a few milliseconds; the default 15.6 ms tick
  // would stretch each of them.
  fine_timer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  return result;
}

void WinSerialDevice::close() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  if (fine_timer_) timeEndPeriod(1);
  fine_timer_ = false;
}

long WinSerialDevice::fail(DWORD code) {
  failure_ = system_error_text(code);
  return -1;
}

long WinSerialDevice::read(std::uint8_t* buf, std::size_t max) {
  if (handle_ == INVALID_HANDLE_VALUE) return fail(ERROR_INVALID_HANDLE);
  DWORD want = static_cast<DWORD>(std::min<std::size_t>(max, 0x10000));
  DWORD got = 0;
  if (!ReadFile(handle_, buf, want, &got, nullptr)) {
    DWORD code = GetLastError();
    // A line error stops all I/O until it is cleared (when the driver aborts on errors);
    // once cleared the port reads on. A port that cannot even be cleared is gone (unplugged).
    DWORD errors = 0;
    if (ClearCommError(handle_, &errors, nullptr)) return 0;
    return fail(code);
  }
  return static_cast<long>(got);
}

long WinSerialDevice::write(const std::uint8_t* data, std::size_t n) {
  if (handle_ == INVALID_HANDLE_VALUE) return fail(ERROR_INVALID_HANDLE);
  std::size_t done = 0;
  while (done < n) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 0x10000));
    DWORD written = 0;
    if (!WriteFile(handle_, data + done, chunk, &written, nullptr) || written == 0) {
      DWORD code = GetLastError();
      DWORD errors = 0;
      ClearCommError(handle_, &errors, nullptr);
      return done > 0 ? static_cast<long>(done) : fail(code);
    }
    done += written;
  }
  return static_cast<long>(done);
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
