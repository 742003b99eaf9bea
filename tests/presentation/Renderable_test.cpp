// Renderables and cameras built from object files, drawn by the real graphics system on a real
// GL window: where a quad appears for its position, scale and rotation; the default view and a
// camera's view; the drawing order; and what a renderable with missing resources does.
#include <cmath>

#include "GraphicsTestSupport.h"
#include "objects/GameObject.h"
#include "objects/ObjectFactory.h"
#include "objects/ObjectManager.h"
#include "presentation/Camera.h"
#include "presentation/GraphicsGlobals.h"
#include "presentation/Renderable_GL.h"
#include "resources/MeshLoader_GL.h"
#include "resources/ResourceManager.h"
#include "resources/Texture_GL.h"
#include "resources/TextureLoader_GL.h"

using namespace CorvaneEngine;
using CorvaneTest::Close;
using CorvaneTest::Frame;
using CorvaneTest::Rgb;

namespace {

const Rgb kBlue{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};

// A 2 x 2 quad in the z = 0 plane facing +z: u runs left to right.
const char* kQuadObj =
    "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 1\n"
    "f 1/1/1 2/2/1 3/3/1 4/4/1\n";

// One pixel of world length at distance 10 in the 160 x 120 window with a 45-degree view:
// 1 / (10 tan 22.5) * 60 pixels vertically, and the same horizontally (the aspect is kept).
const double kPixelsPerUnitAt10 = 60.0 / (10.0 * std::tan(22.5 * M_PI / 180.0));

class RenderableTest : public CorvaneTest::GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    if (HasFatalFailure()) return;
    objects = new ObjectManager();
    engine->AddSystem(objects);
    ResourceManager::instance->RegisterMaker(new TextureLoader_GL(), NameHash("Texture"));
    ResourceManager::instance->RegisterMaker(new MeshLoader_GL(hasVertexBufferObjects),
                                             NameHash("Mesh"));
    ObjectFactory::instance->RegisterComponentType(SharedString("Renderable"), new Renderable_GL());
    ObjectFactory::instance->RegisterComponentType(SharedString("Camera"), new Camera());

    scratch.Write("art/quad.obj", kQuadObj);
    std::filesystem::create_directories(scratch.Path() / "textures");
    // Left half red, right half green; a half-transparent green.
    ASSERT_EQ(0, CorvaneTest::RunCommand(
                     "cd textures && convert -size 8x8 xc:red -fill lime -draw "
                     "'rectangle 4,0 7,7' PNG32:halves.png && convert -size 8x8 xc:red "
                     "PNG32:red.png && convert -size 8x8 'xc:rgba(0,255,0,0.5)' "
                     "PNG32:glass.png"));
    ASSERT_EQ(0, ResourceManager::instance->AddDirectory(SharedString("./art"), NameHash("Mesh")));
    ASSERT_EQ(0, ResourceManager::instance->AddDirectory(SharedString("./textures"),
                                                         NameHash("Texture")));
  }

  // An object file: the named mesh and diffuse texture, optional scale and extra components.
  void WriteType(const std::string& name, const std::string& diffuse, const std::string& scale = "",
                 const std::string& extra = "", const std::string& mesh = "quad.obj") {
    std::string renderable = "<Renderable>";
    if (!mesh.empty()) renderable += "<Mesh>" + mesh + "</Mesh>";
    if (!diffuse.empty()) renderable += "<Diffuse>" + diffuse + "</Diffuse>";
    renderable += "</Renderable>";
    scratch.Write("GameObjects/" + name + ".xml", "<Object>" + scale + "<Name>" + name + "</Name>" +
                                                      renderable + extra + "</Object>");
  }

  void LoadTypes() { ObjectFactory::instance->LoadObjectTypes(SharedString("./GameObjects")); }

  GameObject* Create(const char* type, float x = 0, float y = 0, float z = 0) {
    int32_t id = ObjectFactory::instance->CreateObject(type);
    GameObject* object = objects->GetObject(id);
    if (object != nullptr) {
      object->position[0] = x;
      object->position[1] = y;
      object->position[2] = z;
    }
    return object;
  }

  // The window pixel of a world point in the z = 0 plane seen by the default view.
  static int PixelX(double x) { return static_cast<int>(std::lround(80 + x * kPixelsPerUnitAt10)); }
  static int PixelY(double y) { return static_cast<int>(std::lround(60 - y * kPixelsPerUnitAt10)); }

  ObjectManager* objects = nullptr;
};

}  // namespace

