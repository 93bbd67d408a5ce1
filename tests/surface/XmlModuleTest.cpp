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

TEST_F(XmlModule, LoadsOncePerKeyFindsRemovesAndRefusesMalformedDocuments)
{
    EXPECT_EQ(XmlLoad(kFirst, "LensControls"), XmlLoadResult::Loaded);
    const CDerivedXmlElement* root = XmlFind("LensControls");
    EXPECT_EQ(root->GetName(), "Tamsiro_Device");
    // A second load under the key keeps the first document and parses nothing.
    EXPECT_EQ(XmlLoad(kSecond, "LensControls"), XmlLoadResult::AlreadyLoaded);
    EXPECT_EQ(XmlFind("LensControls"), root);
    EXPECT_EQ(XmlLoad(kSecond, "Other"), XmlLoadResult::Loaded);

    EXPECT_EQ((std::vector{XmlRemove("Unknown"), XmlRemove("LensControls"), XmlRemove("LensControls")}), (std::vector{0, 1, 0}));
    EXPECT_EQ(XmlFind("LensControls"), nullptr);
    EXPECT_NE(XmlFind("Other"), nullptr);
    // After removal the key is parsed again.
    EXPECT_EQ(XmlLoad(kSecond, "LensControls"), XmlLoadResult::Loaded);
    EXPECT_EQ(XmlFind("LensControls")->GetName(), "Other");

    // A malformed document fails with a debug line and stores nothing.
    platform::DebugCapture debug;
    EXPECT_EQ(XmlLoad("<Tamsiro_Device>\n  <controls>\n</Tamsiro_Device>", "Broken"), XmlLoadResult::Failed);
    EXPECT_EQ(XmlFind("Broken"), nullptr);
    ASSERT_EQ(debug.lines().size(), 1u);
    EXPECT_EQ(debug.lines()[0], "XmlLoad(\"Broken\"): not well formed: Start-end tags mismatch at offset " +
                                    std::to_string(XmlLastError().offset) + " (line 3)\n");
    // The key stays free for a good document.
    EXPECT_EQ(XmlLoad(kFirst, "Broken"), XmlLoadResult::Loaded);
    EXPECT_TRUE(XmlLastError().ok());

    // Uninitialising destroys every document; loading then fails until initialised again.
    EXPECT_EQ(XmlUninitialize(), 1);
    EXPECT_EQ(XmlFind("Other"), nullptr);
    EXPECT_EQ(XmlLoad(kFirst, "a"), XmlLoadResult::Failed);
    EXPECT_EQ(XmlLastError().code, kXmlErrorSetup);
    EXPECT_EQ(debug.lines().size(), 2u);
}

TEST_F(XmlModule, SurfaceSlotsFollowTheModule)
{
    CXmlSurfaceSlots app;
    EXPECT_EQ(app.LoadXmlSurface(0, kFirst.data(), kFirst.size(), "LensControls"), XmlLoadResult::Loaded);
    const CDerivedXmlElement* surface = app.GetXmlSurface();
    EXPECT_EQ(surface, XmlFind("LensControls"));
    // Loading again (the page's reload) keeps the parsed document current.
    EXPECT_EQ(app.LoadXmlSurface(0, kSecond.data(), kSecond.size(), "LensControls"), XmlLoadResult::AlreadyLoaded);
    EXPECT_EQ(app.GetXmlSurface(), surface);
    // Any non-zero slot is slot 1.
    EXPECT_EQ(app.StoreXmlSurface(7, "LensControls"), 1);
    EXPECT_EQ(app.GetXmlSurface(1), surface);

    // Releasing leaves no slot pointing at the destroyed tree.
    EXPECT_EQ(app.ReleaseXmlSurface("LensControls"), 1);
    EXPECT_EQ(app.GetXmlSurface(), nullptr);
    EXPECT_EQ(app.GetXmlSurface(1), nullptr);
    EXPECT_EQ(app.ReleaseXmlSurface("LensControls"), 0);

    // A failed load leaves the slot empty.
    platform::DebugCapture debug;
    EXPECT_EQ(app.LoadXmlSurface(0, "<a>", 3, "LensControls"), XmlLoadResult::Failed);
    EXPECT_EQ(app.GetXmlSurface(), nullptr);
}
