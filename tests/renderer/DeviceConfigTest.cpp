// LoadDeviceConfig: config.cfg in the working directory fills the global record.
#include "renderer/DeviceConfig.h"

#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using TestSupport::LogCapture;
using TestSupport::TempDir;
using TestSupport::WorkingDirectory;

TEST(DeviceConfig, LoadsTheEightFieldsFromConfigCfg) {
    TempDir dir;
    TestSupport::WriteBytes(dir.Path() / "config.cfg",
                            TestSupport::SingleBytes("// display\r\nDeviceConfig\r\n{\r\n  DeviceType = 1;\r\n"
                                                     "  VertexProcessing = 2;\r\n  BackBufferFormat = 22;\r\n"
                                                     "  FullScreen = false;\r\n  Width = 800;\r\n  Height = 600;\r\n"
                                                     "  RefreshRate = 60;\r\n  VSync = true;\r\n}\r\n"));
    const WorkingDirectory here(dir.Path());
    DeviceConfig = DeviceConfigRecord {};
    DeviceConfig.FullScreen = true;
    const LogCapture log;
    LoadDeviceConfig();
    EXPECT_EQ(log.Messages(), std::vector<std::wstring> {L"Loading config file: config.cfg"});
    EXPECT_EQ(DeviceConfig.DeviceType, 1u);
    EXPECT_EQ(DeviceConfig.VertexProcessing, 2u);
    EXPECT_EQ(DeviceConfig.BackBufferFormat, 22u);
    EXPECT_FALSE(DeviceConfig.FullScreen);
    EXPECT_EQ(DeviceConfig.Width, 800u);
    EXPECT_EQ(DeviceConfig.Height, 600u);
    EXPECT_EQ(DeviceConfig.RefreshRate, 60u);
    EXPECT_TRUE(DeviceConfig.VSync);
}

TEST(DeviceConfig, MissingFileLeavesTheRecordZero) {
    TempDir dir;
    const WorkingDirectory here(dir.Path());
    DeviceConfig = DeviceConfigRecord {};
    const LogCapture log;
    LoadDeviceConfig();
    EXPECT_EQ(log.Messages(), (std::vector<std::wstring> {
                                  L"Loading config file: config.cfg",
                                  L"NLib::FStream::Open >> CreateFile returned INVALID_HANDLE_VALUE. Error code: 2",
                                  L"NLib::StructReader::FillUpStruct >> Cannot open file \"config.cfg\""}));
    EXPECT_EQ(DeviceConfig.DeviceType, 0u);
    EXPECT_EQ(DeviceConfig.Width, 0u);
    EXPECT_FALSE(DeviceConfig.FullScreen);
    EXPECT_FALSE(DeviceConfig.VSync);
}
