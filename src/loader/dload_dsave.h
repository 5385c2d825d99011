#pragma once
#include <cstdint>

#include "core/command_result.h"

namespace dravel {

class BinarySession;
class Link;

CommandResult dload_command(Link& link, char* argument);
CommandResult dsave_command(Link& link, char* argument);
// One file of a dload, inside the session its command holds; false when it failed (said).
bool dload_file(Link& link, BinarySession& session, const char* name, std::uint32_t address);

}  // namespace dravel
