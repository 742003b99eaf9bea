#include "DefaultState.h"

#include "objects/GameObject.h"
#include "objects/ObjectFactory.h"
#include "objects/ObjectManager.h"

using namespace CorvaneEngine;

void DefaultState::Initialize() {
  int32_t id = ObjectFactory::instance->CreateObject("sprite");
  GameObject* sprite = ObjectManager::instance->GetObject(id);
  if (sprite == nullptr) return;
  sprite->scale[0] = 5.0f;
  sprite->scale[1] = 5.0f;
  sprite->scale[2] = 1.0f;
}
