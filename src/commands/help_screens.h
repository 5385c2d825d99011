#pragma once
// The help texts, each written to the console as one piece.

namespace dravel {

extern const char* const KEY_MAP_SCREEN;
extern const char* const LONG_HELP_SCREEN;
extern const char* const F9_HELP_SCREEN;
extern const char* const F10_HELP_SCREEN;
extern const char* const MORE_QUESTION;

}  // namespace dravel
