// The private display the GUI suites rely on: it comes up, accepts clients and goes away.
#include <gtest/gtest.h>

#include <cstdlib>

#include "VirtualDisplay.h"

TEST(VirtualDisplay, StartsAPrivateServerAndPointsDisplayAtIt) {
  std::string name;
  {
    CorvaneTest::VirtualDisplay display(640, 480);
    ASSERT_TRUE(display.Ok());
    name = display.Name();
    EXPECT_EQ(name, std::getenv("DISPLAY"));
    std::string info = CorvaneTest::CommandOutput("xdpyinfo 2>/dev/null | grep dimensions");
    EXPECT_NE(info.find("640x480"), std::string::npos) << info;
  }
  EXPECT_NE(0, CorvaneTest::RunCommand("DISPLAY=" + name + " xdpyinfo >/dev/null 2>&1"));
}
