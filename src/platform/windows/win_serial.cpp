#include "platform/windows/win_serial.h"

#include <algorithm>
#include <string>

#include "platform/windows/com_port_name.h"
#include "platform/windows/win_error.h"

namespace dravel::platform {

namespace {

// Reads return at once with what the driver holds; writes have no time limit.
constexpr COMMTIMEOUTS NON_BLOCKING_READS = {MAXDWORD, 0, 0, 0, 0};

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

  io_event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  rx_event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (io_event_ == nullptr || rx_event_ == nullptr) {
    std::string reason = system_error_text(GetLastError());
    CloseHandle(h);
    close();
    return {false, reason, ""};
  }
  handle_ = h;
  // Only a byte's arrival ends the receive wait; a driver that refuses it is looked at in slices.
  rx_broken_ = !SetCommMask(h, EV_RXCHAR);
  return result;
}

void WinSerialDevice::close() {
  if (handle_ != INVALID_HANDLE_VALUE) {
    end_receive_wait();
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  for (HANDLE* e : {&io_event_, &rx_event_}) {
    if (*e != nullptr) CloseHandle(*e);
    *e = nullptr;
  }
  rx_broken_ = false;
}

// The wait under way must be over before its OVERLAPPED and event go.
void WinSerialDevice::end_receive_wait() {
  if (!rx_armed_) return;
  SetCommMask(handle_, 0);  // ends a WaitCommEvent under way at once
  CancelIoEx(handle_, &rx_wait_);
  DWORD ignored = 0;
  GetOverlappedResult(handle_, &rx_wait_, &ignored, TRUE);
  rx_armed_ = false;
}

HANDLE WinSerialDevice::arm_receive_wait() {
  if (handle_ == INVALID_HANDLE_VALUE || rx_broken_) return nullptr;
  if (rx_armed_) return rx_event_;
  rx_wait_ = OVERLAPPED{};
  rx_wait_.hEvent = rx_event_;
  ResetEvent(rx_event_);
  if (WaitCommEvent(handle_, &rx_mask_, &rx_wait_)) {
    SetEvent(rx_event_);  // a byte came since the last wait: it is over already
  } else if (GetLastError() != ERROR_IO_PENDING) {
    return nullptr;  // the port is failing; the reads that follow say so
  }
  rx_armed_ = true;
  return rx_event_;
}

void WinSerialDevice::receive_wait_done() {
  if (!rx_armed_) return;
  DWORD ignored = 0;
  GetOverlappedResult(handle_, &rx_wait_, &ignored, FALSE);
  rx_armed_ = false;
}

bool WinSerialDevice::finish(BOOL started, OVERLAPPED& ov, DWORD& done) {
  if (!started && GetLastError() != ERROR_IO_PENDING) return false;
  return GetOverlappedResult(handle_, &ov, &done, TRUE) != 0;
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
  ov.hEvent = io_event_;
  if (!finish(ReadFile(handle_, buf, want, nullptr, &ov), ov, got)) {
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
    OVERLAPPED ov{};
    ov.hEvent = io_event_;
    if (!finish(WriteFile(handle_, data + done, chunk, nullptr, &ov), ov, written) ||
        written == 0) {
      DWORD code = GetLastError();
      DWORD errors = 0;
      ClearCommError(handle_, &errors, nullptr);
      return done > 0 ? static_cast<long>(done) : fail(code);
    }
    done += written;
  }
  return static_cast<long>(done);
}

long WinSerialDevice::input_pending() {
  if (handle_ == INVALID_HANDLE_VALUE) return 0;
  DWORD errors = 0;
  COMSTAT stat{};
  if (!ClearCommError(handle_, &errors, &stat)) return -1;
  return static_cast<long>(stat.cbInQue);
}

}  // namespace dravel::platform
