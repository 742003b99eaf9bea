// The game's rule: space moves the lantern 0.2 per frame, and passing x = -7 wins exactly once.
#include "../../Game/Behavior.h"

#include <gtest/gtest.h>

#include <memory>

#include "GameTestDoubles.h"
#include "objects/GameObject.h"

using CorvaneEngine::GameObject;

class BehaviorTest : public ::testing::Test {
 protected:
  BehaviorTest() {
    behavior->owner = &lantern;
    lantern.components.push_back(behavior);  // the object deletes it
  }
  // Runs frames as the object manager would, returning how many ran before the first win.
  int FramesUntilWin(int limit) {
    for (int frame = 1; frame <= limit; ++frame) {
      lantern.Update(0.016);
      if (behavior->HasWon()) return frame;
    }
    return -1;
  }

  HeldKeys keys;
  RecordingBrowser browser;
  RecordingSound sound;
  GameObject lantern;
  Behavior* behavior = new Behavior();
};

TEST_F(BehaviorTest, HoldingSpaceWinsInThe36thFrameAndOnlyOnce) {
  keys.spaceDown = true;
  EXPECT_EQ(36, FramesUntilWin(100));
  ASSERT_EQ(1u, browser.urls.size());
  EXPECT_EQ(0u, browser.urls[0].rfind("file:///", 0)) << browser.urls[0];
  EXPECT_EQ("/winner.html", browser.urls[0].substr(browser.urls[0].size() - 12));
  ASSERT_EQ(1u, sound.played.size());
  EXPECT_EQ("winsound.wav", sound.played[0].name);
  EXPECT_FALSE(sound.played[0].loop);

  // Held long after the win: the lantern keeps moving, nothing is loaded or played again.
  float x = lantern.position[0];
  for (int frame = 0; frame < 200; ++frame) lantern.Update(0.016);
  EXPECT_NEAR(x - 200 * 0.2f, lantern.position[0], 0.01f);
  EXPECT_EQ(1u, browser.urls.size());
  EXPECT_EQ(1u, sound.played.size());

  // A clone of the winner is a fresh component.
  std::unique_ptr<CorvaneEngine::GOComponent> copy(behavior->Clone());
  auto* fresh = dynamic_cast<Behavior*>(copy.get());
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(nullptr, fresh->owner);
  EXPECT_FALSE(fresh->HasWon());
}

TEST_F(BehaviorTest, MovesOnlyWhileSpaceIsHeldAndWinsOnlyPastTheLine) {
  EXPECT_EQ(-1, FramesUntilWin(10));
  EXPECT_EQ(0.0f, lantern.position[0]);
  keys.spaceDown = true;
  EXPECT_EQ(-1, FramesUntilWin(35));  // just above -7 after 35 steps
  EXPECT_NEAR(-6.995f, lantern.position[0], 0.005f);
  keys.spaceDown = false;
  lantern.position[0] = -7.0f;  // the line itself does not win
  EXPECT_EQ(-1, FramesUntilWin(5));
  EXPECT_TRUE(browser.urls.empty() && sound.played.empty());
  lantern.position[0] = -7.5f;  // placed past it without any key: the next frame wins
  EXPECT_EQ(1, FramesUntilWin(1));
}
