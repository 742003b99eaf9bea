// Fuzzes the XML reader through the configuration: any bytes as config.xml are walked with every
// typed read of XMLReader, the way object files are read, down to an empty cursor; then loaded by
// ConfigData, saved and loaded again (the declared values must survive, bit for bit).
#include <cstdlib>
#include <tuple>

#include "FuzzInputFile.h"
#include "core/ConfigData.h"
#include "objects/XMLReader.h"

using namespace CorvaneEngine;

// Declares two settings as the systems do and gives their values, bit for bit.
static std::string Declare(ConfigData& config) {
  config.SetDefault("Window", "Width", 640);
  config.SetDefault("Sound", "BufferedVolume", 1.0f);
  const float volume = config.Get<float>("Sound", "BufferedVolume");
  return std::to_string(config.Get<int>("Window", "Width")) +
         std::string(reinterpret_cast<const char*>(&volume), 4);
}

// Every typed read on the cursor's element, then the same for each element below it.
static void ReadEverything(XMLReader& reader) {
  auto [i, f, d, b, s] = std::tuple<int32_t, float, double, bool, SharedString>();
  reader.SerializeInt(&i), reader.SerializeFloat(&f), reader.SerializeDouble(&d);
  reader.SerializeBool(&b), reader.SerializeString(&s), reader.SerializeAttribute("name", &s);
  reader.GetName();
  if (reader.GoToChild("Name")) reader.GoToParent();
  if (!reader.GoToFirstChild()) return;
  do ReadEverything(reader);
  while (reader.GoToNextSibling());
  reader.GoToParent();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = FuzzInputFile(data, size, "config.xml");
  XMLReader reader{SharedString(path)};
  ReadEverything(reader);
  reader.GoToParent();  // from the root: the cursor is empty now, and must stay harmless
  ReadEverything(reader);
  ConfigData config(path);
  const std::string first = Declare(config);
  config.Save();
  ConfigData again(path);
  if (Declare(again) != first) std::abort();
  return 0;
}
