#include "platform/colourless_console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace dravel::test {
namespace {

TEST(ColourlessConsole, DropsColourSequencesOnlyEvenWhenCutAcrossWrites) {
  struct Case {
    std::vector<std::string> writes;
    std::string shown;
  };
  const Case cases[] = {
      {{"\x1b[36;1mdravel\x1b[0m\n"}, "dravel\n"},
      {{"a\x1b[", "7", "m b\x1b", "[0m c"}, "a b c"},
      {{"\x1b[m-\x1b[32mAuto:\x1b[0m "}, "-Auto: "},
      {{"\r\x1b[K>>"}, "\r\x1b[K>>"},            // not a colour: kept
      {{"\x1b\x1b[1mx"}, "\x1bx"},               // a lone ESC stays, the next one starts over
      {{"\x1bOP", "\x1b[2J"}, "\x1bOP\x1b[2J"},  // other sequences pass through
  };
  for (const Case& c : cases) {
    FakeConsole screen;
    platform::ColourlessConsole console(screen);
    for (const std::string& w : c.writes) console.write(w);
    EXPECT_EQ(screen.screen, c.shown);
  }
}

}  // namespace
}  // namespace dravel::test
