#include "DataFormats.h"

#include <array>

namespace nvesk::dinput8 {
namespace {

// One optional button per scan code, the byte at the code's offset.
std::array<DIOBJECTDATAFORMAT, 256> KeyboardObjects() {
    std::array<DIOBJECTDATAFORMAT, 256> objects {};
    for (DWORD code = 0; code < 256; ++code) {
        objects[code] =
            DIOBJECTDATAFORMAT {&GUID_Key, code, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(code), 0};
    }
    return objects;
}

std::array<DIOBJECTDATAFORMAT, 256> g_keyboardObjects = KeyboardObjects();

DIOBJECTDATAFORMAT g_mouseObjects[] = {
    {&GUID_XAxis, DIMOFS_X, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_YAxis, DIMOFS_Y, DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_ZAxis, DIMOFS_Z, DIDFT_OPTIONAL | DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON0, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON1, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON2, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON3, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON4, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON5, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON6, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, DIMOFS_BUTTON7, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
};

bool SameGuid(const GUID* a, const GUID* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return IsEqualGUID(*a, *b);
}

}  // namespace

bool SameDataFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b) {
    if (a.dwSize != b.dwSize || a.dwObjSize != b.dwObjSize || a.dwFlags != b.dwFlags || a.dwDataSize != b.dwDataSize ||
        a.dwNumObjs != b.dwNumObjs) {
        return false;
    }
    if (a.dwNumObjs > 0 && (a.rgodf == nullptr || b.rgodf == nullptr)) return false;
    for (DWORD i = 0; i < a.dwNumObjs; ++i) {
        const DIOBJECTDATAFORMAT& x = a.rgodf[i];
        const DIOBJECTDATAFORMAT& y = b.rgodf[i];
        if (!SameGuid(x.pguid, y.pguid) || x.dwOfs != y.dwOfs || x.dwType != y.dwType || x.dwFlags != y.dwFlags) {
            return false;
        }
    }
    return true;
}

}  // namespace nvesk::dinput8

extern "C" {

const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, nvesk::dinput8::g_keyboardObjects.data()};
const DIDATAFORMAT c_dfDIMouse = {
    sizeof(DIDATAFORMAT),          sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE), 7,
    nvesk::dinput8::g_mouseObjects};
const DIDATAFORMAT c_dfDIMouse2 = {
    sizeof(DIDATAFORMAT),          sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, sizeof(DIMOUSESTATE2), 11,
    nvesk::dinput8::g_mouseObjects};

}  // extern "C"
