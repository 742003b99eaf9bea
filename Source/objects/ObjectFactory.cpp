#include "objects/ObjectFactory.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/OutputStream.h"
#include "objects/GOComponent.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"
#include "objects/ObjectType.h"
#include "objects/XMLReader.h"

namespace CorvaneEngine {

ObjectFactory* ObjectFactory::instance = nullptr;

namespace {

// The part of a listed path after its last slash (backslashes count as slashes), or all of it.
SharedString FileNameOf(const std::filesystem::path& path) {
  SharedString text(path.string().c_str());
  text.Replace('\\', '/');
  int32_t slash = text.FindLast('/');
  return slash < 0 ? text : text.Tail(slash + 1);
}

}  // namespace

ObjectFactory::ObjectFactory() {
  instance = this;
}

ObjectFactory::~ObjectFactory() {
  if (instance == this) instance = nullptr;
  componentTypes.ForEach(
      [](StringHashMap::Entry& entry) { delete static_cast<GOComponent*>(entry.value); });
  objectTypes.ForEach(
      [](StringHashMap::Entry& entry) { delete static_cast<ObjectType*>(entry.value); });
  componentTypes.Clear();
  objectTypes.Clear();
}

void ObjectFactory::RegisterComponentType(const SharedString& name, GOComponent* prototype) {
  if (componentTypes.Find(name) != nullptr) {
    // The first prototype stays; the factory owns this one too, so it must not leak.
    delete prototype;
    return;
  }
  componentTypes.Insert(name, prototype);
}

void ObjectFactory::LoadObjectTypes(const SharedString& directory) {
  SharedString prefix = directory;
  if (prefix.Length() == 0 || prefix.CStr()[prefix.Length() - 1] != '/') prefix.Append("/");

  // A missing or unreadable folder leaves the game without object types but running.
  std::error_code error;
  // Most often the game was started in another folder than its own: say so where it is seen.
  if (!std::filesystem::exists(directory.CStr(), error)) {
    std::string here = std::filesystem::current_path(error).string();
    std::fprintf(stderr,
                 "%s: no such folder in %s, so the game has no object types; start the game in "
                 "the folder that holds its GameObjects, art, textures and sound\n",
                 directory.CStr(), here.c_str());
    std::fflush(stderr);
  }
  std::filesystem::directory_iterator entries(directory.CStr(), error);
  if (error) {
    Log << "ERROR: Could not list the object type folder " << directory.CStr() << ": "
        << error.message() << std::endl;
    return;
  }
  for (std::filesystem::directory_iterator end; entries != end; entries.increment(error)) {
    SharedString path = prefix + FileNameOf(entries->path());
    std::error_code statusError;
    if (entries->is_directory(statusError)) {
      Log << "WARNING: " << path.CStr() << " is a folder, not an object file." << std::endl;
      continue;
    }
    LoadObjectTypeFile(path);
  }
  if (error) {
    Log << "ERROR: Could not finish listing the object type folder " << directory.CStr() << ": "
        << error.message() << std::endl;
  }
}

void ObjectFactory::LoadObjectTypeFile(const SharedString& path) {
  XMLReader reader(path);
  // A file that cannot be opened or parsed has been reported by the reader; reading it further
  // would only register an empty type that could take the name of a real one.
  if (reader.Cursor() == nullptr) return;
  ReportElementsBeforeName(reader);
  ObjectType* type = new ObjectType();
  ReadObjectType(*type, reader);
  if (objectTypes.Find(type->name) != nullptr) {
    Log << "ERROR: Object of type " << type->name.CStr() << " already exists." << std::endl;
    delete type;
    return;
  }
  objectTypes.Insert(type->name, type);
}

void ObjectFactory::ReportElementsBeforeName(XMLReader& reader) {
  const tinyxml2::XMLElement* name = reader.Cursor()->FirstChildElement("Name");
  if (name == nullptr) return;  // a file without "Name" has its own warning
  for (const tinyxml2::XMLElement* element = reader.Cursor()->FirstChildElement(); element != name;
       element = element->NextSiblingElement()) {
    if (std::strcmp(element->Name(), "Scale") == 0) continue;
    std::fprintf(stderr,
                 "%s: the element \"%s\" comes before \"Name\" and is not read; component "
                 "elements must follow \"Name\"\n",
                 reader.GetFileName(), element->Name());
    std::fflush(stderr);
  }
}

void ObjectFactory::ReadObjectType(ObjectType& type, BaseSerializer& serializer) {
  if (serializer.GoToChild("Scale")) {
    SerializeVector3(serializer, type.scale);
    serializer.GoToParent();
  }
  if (serializer.GoToChild("Name")) {
    serializer.SerializeString(&type.name);
  } else {
    const char* file = serializer.GetFileName();
    Log << "WARNING: " << (file ? file : "") << " object does not contain a \"Name\"" << std::endl;
  }
  // Only the elements after "Name" are components; a later "Scale" is skipped silently.
  while (serializer.GoToNextSibling()) {
    const char* tagText = serializer.GetName();
    SharedString tag(tagText);
    if (StringHashMap::Entry* entry = componentTypes.Find(tag)) {
      GOComponent* component = static_cast<GOComponent*>(entry->value)->Clone();
      component->Serialize(serializer);
      type.components.push_back(component);
    } else if (tag != "Scale") {
      Log << "ERROR: " << tag.CStr() << " is not a registered component type in ObjectFactory."
          << std::endl;
    }
  }
  serializer.GoToParent();
}

int32_t ObjectFactory::CreateObject(const char* typeName) {
  StringHashMap::Entry* entry = objectTypes.Find(SharedString(typeName));
  if (entry == nullptr) {
    Log << "ERROR: There is no object of type " << (typeName ? typeName : "") << "." << std::endl;
    return -1;
  }
  return Instantiate(*static_cast<ObjectType*>(entry->value), new GameObject());
}

int32_t ObjectFactory::InitializeFromType(GameObject* object, const char* typeName) {
  StringHashMap::Entry* entry = objectTypes.Find(SharedString(typeName));
  if (entry == nullptr) {
    Log << "ERROR: There is no object of type " << (typeName ? typeName : "") << "." << std::endl;
    return -1;
  }
  return Instantiate(*static_cast<ObjectType*>(entry->value), object);
}

int32_t ObjectFactory::Instantiate(ObjectType& type, GameObject* object) {
  for (GOComponent* prototype : type.components) {
    GOComponent* component = prototype->Clone();
    component->owner = object;
    object->components.push_back(component);
  }
  object->name = type.name;
  for (int axis = 0; axis < 3; ++axis) object->scale[axis] = type.scale[axis];
  return ObjectManager::AddObject(object);
}

GOComponent* ObjectFactory::FindComponentType(const SharedString& name) const {
  StringHashMap::Entry* entry = componentTypes.Find(name);
  return entry ? static_cast<GOComponent*>(entry->value) : nullptr;
}

ObjectType* ObjectFactory::FindObjectType(const SharedString& name) const {
  StringHashMap::Entry* entry = objectTypes.Find(name);
  return entry ? static_cast<ObjectType*>(entry->value) : nullptr;
}

}  // namespace CorvaneEngine