TEST_F(RenderableTest, AQuadAppearsWhereItsPositionScaleAndRotationPutIt) {
  WriteType("plain", "halves.png");
  WriteType("turned", "halves.png", "<Scale><X>1.5</X></Scale>");
  LoadTypes();
  GameObject* plain = Create("plain");
  ASSERT_NE(nullptr, plain);

  // The default view: from (0, 0, 10) toward -z, +y up, so the quad sits in the middle.
  const Frame& front = DrawFrame();
  EXPECT_PRED2(Close, front.At(PixelX(-0.5), PixelY(0)), kRed);
  EXPECT_PRED2(Close, front.At(PixelX(0.5), PixelY(0)), kGreen);
  EXPECT_PRED2(Close, front.At(PixelX(0), PixelY(1.3)), kBlue);
  EXPECT_PRED2(Close, front.At(PixelX(1.3), PixelY(0)), kBlue);

  // Translated by (2, 1), scaled by 1.5 along x, rotated a quarter turn about z: rotation comes
  // first, so the red half points down and the quad is 3 wide and 2 high.
  plain->position[0] = -100;  // out of sight
  GameObject* turned = Create("turned", 2, 1, 0);
  ASSERT_NE(nullptr, turned);
  turned->rotationAxis[2] = 1;
  turned->rotationAngle = static_cast<float>(M_PI / 2);
  const Frame& moved = DrawFrame();
  EXPECT_PRED2(Close, moved.At(PixelX(2), PixelY(1 - 0.5)), kRed);
  EXPECT_PRED2(Close, moved.At(PixelX(2), PixelY(1 + 0.5)), kGreen);
  EXPECT_PRED2(Close, moved.At(PixelX(2 + 1.3), PixelY(1 + 0.5)), kGreen);
  EXPECT_PRED2(Close, moved.At(PixelX(2), PixelY(1 + 1.3)), kBlue);
  EXPECT_PRED2(Close, moved.At(PixelX(0), PixelY(0)), kBlue);

  // The default axis (0, 0, 0) means no rotation at all, whatever the angle.
  turned->rotationAxis[2] = 0;
  const Frame& unturned = DrawFrame();
  EXPECT_PRED2(Close, unturned.At(PixelX(2 - 0.75), PixelY(1)), kRed);
  EXPECT_PRED2(Close, unturned.At(PixelX(2 + 0.75), PixelY(1)), kGreen);
}

TEST_F(RenderableTest, TheLatestCameraWithAnOwnerGivesTheView) {
  WriteType("plain", "halves.png");
  WriteType("eye", "", "", "<Camera/>", "");  // a camera object without anything to draw
  LoadTypes();
  Create("plain");
  // Reading "eye" cloned its camera into the type: active, but without an owner, so the view
  // stays the default one.
  ASSERT_NE(nullptr, graphics->camera);
  EXPECT_EQ(nullptr, graphics->camera->owner);
  EXPECT_PRED2(Close, DrawFrame().At(PixelX(0.5), PixelY(0)), kGreen);

  // A camera at (1, 0, 5): the quad is twice as large and 1 unit to the left of the view.
  GameObject* eye = Create("eye", 1, 0, 5);
  ASSERT_NE(nullptr, eye);
  ASSERT_EQ(eye, graphics->camera->owner);
  const Frame& near = DrawFrame();
  auto x = [](double worldX) {
    return static_cast<int>(std::lround(80 + (worldX - 1) * 2 * kPixelsPerUnitAt10));
  };
  auto y = [](double worldY) {
    return static_cast<int>(std::lround(60 - worldY * 2 * kPixelsPerUnitAt10));
  };
  EXPECT_PRED2(Close, near.At(x(-0.5), y(0.8)), kRed);
  EXPECT_PRED2(Close, near.At(x(0.5), y(-0.8)), kGreen);
  EXPECT_PRED2(Close, near.At(x(1.2), y(0)), kBlue);

  // Looking down +x from there shows nothing; shutting the camera down restores the default.
  Camera* camera = graphics->camera;
  camera->direction[0] = 1;
  camera->direction[2] = 0;
  EXPECT_PRED2(Close, DrawFrame().At(80, 60), kBlue);
  camera->Shutdown();
  EXPECT_EQ(nullptr, graphics->camera);
  EXPECT_PRED2(Close, DrawFrame().At(PixelX(0.5), PixelY(0)), kGreen);
}

