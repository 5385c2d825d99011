#pragma once
// The commands that move the line itself: BREAK, DTR and RTS. A timed one returns at once;
// the loop puts the line back when its time is up (link/line_control.h).

namespace dravel {

class Link;
// `[<ms>]`: BREAK for that long, 250 ms when none is given.
int break_local(Link& link, char* argument);
// `on|off|pulse <ms>`
int dtr_local(Link& link, char* argument);
int rts_local(Link& link, char* argument);

}  // namespace dravel
