#pragma once
// The Win32 serial device: a COM port with reads that return at once, opened for overlapped
// I/O so the idle wait can sleep on the port's receive event.
#include <windows.h>

#include <string>

#include "platform/serial_device.h"

namespace dravel::platform {

class WinSerialDevice : public SerialDevice {
 public:
  WinSerialDevice() = default;
  WinSerialDevice(const WinSerialDevice&) = delete;
  WinSerialDevice& operator=(const WinSerialDevice&) = delete;
  ~WinSerialDevice() override { close(); }

  OpenResult open(const std::string& path, long baud) override;
  void close() override;
  bool is_open() const override { return handle_ != INVALID_HANDLE_VALUE; }
  long read(std::uint8_t* buf, std::size_t max) override;
  long write(const std::uint8_t* data, std::size_t n) override;
  std::string failure() const override { return failure_; }

  // Bytes the driver holds for reading: > 0 some, 0 none, -1 when the driver cannot tell.
  long input_pending();
  // For the idle wait: an event set when a byte arrives, the port's own wait started here when
  // none is under way; nullptr when the port cannot be waited on (closed, or a driver without
  // the receive event).
  HANDLE arm_receive_wait();
  // The event was set: that wait is over, and the next arm starts another.
  void receive_wait_done();

 private:
  long fail(DWORD code);
  // Finishes an overlapped read or write that `started` says began; false with GetLastError set.
  bool finish(BOOL started, OVERLAPPED& ov, DWORD& done);
  void end_receive_wait();

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string failure_;
  HANDLE io_event_ = nullptr;  // for reads and writes, one at a time
  HANDLE rx_event_ = nullptr;  // for the receive wait, which stays under way between reads
  OVERLAPPED rx_wait_{};
  DWORD rx_mask_ = 0;
  bool rx_armed_ = false;
  bool rx_broken_ = false;  // the driver refused the wait: the idle wait looks in slices
};

}  // namespace dravel::platform