// A half-transparent green quad in front of an opaque red one: drawn after it, it blends over
// the red; drawn first, the red fails the depth test behind it and blue shows through instead.
TEST_F(RenderableTest, RenderablesDrawInRegistrationOrder) {
  WriteType("back", "red.png");
  WriteType("glass", "glass.png");
  LoadTypes();
  GameObject* back = Create("back");
  Create("glass", 0, 0, 0.5f);
  Rgb glassOverRed = DrawFrame().At(80, 60);
  EXPECT_PRED2(Close, glassOverRed, (Rgb{127, 128, 0}));

  // Shutting the back quad down unregisters it and keeps the glass.
  ASSERT_EQ(2u, graphics->renderables.size());
  static_cast<Renderable_GL*>(back->components[0])->Shutdown();
  EXPECT_EQ(1u, graphics->renderables.size());
  EXPECT_PRED2(Close, DrawFrame().At(80, 60), (Rgb{0, 128, 127}));

  // Registered again it comes last: behind the glass it no longer shows.
  back->components[0]->Initialize();
  EXPECT_PRED2(Close, DrawFrame().At(80, 60), (Rgb{0, 128, 127}));
}

TEST_F(RenderableTest, MissingResourcesAreReportedOnceAndNotDrawn) {
  CorvaneTest::CapturedErrorReports reports;
  CorvaneTest::CapturedLog log;
  WriteType("lost", "nowhere.png", "", "", "nothing.obj");
  WriteType("bare", "", "", "", "quad.obj");
  LoadTypes();
  ASSERT_EQ(2u, reports.Reports().size());
  EXPECT_NE(std::string::npos,
            reports.Reports()[0].find(
                "The Mesh: \"nothing.obj\" has not been loaded by the ResourceManager"));
  EXPECT_NE(std::string::npos,
            reports.Reports()[1].find(
                "The Texture: \"nowhere.png\" has not been loaded by the ResourceManager"));

  Create("lost");
  Create("bare");
  DrawFrame();
  const Frame& frame = DrawFrame();
  EXPECT_PRED2(Close, frame.At(80, 60), kBlue);
  int warnings = 0;
  for (const std::string& line : log.Lines()) {
    if (line.find("not drawn") != std::string::npos) ++warnings;
  }
  EXPECT_EQ(2, warnings) << log.Text();
}

TEST_F(RenderableTest, OptionalTexturesBindOnTheirOwnUnitsAndAlphaIsCopied) {
  scratch.Write("GameObjects/layered.xml",
                "<Object><Name>layered</Name><Renderable><Mesh>quad.obj</Mesh>"
                "<Diffuse>red.png</Diffuse><Specular>glass.png</Specular><Alpha>True</Alpha>"
                "</Renderable></Object>");
  LoadTypes();
  GameObject* object = Create("layered");
  ASSERT_NE(nullptr, object);
  auto* renderable = static_cast<Renderable_GL*>(object->components[0]);
  EXPECT_TRUE(renderable->alpha);
  EXPECT_EQ(nullptr, renderable->ambient);
  ASSERT_NE(nullptr, renderable->specular);

  // Only unit 0 textures: the specular map on unit 2 does not tint the red quad.
  EXPECT_PRED2(Close, DrawFrame().At(80, 60), kRed);
  EXPECT_EQ(static_cast<int32_t>(renderable->specular->glName), boundTextures[2]);
  EXPECT_EQ(-1, boundTextures[1]);
  EXPECT_EQ(-1, boundTextures[3]);
}
