#pragma once
// Blank skipping for command arguments, shared by the command rows and the loaders.

namespace dravel {

char* skip_blanks(char* text);
const char* skip_blanks(const char* text);
char* find_blank(char* text);
const char* find_blank(const char* text);

}  // namespace dravel
