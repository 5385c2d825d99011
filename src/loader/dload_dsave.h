#pragma once
#include <cstdint>

namespace dravel {

class Link;

int dload_command(Link& link, char* argument);
int dsave_command(Link& link, char* argument);
int dload_file(Link& link, const char* name, std::uint32_t address);

}  // namespace dravel
