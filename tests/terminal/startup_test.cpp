#include <gtest/gtest.h>

#include "support/rig.h"
#include "terminal/config.h"

namespace dravel::test {
namespace {

// Ends every run at once: the first pass takes ESC from the keyboard.
struct StartupTest : ::testing::Test {
  Rig rig;
  int run(const std::vector<std::string>& args = {}) {
    rig.console.type("\x1b");
    return rig.run(args);
  }
};

TEST_F(StartupTest, DefaultsReportAddressIrqAndBaud) {
  run();
  EXPECT_NE(rig.console.screen.find(" I/O addr = 0x02F8, IRQ=3(vect=0x000B,8259=20)\n"),
            std::string::npos);
  EXPECT_NE(rig.console.screen.find(" BAUDRATE = 57600\n"), std::string::npos);
  EXPECT_EQ(rig.serial.opened_path, platform::default_device_name(0x2F8));
  EXPECT_EQ(rig.serial.opened_baud, 57600);
}

TEST_F(StartupTest, BannerColourIsTakenFromTheVersion) {
  EXPECT_EQ(banner_colour("1.53"), 36);
  run();
  EXPECT_EQ(
      rig.console.screen.rfind("\x1b[36;1mdravel -- Korvane debug system console program\n", 0),
      0u);
  EXPECT_NE(rig.console.screen.find("\x1b[7m F1 \x1b[0;36;1m  ----> display help\n"),
            std::string::npos);
}

TEST_F(StartupTest, EnvironmentAndOptionMergeFieldByField) {
  rig.env["KRVB7100"] = "3f8";
  run();
  EXPECT_NE(rig.console.screen.find("0x03F8, IRQ=3("), std::string::npos);
  EXPECT_NE(rig.console.screen.find("= 57600\n"), std::string::npos);
  EXPECT_EQ(rig.serial.opened_path, platform::default_device_name(0x3F8));

  Rig second;
  second.env["KRVB7100"] = "3f8,4,9600";
  second.console.type("\x1b");
  second.run({"-p2f8"});
  EXPECT_NE(second.console.screen.find("0x02F8, IRQ=4(vect=0x000C,8259=20)\n"), std::string::npos);
  EXPECT_NE(second.console.screen.find(" BAUDRATE = 9600\n"), std::string::npos);
}

TEST_F(StartupTest, IrqZeroPrintsNoIrqAndHighIrqUsesTheSecondController) {
  rig.env["KRVB7100"] = "3f8,0,19200";
  run();
  EXPECT_NE(rig.console.screen.find(" I/O addr = 0x03F8\n"), std::string::npos);
  Rig second;
  second.console.type("\x1b");
  second.run({"-p2f8,10"});
  EXPECT_NE(second.console.screen.find("IRQ=10(vect=0x0072,8259=a0)"), std::string::npos);
}

TEST_F(StartupTest, BaudOptionsApplyInOrderAndJunkChangesNothing) {
  rig.env["KRVB7100"] = "2f8,3,9600";
  run({"-B115200", "-Bfast"});
  EXPECT_NE(rig.console.screen.find(" BAUDRATE = 115200\n"), std::string::npos);
  EXPECT_EQ(rig.serial.opened_baud, 115200);
}

TEST_F(StartupTest, ZeroAddressOrBaudEndsWithStatusOne) {
  EXPECT_EQ(run({"-p0", "-B0"}), 1);
  EXPECT_NE(rig.console.screen.find("I/O address not define !\nabort !\n"
                                    "Please set KRVB7100 envelopment variable\n"),
            std::string::npos);
  EXPECT_EQ(rig.console.screen.find("BAUDRATE"), std::string::npos);
  EXPECT_TRUE(rig.serial.opened_path.empty());

  Rig second;
  EXPECT_EQ(second.run({"-B0"}), 1);
  EXPECT_NE(second.console.screen.find("BAUDRATE not define !\nabort !\n"), std::string::npos);
}

TEST_F(StartupTest, DeviceOptionWinsOverTheEnvironment) {
  rig.env["DRAVELPORT"] = "/dev/ttyUSB0";
  run({"-d", "/dev/pts/9"});
  EXPECT_EQ(rig.serial.opened_path, "/dev/pts/9");
  Rig second;
  second.env["DRAVELPORT"] = "/dev/ttyUSB0";
  second.console.type("\x1b");
  second.run();
  EXPECT_EQ(second.serial.opened_path, "/dev/ttyUSB0");
}

// Its directory is a value, not the script to run.
TEST_F(StartupTest, LoadDirOptionTakesItsValue) {
  TempDir d;
  run({"--load-dir", d.path()});
  EXPECT_EQ(rig.s().options.load_dir, d.path());
  EXPECT_TRUE(rig.s().options.scripts.empty());
}

TEST_F(StartupTest, OpenFailureNamesTheDeviceAndGoesOn) {
  rig.serial.fail_open = true;
  EXPECT_EQ(run(), 1);
  EXPECT_NE(rig.console.screen.find("cannot open " + platform::default_device_name(0x2F8) +
                                    ": No such file or directory\n"),
            std::string::npos);
  EXPECT_NE(rig.console.screen.find("\nTerminate by user!\n"), std::string::npos);
}

TEST_F(StartupTest, HelpAndVersionExitZeroWithoutTheBanner) {
  Rig r;
  EXPECT_EQ(r.run({"--version"}), 0);
  EXPECT_EQ(r.console.screen, "dravel 1.53\n");
  Rig h;
  EXPECT_EQ(h.run({"--help"}), 0);
  EXPECT_NE(h.console.screen.find("usage: dravel"), std::string::npos);
  EXPECT_NE(h.console.screen.find("DRAVELHIS"), std::string::npos);
}

TEST(StartupPortLine, FollowsTheBaudLineAndNamesWhatIsOpened) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, platform::default_device_name(0x2F8)},
      {{"-d", "rfc2217://lab-7:3001"}, "rfc2217://lab-7:3001"},
      {{"-dsocket://[::1]:7"}, "socket://[::1]:7"},
  };
  for (const auto& [args, name] : cases) {
    Rig rig;
    rig.console.type("\x1b");
    rig.run(args);
    EXPECT_NE(rig.console.screen.find(" BAUDRATE = 57600\n PORT = " + name + "\n\n"),
              std::string::npos)
        << rig.console.screen;
    EXPECT_EQ(rig.serial.opened_path, name);
  }
}

}  // namespace
}  // namespace dravel::test
