#include "renderer/DeviceConfig.h"

#include "lib/Logger.h"
#include "lib/StructReader.h"

DeviceConfigRecord DeviceConfig;

void LoadDeviceConfig() {
    NLib::Logger::Write(L"Loading config file: config.cfg", true);
    void* const fields[NLib::StructReader::kEntryCount] = {&DeviceConfig.DeviceType,
                                                           &DeviceConfig.VertexProcessing,
                                                           &DeviceConfig.BackBufferFormat,
                                                           &DeviceConfig.FullScreen,
                                                           &DeviceConfig.Width,
                                                           &DeviceConfig.Height,
                                                           &DeviceConfig.RefreshRate,
                                                           &DeviceConfig.VSync};
    using namespace NLib::FieldType;
    const std::int32_t types[NLib::StructReader::kEntryCount] = {UInt32, UInt32, UInt32, Bool,
                                                                 UInt32, UInt32, UInt32, Bool};
    NLib::StructReader::FillUpStruct(fields, L"config.cfg", types, L"DeviceConfig");
}
