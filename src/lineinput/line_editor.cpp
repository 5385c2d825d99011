#include "lineinput/line_editor.h"

#include "core/state.h"

namespace dravel {

const LineEditKey line_edit_keys[8] = {
    {0x13, EditAction::LEFT},      {0x04, EditAction::RIGHT},     {0x01, EditAction::HOME},
    {0x06, EditAction::END},       {0x08, EditAction::BACKSPACE}, {0x07, EditAction::DELETE},
    {0x0B, EditAction::KILL_TO_END}, {0x19, EditAction::KILL_LINE}};
const KeyCode line_terminators[6] = {0x0D, 0x05, 0x18, 0x09, 0x0A, 0x19};

int edit_line(State& s, char* line, int capacity, const LineEditKey (&)[8], const KeyCode (&)[6],
              int) {
  (void)s;
  (void)capacity;
  line[0] = '\0';
  return 0x0D;  // stub
}

}  // namespace dravel
