// libFuzzer target: any bytes as a configuration file, read through the text stream and the
// structure reader with every type code.
#include "lib/StructReader.h"

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The input goes through a real file, as the program reads its configuration. In memory (/dev/shm)
// where there is one: on a disk, every truncating rewrite waits for the block layer (about 4 ms).
const std::wstring& FuzzFile() {
    static const std::wstring name = [] {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        static const std::string narrow =
            std::string(folder) + "/nvesk-config-fuzz-" + std::to_string(getpid()) + ".cfg";
        std::atexit([] { std::remove(narrow.c_str()); });
        return std::wstring(narrow.begin(), narrow.end());
    }();
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring& name = FuzzFile();
    const std::string narrow(name.begin(), name.end());
    if (std::FILE* file = std::fopen(narrow.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }

    std::uint32_t u32 = 0;
    bool flag = false;
    float f = 0;
    double d = 0;
    std::int16_t i16 = 0;
    std::wstring text;
    wchar_t ch = 0;
    std::uint8_t u8 = 0;
    void* const fields[8] = {&u32, &flag, &f, &d, &i16, &text, &ch, &u8};
    std::int32_t types[8] = {5, 11, 0, 1, 3, 10, 8, 9};
    // Unknown codes must skip their entry; let the input decide where they appear.
    if (size > 0 && (data[0] & 1)) types[7] = 12;
    if (size > 0 && (data[0] & 2)) types[0] = -1;
    NLib::StructReader::FillUpStruct(fields, name, types, L"DeviceConfig");

    std::int32_t i32a = 0, i32b = 0;
    std::int64_t i64a = 0, i64b = 0;
    std::uint16_t u16a = 0, u16b = 0;
    std::uint64_t u64a = 0, u64b = 0;
    void* const moreFields[8] = {&i32a, &i64a, &u16a, &u64a, &i32b, &i64b, &u16b, &u64b};
    const std::int32_t moreTypes[8] = {2, 4, 6, 7, 2, 4, 6, 7};
    NLib::StructReader::FillUpStruct(moreFields, name, moreTypes, L"DeviceConfig");
    return 0;
}
