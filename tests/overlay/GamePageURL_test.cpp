// Only files below the working directory are the game's pages, however their URL spells the
// path: escapes, `..`, repeated slashes and symbolic links are resolved before the check.
#include "overlay/GamePageURL.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "TestSupport.h"

TEST(GamePageURL, OnlyFilesBelowTheWorkingDirectoryAreGamePages) {
  CorvaneTest::ScratchDir root("game page url");
  root.Write("game dir/caf\xC3\xA9.html", "");
  root.Write("game dir/sub/page.html", "");
  root.Write("outside/page.html", "");
  root.Write("game dirty/page.html", "");  // a sibling whose name starts like the folder's
  ASSERT_EQ(0, symlink("../outside", (root.Path() / "game dir/link").c_str()));
  CorvaneTest::ChangeDir inGame(root.Path() / "game dir");
  // The build tree's own part of the path stays unescaped: bytes without escapes are taken as-is.
  const std::string base = "file://" + root.Path().string();
  auto game = [&](const std::string& rest) { return base + "/game%20dir" + rest; };
  const std::pair<std::string, bool> cases[] = {
      // the URL, a game page
      {game("/caf%C3%A9.html"), true},
      {game("/sub/page.html?x=1#top"), true},
      {game("/sub/../caf%c3%a9.html"), true},
      {game("//sub/./page.html"), true},
      {"file://localhost" + root.Path().string() + "/game%20dir/sub/page.html", true},
      {game("/../outside/page.html"), false},
      {game("/sub/%2e%2e/%2e%2e/outside/page.html"), false},
      {game("/link/page.html"), false},
      {base + "/game%20dirty/page.html", false},
      {game("/missing.html"), false},
      {game("/caf%00.html"), false},
      {"file://otherhost" + root.Path().string() + "/game%20dir/sub/page.html", false},
      {"data:text/html,<p>x</p>", false},
      {"http://127.0.0.1/game%20dir/sub/page.html", false},
  };
  for (auto& [url, gamePage] : cases) EXPECT_EQ(gamePage, CorvaneEngine::IsGamePageURL(url)) << url;
}
