#include "ConfigFile.h"

namespace AssetGen {

std::u16string ConfigText() {
    // Entries are read by position, not by name: keep them in this order. Comments run from "//"
    // to the end of the line.
    return u"// NVesk display settings. Eight entries, read in this order: \"name = value;\".\r\n"
           u"DeviceConfig\r\n"
           u"{\r\n"
           u"    DeviceType = 0;        // 0: hardware device (HAL), 1: reference rasteriser (REF)\r\n"
           u"    VertexProcessing = 0;  // 0: hardware, 1: mixed, 2: software vertex processing\r\n"
           u"    BackBufferFormat = 22; // back buffer format: 22 is X8R8G8B8, 21 is A8R8G8B8\r\n"
           u"    FullScreen = false;    // false: in a window; true: full screen at exactly this mode\r\n"
           u"    Width = 800;           // width of the window and back buffer in pixels\r\n"
           u"    Height = 600;          // height of the window and back buffer in pixels\r\n"
           u"    RefreshRate = 60;      // refresh rate in hertz, used in full screen only\r\n"
           u"    VSync = false;         // true: wait for the vertical retrace; false: present at once\r\n"
           u"}\r\n";
}

std::string EncodeUtf16LittleEndian(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace AssetGen
