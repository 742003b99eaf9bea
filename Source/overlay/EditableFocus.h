// EditableFocus: knows whether something of the page that takes typing has the keyboard focus
// (a text-like input, a textarea, contenteditable content), and while a game asks for it keeps
// the keys away from the game's keyboard for as long as it does.
//
// A script on every document reports each focus change through a private binding; a page that
// navigates starts without focus. The news comes from the browser's thread, so it may reach the
// game a frame after the focus moved.
//
// Owned by the BrowserClient; the Browser forwards to it. Threads: PageCreated and PageEvent on
// the browser's reader thread; HasFocus from any thread; KeepKeysFromGame and Update on the main
// thread.
#pragma once

#include <atomic>

#include "overlay/PageFeature.h"

namespace CorvaneEngine {

class EditableFocus : public PageFeature {
 public:
  ~EditableFocus() override;  // gives the keys back to the game
  void PageCreated(HeadlessView& view) override;
  void PageEvent(HeadlessView& view, const std::string& method,
                 const nlohmann::json& params) override;
  // Withholds the keyboard's keys from the game (BasicKeyboard::WithholdKeys) while the page
  // has such focus and `keep` is set.
  void Update(double seconds) override;

  bool HasFocus() const { return focused; }
  void KeepKeysFromGame(bool keep);

 private:
  std::atomic<bool> focused{false};
  bool keepKeys = false;     // main thread
  bool withholding = false;  // main thread: what the keyboard was last told
};

}  // namespace CorvaneEngine
