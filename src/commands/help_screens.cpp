#include "commands/help_screens.h"

namespace dravel {

const char* const KEY_MAP_SCREEN =
    "\x1b[36m       [F1]  [F2]  [F3]  [F4]    [F5]  [F6]  [F7]  [F8]    [F9]  [F10]\r\n"
    "       help  dos   auto  load    log   stamp       edit     -      -  \r\n"
    "[F9]+  help              dload  logstop                               \r\n"
    "[F10]+ help  quit        dsave \r\n"
    "\x1b[0m";

const char* const LONG_HELP_SCREEN =
    "\x1b[36m   Key functions                           Local command for auto\r\n"
    "-------------------------------------- | --------------------------------------\r\n"
    "  F1      - display this message       |  help\r\n"
    "  F2      - execute dos command        |  dos{sh,!} <dos command strings>\r\n"
    "  F10 F2  - exit this program          |  quit\r\n"
    "  F3      - auto operation             |  auto <filename>\r\n"
    "  F4      - formated file down load    |  load <filename>\r\n"
    "  F9 F4   - binary file down load      |  dload <filename> <address>\r\n"
    "  F10 F4  - binary file up load        |  dsave <filename> <address> <size>\r\n"
    "  F5      - operation logging start    |  log <filename>\r\n"
    "  F9 F5   - logging stop               |  log\r\n"
    "  F6      - time stamps: next mode     |  timestamps [abs|delta|iso|off] [screen]\r\n"
    "  F8      - local edit mode toggle     |  \r\n"
    "                                       |  auto-again\r\n"
    "                                       |  wait-prompt\r\n"
    "                                       |  sleep <sec>\r\n"
    "                                       |  pause [<strings>]\r\n"
    "                                       |  echo <strings>\r\n"
    "                                       |  beep\r\n"
    "                                       |  expect [-t <sec>] <text>\r\n"
    "                                       |  exit [<status>]\r\n"
    "                                       |  break [<ms>]\r\n"
    "                                       |  dtr on|off|pulse <ms>\r\n"
    "                                       |  rts on|off|pulse <ms>\r\n"
    "\x1b[0m";

const char* const F9_HELP_SCREEN =
    "\x1b[36m    F9 F4   - binary file down load\r\n"
    "    F9 F5   - logging stop\r\n"
    "\x1b[0m";

const char* const F10_HELP_SCREEN =
    "\x1b[36m    F10 F2  - exit this program\r\n"
    "    F10 F4  - binary file up load\r\n"
    "\x1b[0m";

const char* const MORE_QUESTION = "\x1b[32mmore ?(y/N)\x1b[0m ";

}  // namespace dravel
