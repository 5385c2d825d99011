#pragma once
// The board's debug monitor as a byte-in/byte-out engine, for krvbsim and the tests.
//
// Everything the monitor says in answer to received bytes is ready in transmit() as soon
// as receive() returns, unless a fault or pacing holds it back.
//
//   Monitor m;               // says nothing yet
//   m.start();               // a banner line and the prompt "\r\n  \r>> "
//   m.receive("help\r");     // echo, the command list, the prompt
//   m.take_output();         // everything said so far
//
// Command mode: typed characters are echoed, backspace/DEL erase, CR runs the line, LF,
// Ctrl-U and other controls are ignored, 0x03 answers "^C" and the prompt. Commands: help,
// dw <addr> [<count>], reg, sr <register> <hex>, go (prints set_program_output()), ld2, lreq,
// fload <name>, bwr, brd, and, for test tools, stream <length> [<seed>] and sum <addr> <size>
// (see sim/stream.h). An unknown command gets an error line and the prompt; "sr" answers with
// the prompt.
//
// Binary mode ("bwr"/"brd", answered "\r\nbinary\r"): 9-byte headers (0x01, address and
// count most significant byte first) and 2048-byte packets with an 8-bit additive checksum;
// write mode answers each packet 'Y' (stored) or 'N' (not stored); read mode sends a packet
// and its checksum for each 0x02 and moves on after 'Y'. Ranges outside the memory map are
// refused. A lone CR answers "end binary\r" and at once the prompt.
//
// S-record loads ("ld2", "lreq", "fload"): see srec_load.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/binary_mode.h"
#include "sim/command_line.h"
#include "sim/faults.h"
#include "sim/memory.h"
#include "sim/mode.h"
#include "sim/pacing.h"
#include "sim/registers.h"
#include "sim/reply.h"
#include "sim/srec_load.h"
#include "sim/trace.h"

namespace dravel::sim {

class Monitor {
 public:
  static constexpr std::string_view BANNER =
      "\r\nKRVB7100 debug monitor (krvbsim simulator), type help for commands";

  Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  // Queues the banner line and the first prompt.
  void start();

  // Bytes from the host.
  void receive(const std::uint8_t* data, std::size_t n);
  void receive(std::string_view bytes);

  // Bytes for the host that are ready now; returns how many were copied.
  std::size_t transmit(std::uint8_t* buf, std::size_t max);
  // The same at the pace of the line set by set_baud(), `now_us` being any monotonic
  // microsecond clock; without a baud rate everything is ready at once.
  std::size_t transmit(std::uint8_t* buf, std::size_t max, std::uint64_t now_us);
  bool has_output() const { return reply_.pending() > 0; }
  // When transmit(..., now_us) will next have a byte, while has_output().
  std::uint64_t next_output_us(std::uint64_t now_us) const {
    return pacer_.next_release_us(now_us);
  }
  // Takes everything waiting, unpaced (for tests).
  std::string take_output();

  // 10 bit times per byte; 0 (the default) releases everything at once.
  void set_baud(long baud) { pacer_.set_baud(baud); }
  long baud() const { return pacer_.baud(); }

  Memory& memory() { return memory_; }
  Registers& registers() { return registers_; }
  Faults& faults() { return faults_; }
  // Text "go" prints after its own line, as a started program would; none by default.
  void set_program_output(std::string text) { program_output_ = std::move(text); }
  Trace& trace() { return trace_; }
  const BinaryMode& binary() const { return binary_; }
  const SrecLoad& srec() const { return srec_; }

  // The seed of the next "stream" command that names none; later ones count up from it.
  void set_stream_seed(std::uint64_t seed) { stream_seed_ = seed; }

  Mode mode() const { return mode_; }
  // True once a mute fault has fired.
  bool muted() const { return reply_.muted(); }
  std::uint64_t bytes_received() const { return received_; }

 private:
  void feed(std::uint8_t b);
  bool mute_trigger(std::uint8_t b);

  Memory memory_;
  Registers registers_;
  Faults faults_;
  Trace trace_;
  Reply reply_{trace_, faults_};
  Pacer pacer_;
  CommandLine line_{reply_};
  BinaryMode binary_{memory_, faults_, reply_};
  SrecLoad srec_{memory_, registers_, faults_, reply_};
  Mode mode_ = Mode::command;
  std::uint64_t received_ = 0;
  std::uint64_t stream_seed_ = 1;
  std::string recent_;  // the last bytes received, to spot mute_after_text
  std::string program_output_;
};

}  // namespace dravel::sim
