#include "resources/NameHash.h"

#include "objects/SharedString.h"

namespace CorvaneEngine {

NameHash::NameHash(const SharedString& name) : value(Of(name.CStr(), name.Length())) {}

}  // namespace CorvaneEngine
