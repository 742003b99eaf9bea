#include "presentation/Renderable_GL.h"

#include <GL/glew.h>

#include <algorithm>
#include <ostream>
#include <type_traits>

#include "core/OutputStream.h"
#include "core/ReportError.h"
#include "objects/BaseSerializer.h"
#include "objects/GameObject.h"
#include "objects/SharedString.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/GraphicsSystem_GL.h"
#include "resources/Mesh_GL.h"
#include "resources/NameHash.h"
#include "resources/ResourceManager.h"
#include "resources/Texture_GL.h"

namespace CorvaneEngine {

namespace {

// Reads the resource named by the child element `element`, if there is one,
// into `field`. A name the resource manager does not know gives one error box
// and a null field.
template <typename T>
void ReadResource(BaseSerializer& serializer, const char* element, T*& field) {
  if (!serializer.GoToChild(element)) return;
  SharedString name;
  serializer.SerializeString(&name);
  NameHash id(name);
  ResourceManager* resources = ResourceManager::instance;
  if (resources == nullptr || resources->GetStatus(id) == ResourceStatus::Unknown) {
    if (std::is_same<T, Mesh_GL>::value) {
      REPORT_ERROR("The Mesh: \"%s\" has not been loaded by the ResourceManager", name.CStr());
    } else {
      REPORT_ERROR("The Texture: \"%s\" has not been loaded by the ResourceManager", name.CStr());
    }
  }
  field = resources != nullptr ? dynamic_cast<T*>(resources->Get(id)) : nullptr;
  serializer.GoToParent();
}

const char* OwnerName(const GameObject* owner) {
  return owner->name.CStr() != nullptr ? owner->name.CStr() : "";
}

}  // namespace

Renderable_GL::~Renderable_GL() {
  if (GraphicsSystem_GL::instance == nullptr) return;
  std::list<Renderable_GL*>& list = GraphicsSystem_GL::instance->renderables;
  auto found = std::find(list.begin(), list.end(), this);
  if (found != list.end()) list.erase(found);
}

GOComponent* Renderable_GL::Clone() {
  Renderable_GL* copy = new Renderable_GL();
  copy->owner = owner;
  copy->mesh = mesh;
  copy->diffuse = diffuse;
  copy->ambient = ambient;
  copy->specular = specular;
  copy->normal = normal;
  copy->alpha = alpha;
  return copy;
}

void Renderable_GL::Initialize() {
  if (GraphicsSystem_GL::instance != nullptr) {
    GraphicsSystem_GL::instance->renderables.push_back(this);
  }
}

void Renderable_GL::Serialize(BaseSerializer& serializer) {
  ReadResource(serializer, "Mesh", mesh);
  ReadResource(serializer, "Diffuse", diffuse);
  ReadResource(serializer, "Ambient", ambient);
  ReadResource(serializer, "Specular", specular);
  ReadResource(serializer, "Normal", normal);
  if (serializer.GoToChild("Alpha")) {
    serializer.SerializeBool(&alpha);
    serializer.GoToParent();
  }
}

void Renderable_GL::Shutdown() {
  if (GraphicsSystem_GL::instance == nullptr) return;
  std::list<Renderable_GL*>& list = GraphicsSystem_GL::instance->renderables;
  auto found = std::find(list.begin(), list.end(), this);
  if (found != list.end()) list.erase(found);
}

void Renderable_GL::Draw() {
  if (owner == nullptr) return;
  if (mesh == nullptr || diffuse == nullptr) {
    if (!reportedIncomplete) {
      reportedIncomplete = true;
      Log << "WARNING: Renderable of object " << OwnerName(owner) << " has no "
          << (mesh == nullptr ? "mesh" : "diffuse texture") << " and is not drawn" << std::endl;
    }
    return;
  }

  glPushMatrix();
  glTranslatef(owner->position[0], owner->position[1], owner->position[2]);
  glScalef(owner->scale[0], owner->scale[1], owner->scale[2]);
  // A zero axis means no rotation (glRotatef would normalise it to NaNs).
  const float* axis = owner->rotationAxis;
  if (axis[0] != 0.0f || axis[1] != 0.0f || axis[2] != 0.0f) {
    float degrees = static_cast<float>(owner->rotationAngle * 180.0 * 0.3183099);
    glRotatef(degrees, axis[0], axis[1], axis[2]);
  }

  BindTextureOnUnit(0, diffuse->glName);
  if (ambient != nullptr) BindTextureOnUnit(1, ambient->glName);
  if (specular != nullptr) BindTextureOnUnit(2, specular->glName);
  if (normal != nullptr) BindTextureOnUnit(3, normal->glName);

  mesh->Draw();
  glPopMatrix();
}

}  // namespace CorvaneEngine
