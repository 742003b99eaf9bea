// XMLSerializer: what XMLReader and XMLWriter share: the owned document, the cursor element and
// the file name, and the moves that do not depend on the direction.
#pragma once

#include <tinyxml2.h>

#include "objects/BaseSerializer.h"

namespace CorvaneEngine {

class XMLSerializer : public BaseSerializer {
public:
  XMLSerializer(int32_t mode, const SharedString& fileName);
  ~XMLSerializer() override = default;

  bool GoToFirstChild() override;
  bool GoToParent() override;
  const char* GetName() override;
  const char* GetFileName() override;

  tinyxml2::XMLElement* Cursor() const { return cursor; }

protected:
  // Writes the log line for an operation that finds no element under the cursor.
  bool ReportNoCursor(const char* operation);
  // The cursor's tag for messages ("" when there is none).
  const char* TagForMessage();

  tinyxml2::XMLDocument document;
  tinyxml2::XMLElement* cursor = nullptr;
  SharedString fileName;
};

}  // namespace CorvaneEngine
