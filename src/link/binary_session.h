#pragma once
// The monitor's binary mode, entered in one place and left in one. Every transfer holds a
// BinarySession for as long as the monitor is in binary mode: ended early or not (a file that
// ran short, a packet bad PACKET_TRIES times, ESC), the board is brought back the same way.
// Only when a lost device or the program's end unwinds through it is nothing sent: the line is
// gone (the link brings the monitor back when the device returns) or the program is over.
#include <exception>

namespace dravel {

class Link;

enum class BinaryDirection {
  ToBoard,    // "bwr": the host sends blocks
  FromBoard,  // "brd": the host asks for blocks
};

class BinarySession {
 public:
  // Sends the command and waits for the monitor's "binary". The board's prompt seen before
  // is forgotten: a script waits for the one that follows the transfer.
  BinarySession(Link& link, BinaryDirection direction);
  // Leaves unless an exception is on its way out (see above). May end the program (ESC in the
  // wait), so it may throw.
  ~BinarySession() noexcept(false);
  BinarySession(const BinarySession&) = delete;
  BinarySession& operator=(const BinarySession&) = delete;

  // Brings the monitor out of binary mode now (once; the destructor then does nothing).
  void leave();
  // The same after a packet went bad PACKET_TRIES times: the monitor may be inside a frame, or
  // not in binary mode at all (the packets went to its command line), where the CR that leaves
  // an idle binary mode would be data or start a command, and "end binary" might never come.
  // It gets what follows a lost line instead (NULs, then Ctrl-C), which brings it to its prompt
  // from anywhere; nothing is awaited, and the loop shows the prompt.
  void give_up();

 private:
  Link& link_;
  BinaryDirection direction_;
  int exceptions_ = std::uncaught_exceptions();
  bool left_ = false;
};

}  // namespace dravel
