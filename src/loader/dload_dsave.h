#pragma once
#include <cstdint>

namespace dravel {

class BinarySession;
class Link;

int dload_command(Link& link, char* argument);
int dsave_command(Link& link, char* argument);
// One file of a dload, inside the session its command holds.
int dload_file(Link& link, BinarySession& session, const char* name, std::uint32_t address);

}  // namespace dravel
