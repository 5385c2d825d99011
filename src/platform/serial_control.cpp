#include "platform/serial_device.h"

namespace dravel::platform {

namespace {

struct ControlName {
  Control control;
  const char* name;
};
constexpr ControlName CONTROL_NAMES[] = {
    {Control::BreakOn, "BREAK on"}, {Control::BreakOff, "BREAK off"}, {Control::DtrOn, "DTR on"},
    {Control::DtrOff, "DTR off"},   {Control::RtsOn, "RTS on"},       {Control::RtsOff, "RTS off"},
};

}  // namespace

const char* control_name(Control c) {
  for (const ControlName& n : CONTROL_NAMES)
    if (n.control == c) return n.name;
  return "?";
}

ControlResult control_unsupported(Control c, const std::string& why) {
  return {false, std::string("cannot set ") + control_name(c) + ": " + why};
}

}  // namespace dravel::platform
