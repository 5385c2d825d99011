#pragma once
// Receiving an S-record file: started by "ld2", or by "lreq" / "fload" which first announce
// a load request to the host. The host starts with 'G' and LF, then sends one line at a time
// and waits for 'N' and LF after each. Data records go to memory; the end record sets epc
// and ends the load. 0x03 breaks off.
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/faults.h"
#include "sim/memory.h"
#include "sim/registers.h"
#include "sim/reply.h"

namespace dravel::sim {

enum class SrecStart {
  ld2,           // the host already knows: wait for 'G' at once
  data_request,  // "S-format data load start": the host asks its user for the file
  file_request,  // "S-format file load start": the host asks for the name with 'F'
};

class SrecLoad {
 public:
  static constexpr std::size_t MAX_LINE = 600;  // well past the longest valid record

  SrecLoad(Memory& memory, Registers& registers, const Faults& faults, Reply& reply)
      : memory_(memory), registers_(registers), faults_(faults), reply_(reply) {}

  void begin(SrecStart how, std::string file_name = {});
  // One byte from the host; true when the load is over.
  bool feed(std::uint8_t b);

  // Counts of the current or last load.
  int lines() const { return lines_; }
  int errors() const { return errors_; }
  std::uint64_t bytes_loaded() const { return bytes_; }

 private:
  enum class Phase { await_f, await_g, await_lf, lines };

  bool end_of_line();
  void error(std::string_view what);
  void finish();

  Memory& memory_;
  Registers& registers_;
  const Faults& faults_;
  Reply& reply_;

  Phase phase_ = Phase::await_g;
  std::string file_name_;
  std::string line_;
  bool overflow_ = false;
  int lines_ = 0;
  int errors_ = 0;
  std::uint64_t bytes_ = 0;
};

}  // namespace dravel::sim
