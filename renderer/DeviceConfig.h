// The display settings read from config.cfg at start-up, read by the renderer.
#pragma once

#include <cstdint>

// Eight fields in file order; each takes its own 32-bit slot. Zero (false) until the file supplies a value.
struct DeviceConfigRecord {
    std::uint32_t DeviceType;        // 0 hardware device, 1 reference rasteriser
    std::uint32_t VertexProcessing;  // 0 hardware, 1 mixed, 2 software
    std::uint32_t BackBufferFormat;  // a D3DFORMAT number
    alignas(4) bool FullScreen;
    std::uint32_t Width;
    std::uint32_t Height;
    std::uint32_t RefreshRate;  // full-screen refresh rate in hertz
    alignas(4) bool VSync;      // wait for the vertical retrace when presenting
};

static_assert(sizeof(DeviceConfigRecord) == 8 * 4, "one 32-bit slot per field");

// Lives in zero-initialised static storage.
extern DeviceConfigRecord DeviceConfig;

// Fills DeviceConfig from the section "DeviceConfig" of "config.cfg". Whatever the file does not
// supply keeps its value; a missing file is logged and changes nothing.
void LoadDeviceConfig();
