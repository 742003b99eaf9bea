#include "objects/BaseSerializer.h"

namespace CorvaneEngine {

void SerializeVector3(BaseSerializer& serializer, float (&vector)[3]) {
  static const char* const kAxes[3] = {"X", "Y", "Z"};
  for (int axis = 0; axis < 3; ++axis) {
    if (serializer.GoToChild(kAxes[axis])) {
      serializer.SerializeFloat(&vector[axis]);
      serializer.GoToParent();
    }
  }
}

}  // namespace CorvaneEngine
