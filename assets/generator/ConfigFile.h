// The demo's display settings file.
#pragma once

#include <string>

namespace AssetGen {

// The text of config.cfg: section DeviceConfig, eight "name = value;" entries, each with a comment.
std::u16string ConfigText();

// UTF-16 little-endian bytes with a byte-order mark.
std::string EncodeUtf16LittleEndian(const std::u16string& text);

}  // namespace AssetGen
