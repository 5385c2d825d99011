#pragma once
// The commands that move the line itself: BREAK, DTR and RTS. A timed one returns at once;
// the loop puts the line back when its time is up (link/line_control.h).

#include "core/command_result.h"

namespace dravel {

class Link;
// `[<ms>]`: BREAK for that long, 250 ms when none is given.
CommandResult break_local(Link& link, char* argument);
// `on|off|pulse <ms>`
CommandResult dtr_local(Link& link, char* argument);
CommandResult rts_local(Link& link, char* argument);

}  // namespace dravel
