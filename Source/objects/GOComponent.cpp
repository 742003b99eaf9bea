#include "objects/GOComponent.h"

namespace CorvaneEngine {

GOComponent* GOComponent::Clone() {
  return new GOComponent(*this);
}

}  // namespace CorvaneEngine
