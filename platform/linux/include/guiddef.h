// GUIDs and interface identifiers with the Windows layout. DEFINE_GUID defines the value itself
// (a C++17 inline constant), so every translation unit sees one object without initguid.h.
#pragma once

#include <cstring>

#include "windef.h"

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID, *LPGUID;
typedef const GUID* LPCGUID;

typedef GUID IID;
typedef IID* LPIID;
typedef GUID CLSID;
typedef CLSID* LPCLSID;

#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&

static_assert(sizeof(GUID) == 16, "GUID layout");

#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                 \
    inline constexpr GUID name = {                                                                   \
        static_cast<DWORD>(l),                                                                       \
        static_cast<WORD>(w1),                                                                       \
        static_cast<WORD>(w2),                                                                       \
        {static_cast<BYTE>(b1), static_cast<BYTE>(b2), static_cast<BYTE>(b3), static_cast<BYTE>(b4), \
         static_cast<BYTE>(b5), static_cast<BYTE>(b6), static_cast<BYTE>(b7), static_cast<BYTE>(b8)}}

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
    return !IsEqualGUID(a, b);
}
