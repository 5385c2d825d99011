#include "link/binary_session.h"

#include "link/handshake.h"
#include "link/link.h"
#include "link/link_loss.h"
#include "link/monitor_bytes.h"

namespace dravel {

BinarySession::BinarySession(Link& link, BinaryDirection direction)
    : link_(link), direction_(direction) {
  link_.prompt_seen = false;
  const char* command = direction == BinaryDirection::ToBoard ? "bwr\r" : "brd\r";
  serial_write_string(link_.port, command);
  wait_for_text(link_, "binary\r");
}

BinarySession::~BinarySession() noexcept(false) {
  if (std::uncaught_exceptions() > exceptions_) return;
  leave();
}

void BinarySession::leave() {
  if (left_) return;
  left_ = true;
  // A read ends with the monitor waiting for the next request; a CR ends it, then the one
  // that leaves binary mode.
  if (direction_ == BinaryDirection::FromBoard) serial_write_byte(link_.port, CR);
  serial_write_string(link_.port, "\r");
  wait_for_text(link_, "end binary\r");
}

void BinarySession::give_up() {
  if (left_) return;
  left_ = true;
  bring_monitor_back(link_.port);
}

}  // namespace dravel
