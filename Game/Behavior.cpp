#include "Behavior.h"

#include "PageURL.h"
#include "objects/GameObject.h"
#include "presentation/BasicKeyboard.h"
#include "overlay/Browser.h"
#include "sound/BasicSoundSystem.h"

using namespace CorvaneEngine;

GOComponent* Behavior::Clone() {
  return new Behavior();
}

void Behavior::Update(double /*seconds*/) {
  if (owner == nullptr) return;
  float& x = owner->position[0];
  if (BasicKeyboard::instance != nullptr && BasicKeyboard::instance->IsDown(KeySpace)) x -= kStep;
  if (won || !(x < kWinLine)) return;
  // Once per component: later frames past the line keep moving but never win again.
  won = true;
  if (Browser::instance != nullptr) Browser::instance->LoadURL(PageURL("/winner.html").CStr());
  if (BasicSoundSystem::instance != nullptr) {
    BasicSoundSystem::instance->PlaySound("winsound.wav", false);
  }
}
