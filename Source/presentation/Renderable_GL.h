// Renderable_GL: the component that gives an object something to draw, a mesh and up to four
// textures taken from the resource manager by name when the object file is read. From its
// object's Initialize to its Shutdown it is registered with the graphics system, which calls
// Draw every frame at the owner's transform. The resources belong to the resource manager.
//
// Threads: main thread only.
#pragma once

#include "objects/GOComponent.h"

namespace CorvaneEngine {

class Mesh_GL;
class Texture_GL;

class Renderable_GL : public GOComponent {
 public:
  Renderable_GL() = default;
  // Leaves the graphics system's list if it is still registered (an object deleted without
  // Shutdown while the graphics system lives on).
  ~Renderable_GL() override;

  GOComponent* Clone() override;
  // Registers with the graphics system (appended: drawn after every earlier renderable).
  void Initialize() override;
  // Reads "Mesh", "Diffuse", "Ambient", "Specular", "Normal" and "Alpha"; every one is optional.
  void Serialize(BaseSerializer& serializer) override;
  // Unregisters from the graphics system.
  void Shutdown() override;

  // Draws the mesh at the owner's transform with the textures bound on units 0 to 3. A
  // renderable without an owner, a mesh or a diffuse texture draws nothing (the last two say so
  // once in the log).
  void Draw();

  Mesh_GL* mesh = nullptr;         // not owned
  Texture_GL* diffuse = nullptr;   // unit 0
  Texture_GL* ambient = nullptr;   // unit 1 when set
  Texture_GL* specular = nullptr;  // unit 2 when set
  Texture_GL* normal = nullptr;    // unit 3 when set
  bool alpha = false;              // read and copied; drawing does not consult it

 private:
  bool reportedIncomplete = false;
};

}  // namespace CorvaneEngine
