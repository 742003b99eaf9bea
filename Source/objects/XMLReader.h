// XMLReader: loads an XML file at construction and reads the caller's variables from it. The
// cursor starts on the root element; after a failed load it is empty and every operation
// reports and answers false.
#pragma once

#include "objects/XMLSerializer.h"

namespace CorvaneEngine {

class XMLReader : public XMLSerializer {
public:
  explicit XMLReader(const SharedString& fileName);

  bool GoToChild(const char* name) override;
  bool GoToNextSibling() override;
  bool SerializeInt(int32_t* value) override;
  bool SerializeFloat(float* value) override;
  bool SerializeDouble(double* value) override;
  bool SerializeString(SharedString* value) override;
  bool SerializeBool(bool* value) override;
  bool SerializeAttribute(const char* name, SharedString* value) override;

private:
  // The cursor's data: the text of its first child node, or null after the log line.
  const char* DataText();
};

}  // namespace CorvaneEngine
