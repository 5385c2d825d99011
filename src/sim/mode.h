#pragma once

namespace dravel::sim {

// What the monitor does with the next byte from the host.
enum class Mode { command, srec_load, binary_write, binary_read };

}  // namespace dravel::sim
