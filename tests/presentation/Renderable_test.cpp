// Renderables and cameras built from object files, drawn by the real graphics system: where a
// quad appears for its position, scale and rotation; the default view and a camera's view; the
// drawing order; what a renderable with missing resources does; and the texture units it binds.
#include "GraphicsTestSupport.h"
#include "resources/Texture_GL.h"

using namespace CorvaneEngine;
using namespace CorvaneTest;

namespace {
using RenderableTest = SceneTest;
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

  // Half a turn about y shows the quad's back, which is culled.
  turned->rotationAxis[1] = 1;
  turned->rotationAngle = static_cast<float>(M_PI);
  EXPECT_PRED2(Close, DrawFrame().At(PixelX(2), PixelY(1)), kBlue);
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
  EXPECT_PRED2(Close, near.At(PixelX(2 * (-0.5 - 1)), PixelY(2 * 0.8)), kRed);
  EXPECT_PRED2(Close, near.At(PixelX(2 * (0.5 - 1)), PixelY(2 * -0.8)), kGreen);
  EXPECT_PRED2(Close, near.At(PixelX(2 * (1.2 - 1)), PixelY(0)), kBlue);

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
  EXPECT_NE(std::string::npos, reports.Reports()[0].find("The Mesh: \"nothing.obj\" has not "
                                                         "been loaded by the ResourceManager"));
  EXPECT_NE(std::string::npos, reports.Reports()[1].find("The Texture: \"nowhere.png\" has not "
                                                         "been loaded by the ResourceManager"));

  Create("lost");
  Create("bare");
  DrawFrame();
  EXPECT_PRED2(Close, DrawFrame().At(80, 60), kBlue);
  std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(2, std::count_if(lines.begin(), lines.end(),
                             [](const std::string& line) {
                               return line.find("not drawn") != std::string::npos;
                             }))
      << log.Text();
}

TEST_F(RenderableTest, EachBindLandsOnItsUnitAndTheLastUnitUsedStaysActive) {
  WriteType("two", "red.png");
  WriteType("one", "green.png");
  LoadTypes();
  auto renderableOf = [](GameObject* object) {
    return static_cast<Renderable_GL*>(object->components[0]);
  };
  auto active = [] {
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    return unit - GL_TEXTURE0;
  };
  auto boundOn = [](int unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    activeTextureUnit = -1;  // the probe went around the engine's record
    return static_cast<uint32_t>(name);
  };
  Renderable_GL* two = renderableOf(Create("two"));
  Renderable_GL* one = renderableOf(Create("one"));
  two->ambient = one->diffuse;  // green on unit 1, red on unit 0

  DrawFrame();
  two->Draw();
  EXPECT_EQ(1, active());
  one->Draw();  // green goes to unit 0 although unit 1 holds it already
  EXPECT_EQ(0, active());
  EXPECT_EQ(one->diffuse->glName, boundOn(0));
  EXPECT_EQ(one->diffuse->glName, boundOn(1));

  // With every bind skipped the unit of the last texture still becomes active.
  two->ambient = one->diffuse = two->diffuse;
  two->Draw();
  one->Draw();
  EXPECT_EQ(0, active());
  EXPECT_EQ(two->diffuse->glName, boundOn(0));
  two->Draw();
  EXPECT_EQ(1, active());
}
