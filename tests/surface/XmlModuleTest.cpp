#include "surface/XmlModule.h"

#include "platform/core/Debug.h"

#include <gtest/gtest.h>

namespace {

class XmlModule : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(XmlInitialize(), 1); }
    void TearDown() override { XmlUninitialize(); }
};

const std::string kFirst = "<Tamsiro_Device><controls/></Tamsiro_Device>";
const std::string kSecond = "<Other/>";

}  // namespace

TEST_F(XmlModule, LoadsOncePerKeyFindsAndRemoves)
{
    EXPECT_EQ(XmlLoad(kFirst, "LensControls"), XmlLoadResult::Loaded);
    const CDerivedXmlElement* root = XmlFind("LensControls");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), "Tamsiro_Device");

    // A second load under the key keeps the first document and parses nothing.
    EXPECT_EQ(XmlLoad(kSecond, "LensControls"), XmlLoadResult::AlreadyLoaded);
    EXPECT_EQ(XmlFind("LensControls"), root);
    EXPECT_TRUE(XmlLastError().ok());

    EXPECT_EQ(XmlLoad(kSecond, "Other"), XmlLoadResult::Loaded);
    EXPECT_EQ(XmlFind("Other")->GetName(), "Other");

    EXPECT_EQ(XmlRemove("Unknown"), 0);
    EXPECT_EQ(XmlFind("Unknown"), nullptr);
    EXPECT_EQ(XmlRemove("LensControls"), 1);
    EXPECT_EQ(XmlFind("LensControls"), nullptr);
    EXPECT_EQ(XmlRemove("LensControls"), 0);
    EXPECT_NE(XmlFind("Other"), nullptr);

    // After removal the key is parsed again.
    EXPECT_EQ(XmlLoad(kSecond, "LensControls"), XmlLoadResult::Loaded);
    EXPECT_EQ(XmlFind("LensControls")->GetName(), "Other");
}

TEST_F(XmlModule, MalformedDocumentFailsWithADebugLineAndStoresNothing)
{
    platform::DebugCapture debug;
    const std::string broken = "<Tamsiro_Device>\n  <controls>\n</Tamsiro_Device>";
    EXPECT_EQ(XmlLoad(broken, "LensControls"), XmlLoadResult::Failed);
    EXPECT_EQ(XmlFind("LensControls"), nullptr);
    EXPECT_EQ(XmlLastError().code, kXmlErrorNotWellFormed);
    EXPECT_EQ(XmlLastError().line, 3);

    const std::vector<std::string> lines = debug.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "XmlLoad(\"LensControls\"): not well formed: Start-end tags mismatch at offset " +
                  std::to_string(XmlLastError().offset) + " (line 3)\n");

    // The key stays free for a good document.
    EXPECT_EQ(XmlLoad(kFirst, "LensControls"), XmlLoadResult::Loaded);
    EXPECT_TRUE(XmlLastError().ok());
}

TEST_F(XmlModule, UninitialiseDestroysEveryDocument)
{
    ASSERT_EQ(XmlLoad(kFirst, "a"), XmlLoadResult::Loaded);
    EXPECT_EQ(XmlUninitialize(), 1);
    EXPECT_FALSE(XmlIsInitialized());
    EXPECT_EQ(XmlFind("a"), nullptr);
    EXPECT_EQ(XmlRemove("a"), 0);

    platform::DebugCapture debug;
    EXPECT_EQ(XmlLoad(kFirst, "a"), XmlLoadResult::Failed);
    EXPECT_EQ(XmlLastError().code, kXmlErrorSetup);
    EXPECT_EQ(debug.lines().size(), 1u);

    EXPECT_EQ(XmlInitialize(), 1);
    EXPECT_EQ(XmlLoad(kFirst, "a"), XmlLoadResult::Loaded);
}

TEST_F(XmlModule, SurfaceSlotsFollowTheModule)
{
    CXmlSurfaceSlots app;
    EXPECT_EQ(app.GetXmlSurface(), nullptr);

    EXPECT_EQ(app.LoadXmlSurface(0, kFirst.data(), kFirst.size(), "LensControls"), XmlLoadResult::Loaded);
    const CDerivedXmlElement* surface = app.GetXmlSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface, XmlFind("LensControls"));
    EXPECT_EQ(app.GetXmlSurface(1), nullptr);

    // Loading again (the page's reload) keeps the parsed document current.
    EXPECT_EQ(app.LoadXmlSurface(0, kSecond.data(), kSecond.size(), "LensControls"),
              XmlLoadResult::AlreadyLoaded);
    EXPECT_EQ(app.GetXmlSurface(), surface);

    EXPECT_EQ(app.StoreXmlSurface(7, "LensControls"), 1);  // any non-zero slot is slot 1
    EXPECT_EQ(app.GetXmlSurface(1), surface);

    // Releasing leaves no slot pointing at the destroyed tree.
    EXPECT_EQ(app.ReleaseXmlSurface("LensControls"), 1);
    EXPECT_EQ(app.GetXmlSurface(), nullptr);
    EXPECT_EQ(app.GetXmlSurface(1), nullptr);
    EXPECT_EQ(app.ReleaseXmlSurface("LensControls"), 0);

    // A failed load leaves the slot empty.
    platform::DebugCapture debug;
    const std::string broken = "<a>";
    EXPECT_EQ(app.LoadXmlSurface(0, broken.data(), broken.size(), "LensControls"), XmlLoadResult::Failed);
    EXPECT_EQ(app.GetXmlSurface(), nullptr);
}
