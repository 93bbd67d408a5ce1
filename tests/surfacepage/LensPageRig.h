// The rig of the XML-surface page's tests: the data store, a recording task queue, an
// owner window and scripted message boxes; a page made over a surface source, created
// hidden and deleted (with its events run) after each test.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <cstdint>

#include "platform/gui/CommonDialogs.h"
#include "platform/gui/GuiTestSupport.h"
#include "surface/XmlModule.h"
#include "surfacepage/LensPage.h"
#include "ui/PageTestSupport.h"

class LensPageRig : public ::testing::Test {
protected:
    void SetUp() override
    {
        XmlInitialize();
        ASSERT_TRUE(owner.create(nullptr, 0, QRect(0, 0, 100, 100)));
    }
    void TearDown() override
    {
        page.reset();
        guitest::settle();
    }
    // The page of `key` over `source`, created (and so built) with the block selected.
    void Make(std::int32_t key, CDeviceDialog_Lens::SurfaceSource source)
    {
        store.SelectContainer(key);
        page = gui::makeWindow<CDeviceDialog_Lens>(std::move(source));
        page->SetOwnerWindow(owner.handle());
        page->SetDeviceInfo(key, profile, QStringLiteral("LV8401"));
        ASSERT_TRUE(page->createModeless(nullptr));
    }
    template <class T = CDerivedControl>
    T* Control(std::uint32_t id) const { return dynamic_cast<T*>(page->FindControlByKey(id)); }

    gui::ScriptedDialogs dialogs;
    CDerivedDataContainer store;
    uitest::RecordingQueue queue;
    uitest::ScopedServices services{&store, &queue};
    guitest::SpyWindow owner;
    std::uint16_t profile[128] = {};
    gui::WindowPtr<CDeviceDialog_Lens> page;
};
