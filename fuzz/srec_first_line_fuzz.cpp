// An S-record file as the sender reads it: the first-line check, then every line sent and
// acknowledged by a monitor that answers each line.
#include <cstdint>
#include <cstdlib>

#include "core/program_exit.h"
#include "fuzz_platform.h"
#include "link/tx_queue.h"
#include "loader/srec_send.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static dravel::fuzz::MemFile file;
  file.set(data, size);
  dravel::fuzz::Rig rig;
  rig.serial.answer_per_line = dravel::SREC_ACK;
  dravel::State& s = rig.s();
  // The first line must begin with 'S' (end-of-file byte and CR LF as a text stream reads them).
  bool s_format = size > 0 && data[0] == 'S';
  bool sent = false;
  try {
    sent = dravel::srec_send(s.link, file.path().c_str(), 1).ok();
  } catch (const dravel::ProgramExit&) {
    return 0;
  }
  if (!s_format && sent) std::abort();
  return 0;
}
