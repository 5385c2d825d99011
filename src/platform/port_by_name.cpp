#include "platform/port_by_name.h"

#include "platform/network_name.h"

namespace dravel::platform {

OpenResult PortByName::open(const std::string& name, long baud) {
  active_->close();
  active_ = parse_network_name(name).kind == NetKind::None ? &local_ : &network_;
  return active_->open(name, baud);
}

}  // namespace dravel::platform
