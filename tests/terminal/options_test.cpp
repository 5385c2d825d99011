#include "terminal/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravel {
namespace {

// Every spelling the command line accepts, and every usage error, read through the table.
TEST(OptionTable, EachSpellingSetsItsOption) {
  struct Case {
    std::vector<std::string> args;
    void (*check)(const Options&);
  };
  const Case cases[] = {
      {{"--help"}, [](const Options& o) { EXPECT_TRUE(o.show_help); }},
      {{"--version"}, [](const Options& o) { EXPECT_TRUE(o.show_version); }},
      {{"--list"}, [](const Options& o) { EXPECT_TRUE(o.show_list); }},
      {{"-l"}, [](const Options& o) { EXPECT_TRUE(o.show_list); }},
      {{"-p3f8,4,9600"}, [](const Options& o) { EXPECT_EQ(o.port_text, "3f8,4,9600"); }},
      {{"-p1", "-p"}, [](const Options& o) { EXPECT_EQ(o.port_text, ""); }},  // the last wins
      {{"-B9600"}, [](const Options& o) { EXPECT_EQ(o.baud_rate, 9600); }},
      {{"-B9600", "-Bfast"}, [](const Options& o) { EXPECT_EQ(o.baud_rate, 9600); }},
      {{"-Bfast"}, [](const Options& o) { EXPECT_FALSE(o.baud_rate.has_value()); }},
      {{"-d", "/dev/ttyUSB0"}, [](const Options& o) { EXPECT_EQ(o.device, "/dev/ttyUSB0"); }},
      {{"-d/dev/ttyUSB0"}, [](const Options& o) { EXPECT_EQ(o.device, "/dev/ttyUSB0"); }},
      {{"-dx", "-d"}, [](const Options& o) { EXPECT_EQ(o.device, "x"); }},  // -d at the end
      {{"-d", "-l"},
       [](const Options& o) {  // a value is never an option
         EXPECT_EQ(o.device, "-l");
         EXPECT_FALSE(o.show_list);
       }},
      {{"--batch", "--timeout", "30", "a.scr"},
       [](const Options& o) {
         EXPECT_TRUE(o.batch);
         EXPECT_EQ(o.timeout_seconds, 30);
         EXPECT_EQ(o.scripts, std::vector<std::string>{"a.scr"});
       }},
      {{"--batch", "--timeout=45", "a.scr", "b.scr"},
       [](const Options& o) {
         EXPECT_EQ(o.timeout_seconds, 45);
         EXPECT_EQ(o.scripts, (std::vector<std::string>{"a.scr", "b.scr"}));
       }},
      {{"--batch", "-", "a.scr"}, [](const Options& o) { EXPECT_EQ(o.scripts.size(), 2u); }},
      // --timestamps takes a mode word only: a script's name after it stays a script.
      {{"--timestamps", "boot.scr"},
       [](const Options& o) {
         EXPECT_EQ(o.timestamps, StampMode::Abs);
         EXPECT_EQ(o.scripts, std::vector<std::string>{"boot.scr"});
       }},
      {{"--timestamps", "iso"}, [](const Options& o) { EXPECT_EQ(o.timestamps, StampMode::Iso); }},
      {{"--timestamps=delta", "--timestamps-screen"},
       [](const Options& o) {
         EXPECT_EQ(o.timestamps, StampMode::Delta);
         EXPECT_TRUE(o.timestamps_screen);
       }},
      {{"--timestamps", "abs", "--timestamps", "off"},
       [](const Options& o) { EXPECT_EQ(o.timestamps, StampMode::Off); }},
      {{"--dtr", "off", "--rts=on"},
       [](const Options& o) {
         EXPECT_EQ(o.dtr, false);
         EXPECT_EQ(o.rts, true);
         EXPECT_FALSE(o.timestamps.has_value());
       }},
      {{"-b", "lab7", "--config", "b.conf"},
       [](const Options& o) {
         EXPECT_EQ(o.board, "lab7");
         EXPECT_EQ(o.config_file, "b.conf");
         EXPECT_TRUE(o.scripts.empty());
       }},
      {{"-blab7", "--config=b.conf"}, [](const Options& o) { EXPECT_EQ(o.config_file, "b.conf"); }},
      {{"--board", "x", "--board=lab7"}, [](const Options& o) { EXPECT_EQ(o.board, "lab7"); }},
      {{"--batch", "--junit", "r.xml", "a.scr"},
       [](const Options& o) {
         EXPECT_EQ(o.junit_file, "r.xml");
         EXPECT_EQ(o.scripts, std::vector<std::string>{"a.scr"});
       }},
      // Without --batch a name that looks like an option may still be a script file.
      {{"-x", "boot.scr"},
       [](const Options& o) {
         EXPECT_EQ(o.scripts, (std::vector<std::string>{"-x", "boot.scr"}));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    OptionsResult r = parse_options(c.args);
    EXPECT_EQ(r.error, "");
    c.check(r.options);
  }
}

TEST(OptionTable, UsageErrorsComeInTheOrderTheyStand) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  };
  const Case cases[] = {
      {{"--batch", "--timeout", "0", "a"}, "--timeout needs whole seconds from 1"},
      {{"--batch", "--timeout=", "a"}, "--timeout needs whole seconds from 1"},
      {{"--batch", "--timeout=5s", "a"}, "--timeout needs whole seconds from 1"},
      {{"--batch", "--timeout=10000001", "a"}, "--timeout needs whole seconds from 1"},
      {{"--batch", "a", "--timeout"}, "--timeout needs whole seconds from 1"},
      {{"--batch", "-x", "--timeout=0", "a"}, "unknown option -x"},
      {{"--timeout=0", "--batch", "-x", "a"}, "--timeout needs whole seconds from 1"},
      {{"-x", "a", "--batch"}, "unknown option -x"},
      {{"--timeout=5", "a"}, "--timeout is for --batch runs"},
      {{"--timeout", "5", "a"}, "--timeout is for --batch runs"},
      {{"--batch"}, "--batch needs a script to run"},
      {{"--batch", "--timeout=5", "-d", "x"}, "--batch needs a script to run"},
      {{"--timestamps=never"}, "--timestamps takes abs, delta, iso or off"},
      {{"--timestamps="}, ""},  // empty: abs, as alone
      {{"--dtr", "up"}, "--dtr needs on or off"},
      {{"--rts"}, "--rts needs on or off"},
      {{"--timeoutx"}, ""},  // not the option: a name, and no batch run to reject it
      {{"-b"}, "--board needs a board's name"},
      {{"--board="}, "--board needs a board's name"},
      {{"-b", "lab7", "--config"}, "--config needs a file"},
      {{"--junit", "r.xml", "a.scr"}, "--junit is for --batch runs"},
      {{"--batch", "a.scr", "--junit"}, "--junit needs a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(parse_options(c.args).error, c.error);
  }
}

}  // namespace
}  // namespace dravel
