// Renderables and cameras built from object files, drawn by the real graphics system: where a
// quad appears for its position, scale and rotation, and that its back is culled; the default view
// and a camera's view; the drawing order; what a renderable with missing resources does.
#include "GraphicsTestSupport.h"

using namespace CorvaneTest;

using RenderableTest = SceneTest;

// The colours at world points of the z = 0 plane, in the default view: one world unit at
// distance 10 is 60 / (10 tan 22.5) pixels either way.
static void ExpectAt(const Frame& frame,
                     std::initializer_list<std::tuple<double, double, Rgb>> points) {
  for (const auto& [x, y, colour] : points)
    EXPECT_PRED2(Close, frame.At(std::lround(80 + x * 14.4853), std::lround(60 - y * 14.4853)),
                 colour)
        << x << ", " << y;
}

TEST_F(RenderableTest,
       QuadsAppearWherePlacedTheirBacksAreCulledAndTheLatestOwnedCameraGivesTheView) {
  WriteType("plain", "halves.png");
  WriteType("turned", "halves.png", "<Scale><X>1.5</X></Scale>");
  WriteType("eye", "", "", "<Camera/>", "");  // a camera object without anything to draw
  LoadTypes();
  GameObject* plain = Create("plain");
  ASSERT_NE(nullptr, plain);
  // Reading "eye" cloned its camera into the type: active, but without an owner, so the view
  // stays the default one: from (0, 0, 10) toward -z, +y up, so the quad sits in the middle.
  ASSERT_NE(nullptr, graphics->camera);
  ExpectAt(DrawFrame(), {{-0.5, 0, kRed}, {0.5, 0, kGreen}, {0, 1.3, kBlue}, {1.3, 0, kBlue}});

  // Translated by (2, 1), scaled by 1.5 along x, rotated a quarter turn about z: rotation comes
  // first, so the red half points down and the quad is 3 wide and 2 high.
  plain->position[0] = -100;  // out of sight
  GameObject* turned = Create("turned", 2, 1, 0);
  ASSERT_NE(nullptr, turned);
  turned->rotationAxis[2] = 1;
  turned->rotationAngle = static_cast<float>(M_PI / 2);
  ExpectAt(DrawFrame(),
           {{2, 0.5, kRed}, {2, 1.5, kGreen}, {3.3, 1.5, kGreen}, {2, 2.3, kBlue}, {0, 0, kBlue}});
  // The default axis (0, 0, 0) means no rotation at all, whatever the angle.
  turned->rotationAxis[2] = 0;
  ExpectAt(DrawFrame(), {{1.25, 1, kRed}, {2.75, 1, kGreen}});
  // Half a turn about y shows the quad's back, which is culled.
  turned->rotationAxis[1] = 1;
  turned->rotationAngle = static_cast<float>(M_PI);
  ExpectAt(DrawFrame(), {{2, 1, kBlue}});

  // A camera at (1, 0, 5): the plain quad is twice as large and 1 unit to the left of the view.
  turned->position[0] = 100, plain->position[0] = 0;
  GameObject* eye = Create("eye", 1, 0, 5);
  ASSERT_EQ(eye, graphics->camera->owner);
  ExpectAt(DrawFrame(), {{-3, 1.6, kRed}, {-1, -1.6, kGreen}, {0.4, 0, kBlue}});

  // Looking down +x from there shows nothing; shutting the camera down restores the default.
  graphics->camera->direction[0] = 1, graphics->camera->direction[2] = 0;
  ExpectAt(DrawFrame(), {{0, 0, kBlue}});
  graphics->camera->Shutdown();
  ExpectAt(DrawFrame(), {{0.5, 0, kGreen}});
}

// A half-transparent green quad in front of an opaque red one: drawn after it, it blends over
// the red; drawn first, the red fails the depth test behind it and blue shows through instead.
TEST_F(RenderableTest, RenderablesDrawInRegistrationOrder) {
  WriteType("back", "red.png");
  WriteType("glass", "glass.png");
  LoadTypes();
  GameObject* back = Create("back");
  Create("glass", 0, 0, 0.5f);
  ExpectAt(DrawFrame(), {{0, 0, Rgb{127, 128, 0}}});
  // Shutting the back quad down unregisters it and keeps the glass; registered again it comes
  // last: behind the glass it no longer shows.
  back->components[0]->Shutdown();
  ExpectAt(DrawFrame(), {{0, 0, Rgb{0, 128, 127}}});
  back->components[0]->Initialize();
  EXPECT_EQ(2u, graphics->renderables.size());
  ExpectAt(DrawFrame(), {{0, 0, Rgb{0, 128, 127}}});
}

TEST_F(RenderableTest, MissingResourcesAreReportedOnceAndNotDrawn) {
  CapturedErrorReports reports;
  WriteType("lost", "nowhere.png", "", "", "nothing.obj");
  WriteType("bare", "", "", "", "quad.obj");
  LoadTypes();
  std::string reported;  // each report without its source line
  for (const std::string& report : reports.Reports()) reported += report.substr(report.find('\n'));
  EXPECT_EQ(
      "\nThe Mesh: \"nothing.obj\" has not been loaded by the ResourceManager"
      "\nThe Texture: \"nowhere.png\" has not been loaded by the ResourceManager",
      reported);
  CapturedLog log;
  Create("lost"), Create("bare"), DrawFrame();  // warned at the first frame only
  ExpectAt(DrawFrame(), {{0, 0, kBlue}});
  EXPECT_EQ((std::vector<std::string>{
                "WARNING: Renderable of object lost has no mesh and is not drawn",
                "WARNING: Renderable of object bare has no diffuse texture and is not drawn"}),
            log.Lines());
}
