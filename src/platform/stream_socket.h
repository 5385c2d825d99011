#pragma once
// A TCP connection, per platform, for the network serial device.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dravel::platform {

class StreamSocket {
 public:
  virtual ~StreamSocket() = default;
  // Connects with TCP_NODELAY (every packet answer is a small write). Empty when connected,
  // else why not; gives up after `timeout_ms`. A name is looked up once in a run: later
  // connects to it (reconnects) go to the addresses found then, without a lookup.
  virtual std::string connect(const std::string& host, int port, int timeout_ms) = 0;
  virtual void close() = 0;
  virtual bool is_open() const = 0;
  // Returns at once: bytes received, 0 when nothing has arrived, -1 when the connection ended.
  virtual long receive(std::uint8_t* buf, std::size_t max) = 0;
  // Returns at once: the bytes the connection took now (0 when it takes none), or -1.
  virtual long send_some(const std::uint8_t* data, std::size_t n) = 0;
  // Sleeps until bytes arrive (or the connection ends) or `timeout_ms` passes.
  virtual void wait_readable(int timeout_ms) = 0;
  // Sleeps until the connection takes more (or fails) or `timeout_ms` passes.
  virtual void wait_writable(int timeout_ms) = 0;
  // Why the last call failed, in the system's words.
  virtual std::string failure() const = 0;
  // Milliseconds of a clock that never jumps, for the limits on the server's answers.
  virtual std::int64_t now_ms() const = 0;
};

}  // namespace dravel::platform
