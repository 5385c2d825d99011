#include "platform/windows/com_port_name.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace dravel::platform {
namespace {

TEST(ComPortName, DefaultDeviceFollowsTheIoAddress) {
  EXPECT_EQ(default_device_name(0x3F8), "Com1");
  EXPECT_EQ(default_device_name(0x2F8), "Com2");
  EXPECT_EQ(default_device_name(0x3E8), "Com2");
}

TEST(ComPortName, PortsFromTenUpGoThroughTheDeviceNamespace) {
  EXPECT_EQ(com_device_path("COM10"), "\\\\.\\COM10");
  EXPECT_EQ(com_device_path("com255"), "\\\\.\\com255");
  EXPECT_EQ(com_device_path("Com12"), "\\\\.\\Com12");
}

TEST(ComPortName, OtherNamesAreTakenAsGiven) {
  EXPECT_EQ(com_device_path("Com1"), "Com1");
  EXPECT_EQ(com_device_path("COM9"), "COM9");
  EXPECT_EQ(com_device_path("COM09"), "COM09");
  EXPECT_EQ(com_device_path("\\\\.\\COM10"), "\\\\.\\COM10");
  EXPECT_EQ(com_device_path("COM"), "COM");
  EXPECT_EQ(com_device_path("COM1x"), "COM1x");
  EXPECT_EQ(com_device_path("COMPORT12"), "COMPORT12");
  EXPECT_EQ(com_device_path("\\\\.\\pipe\\board"), "\\\\.\\pipe\\board");
  EXPECT_EQ(com_device_path(""), "");
}

}  // namespace
}  // namespace dravel::platform
