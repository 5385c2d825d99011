#pragma once
// Switches that make the simulated monitor misbehave on purpose, so that the host's
// recovery paths (resends, time limits, ESC) can be exercised. All off by default.
#include <cstdint>
#include <string>

namespace dravel::sim {

struct Faults {
  // Answer 'N' to the Nth packet the host sends in binary write mode (1-based, resends
  // counted, over the whole run); its data are not stored. 0: never.
  std::uint64_t nak_host_packet = 0;
  // Send the Nth packet of binary read mode (1-based, resends counted) with a checksum one
  // too high. 0: never.
  std::uint64_t corrupt_sent_packet = 0;
  // Leave one byte out of the Nth packet of binary read mode (1-based, resends counted), as a
  // line that lost it would: the host gets 2048 bytes where it waits for 2049. 0: never.
  std::uint64_t lose_byte_of_sent_packet = 0;
  // Answer 'N' to about this many in a thousand of the host's packets in binary write mode,
  // and spoil one byte of about this many in a thousand packets sent in read mode (their
  // checksum left as it was), chosen by a generator seeded with fault_seed.
  std::uint32_t nak_per_mille = 0;
  std::uint32_t corrupt_per_mille = 0;
  std::uint64_t fault_seed = 1;
  // Go silent for good once the host has sent this text (the byte that completes it is not
  // acted on). Bytes queued before that still go out. Empty: never.
  std::string mute_after_text;
  // Go silent for good once this many bytes have been received (the last one is not acted
  // on). 0: never.
  std::uint64_t mute_after_bytes = 0;
  // Never send the prompt (the banner and answers still come).
  bool hold_prompt = false;
  // Leave S-record lines unacknowledged from the Nth line of a load on (1-based; the data
  // are still stored). 0: never.
  std::uint64_t drop_srec_acks_from = 0;
};

}  // namespace dravel::sim
