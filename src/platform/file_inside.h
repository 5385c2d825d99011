#pragma once
// The platform's half of the rule for files the board asks for (Files::open_inside).
#include <cstdio>
#include <string>

namespace dravel::platform {

std::FILE* open_file_inside(const std::string& dir, const std::string& name, std::string& why);

}  // namespace dravel::platform
