// File images and the shared texture cache on the real device: one load per (name, colour key),
// reference counts, reloading after a device reset, and a missing file.
#include "EngineFixture.h"

#include "renderer/Image.h"
#include "renderer/ImageBox.h"
#include "support/LogCapture.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>

#include <gtest/gtest.h>

using EngineTest::EngineFixture;
using NVesk::NRenderer::Image;
using NVesk::NRenderer::TheImageBox;
using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;
using TestSupport::LogCapture;
using Lines = std::vector<std::wstring>;

namespace {

constexpr const char* kLoader = "D3DXCreateTextureFromFileExW";

class TextureManagerTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
        file = WriteImage("picture.png", 5, 3, std::vector<std::uint32_t>(15, 0xFF336699));
    }
    // A file image registered with the box.
    Image* Add(const std::wstring& name, D3DCOLOR colorKey = 0) {
        Image* image = new Image(name);
        image->colorKey = colorKey;
        TheImageBox.AddImage(image);
        return image;
    }
    std::wstring file;
    std::vector<Image::TextureEntry>& entries = Image::TextureManager::entries;
};

TEST_F(TextureManagerTest, ImagesOfOneFileShareOneLoadUntilTheLastGivesItBack) {
    Image* first = Add(file);
    Image* second = Add(file);
    second->width = 100.0f;
    PlatformTesting::CallCounter calls;
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(calls.Count(kLoader), 1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].refCount, 2);
    EXPECT_EQ(entries[0].fileName, file);
    EXPECT_EQ(entries[0].info.Width, 5u);
    EXPECT_EQ(entries[0].info.Height, 3u);
    EXPECT_EQ(first->texture, second->texture);
    EXPECT_EQ(second->width, 5.0f) << "a file image takes its file's size";
    EXPECT_EQ(second->height, 3.0f);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 1);

    first->Release();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].refCount, 1);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 1);
    second->Release();
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);

    TheImageBox.ReleaseBox();
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(calls.Count(kLoader), 2) << "restored once again, loaded once again";
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].refCount, 2);
}

TEST_F(TextureManagerTest, AnotherColourKeyOrAnotherCaseIsAnotherEntry) {
    Image* plain = Add(file);
    Image* keyed = Add(file, 0xFF336699);
    std::wstring upper = file;
    upper.replace(upper.size() - 3, 3, L"PNG");
    Add(upper);
    PlatformTesting::CallCounter calls;
    // The upper-case name names no file here: the third image fails, after the two loads.
    EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 4);
    EXPECT_EQ(calls.Count(kLoader), 3);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].colorKey, 0u);
    EXPECT_EQ(entries[1].colorKey, 0xFF336699u);
    EXPECT_NE(plain->texture, keyed->texture);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 2);
}

TEST_F(TextureManagerTest, AMissingFileIsLoggedAndFailsTheRestore) {
    Image* present = Add(file);
    const std::wstring missing = folder.File("missing.png");
    Image* absent = Add(missing);
    LogCapture log;
    EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 4);
    const Lines lines = log.Messages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"NVesk::NRenderer::Image::TextureManager::LoadTexture >> Cannot load texture: " + missing +
                            L". Function \"D3DXCreateTextureFromFile\" returned an error code: 88760B59");
    EXPECT_EQ(lines[1], L"NVesk::NRenderer::ImageBox::RestoreBox >> Function \"Restore()\" returned an error code: 1");
    EXPECT_EQ(present->index, 0) << "images before the failing one stay restored";
    EXPECT_EQ(absent->index, -1);
    EXPECT_EQ(absent->texture, nullptr);
    EXPECT_EQ(Image::vertexData, nullptr) << "no pointer into the unlocked buffer is left behind";
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(TextureManagerTest, AReleasedImageGivesItsTextureBackOnlyOnce) {
    Image* first = Add(file);
    Image* second = Add(file);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    first->Release();
    first->Release();
    Image* holder = first;
    TheImageBox.RemoveImage(holder);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].refCount, 1) << "the other image's share is untouched";
    EXPECT_EQ(entries[0].texture, second->texture);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 1);
}

TEST_F(TextureManagerTest, GivingBackAnUnknownTextureIsHarmless) {
    IDirect3DTexture9* stranger = reinterpret_cast<IDirect3DTexture9*>(&file);
    EXPECT_EQ(Image::TextureManager::ReleaseTexture(stranger), 2);
    D3DXIMAGE_INFO info {};
    IDirect3DTexture9* texture = nullptr;
    PlatformTesting::FailNextCalls(kLoader, E_OUTOFMEMORY, 1);
    EXPECT_EQ(Image::TextureManager::LoadTexture(file, 0, info, texture), 1);
    EXPECT_EQ(texture, nullptr) << "outputs untouched on failure";
    EXPECT_EQ(info.Width, 0u);
}

}  // namespace
