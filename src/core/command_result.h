#pragma once
// What a command, a load or a watcher's callback came to, and what to say about it. The
// dispatcher that ran it prints the reason, so a handler never prints its own last word; text
// shown while the command runs (progress, a message inside a binary session) stays where it is.
#include <cstdint>
#include <string>
#include <utility>

namespace dravel {

enum class Outcome : std::uint8_t {
  Done,    // a script goes on
  Failed,  // a script stops, and a batch run ends with status 1
  Quit,    // the terminal loop returns
};

struct CommandResult {
  Outcome outcome = Outcome::Done;
  // Printed whole (its line ends included) when the command returns; may be empty, also when
  // the command failed (its message was shown while it ran) or when it did its work.
  std::string reason;

  static CommandResult done(std::string note = {}) { return {Outcome::Done, std::move(note)}; }
  static CommandResult failed(std::string why = {}) { return {Outcome::Failed, std::move(why)}; }
  static CommandResult quit() { return {Outcome::Quit, {}}; }

  bool ok() const { return outcome == Outcome::Done; }
};

}  // namespace dravel
