// DirectInput8Create and the DirectInput object: what they accept, what they refuse, and objects
// used after their last Release.
#include "InputFixture.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>
#include <dinput.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(DirectInputCreate, RefusesWrongVersionsInterfacesAndArguments) {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    void* object = reinterpret_cast<void*>(1);
    // An older version is a pre-release to DirectInput 8; a newer one asks for a newer DirectInput.
    for (const DWORD older : {0x0300u, 0x0700u, 0x07FFu}) {
        EXPECT_EQ(DirectInput8Create(module, older, IID_IDirectInput8W, &object, nullptr), DIERR_BETADIRECTINPUTVERSION)
            << std::hex << older;
        EXPECT_EQ(object, nullptr);
    }
    for (const DWORD newer : {0x0801u, 0x0900u}) {
        object = reinterpret_cast<void*>(1);
        EXPECT_EQ(DirectInput8Create(module, newer, IID_IDirectInput8W, &object, nullptr), DIERR_OLDDIRECTINPUTVERSION)
            << std::hex << newer;
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(DirectInput8Create(module, 0x0800, IID_IDirectInput8A, &object, nullptr), DIERR_NOINTERFACE);
    EXPECT_EQ(DirectInput8Create(module, 0x0800, IID_IDirectInput8W, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8W, &object, nullptr), DIERR_INVALIDPARAM);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&object);
    EXPECT_EQ(DirectInput8Create(module, 0x0800, IID_IDirectInput8W, &object, outer), DIERR_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
}

TEST(DirectInputCreate, ErrorValuesAreTheWindowsOnes) {
    // The event manager tests a failed read with (result & 0x8007001E).
    EXPECT_EQ(static_cast<DWORD>(DIERR_INPUTLOST), 0x8007001Eu);
    EXPECT_EQ(static_cast<DWORD>(DIERR_NOTACQUIRED), 0x8007000Cu);
    EXPECT_EQ(static_cast<DWORD>(DIERR_INVALIDPARAM), 0x80070057u);
    EXPECT_EQ(static_cast<DWORD>(DIERR_OTHERAPPHASPRIO), 0x80070005u);
    EXPECT_EQ(static_cast<DWORD>(DIERR_ACQUIRED), 0x800700AAu);
    EXPECT_EQ(static_cast<DWORD>(DIERR_NOTINITIALIZED), 0x80070015u);
    EXPECT_EQ(DISCL_EXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY, 0x15);
    EXPECT_EQ(DIK_ESCAPE, 1);
    EXPECT_EQ(DIK_F1, 59);
    EXPECT_EQ(DIK_F4, 62);
    EXPECT_EQ(c_dfDIKeyboard.dwDataSize, 256u);
    EXPECT_EQ(c_dfDIMouse.dwDataSize, sizeof(DIMOUSESTATE));
    EXPECT_EQ(offsetof(DIMOUSESTATE, rgbButtons), 12u);
}

using DirectInputObject = InputFixture;

TEST_F(DirectInputObject, MakesOnlyTheSystemKeyboardAndMouse) {
    IDirectInputDevice8W* device = reinterpret_cast<IDirectInputDevice8W*>(1);
    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(directInput->CreateDevice(unknown, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(directInput->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &device, directInput), DIERR_NOAGGREGATION);
    EXPECT_EQ(directInput->GetDeviceStatus(GUID_SysMouse), DI_OK);
    EXPECT_EQ(directInput->GetDeviceStatus(unknown), DIERR_DEVICENOTREG);

    void* asUnknown = nullptr;
    ASSERT_EQ(directInput->QueryInterface(IID_IUnknown, &asUnknown), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(asUnknown)->Release(), 1u);
    EXPECT_EQ(directInput->QueryInterface(IID_IDirectInputDevice8W, &asUnknown), E_NOINTERFACE);
    EXPECT_EQ(asUnknown, nullptr);
}

TEST_F(DirectInputObject, DevicesKeepTheirDirectInputObjectAliveAndFailOnceReleased) {
    IDirectInputDevice8W* keyboard = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    EXPECT_EQ(directInput->Release(), 1u) << "the device holds a reference";
    directInput = nullptr;
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window->Handle(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);

    EXPECT_EQ(keyboard->AddRef(), 2u);
    EXPECT_EQ(keyboard->Release(), 1u);
    EXPECT_EQ(keyboard->Release(), 0u);
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTINITIALIZED);
    EXPECT_EQ(keyboard->Acquire(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(keyboard->Unacquire(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_NOTINITIALIZED);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window->Handle(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_NOTINITIALIZED);
    EXPECT_EQ(keyboard->Poll(), DIERR_NOTINITIALIZED);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "IDirectInputDevice8W::Poll: called after the object's last Release");
    EXPECT_EQ(keyboard->AddRef(), 0u) << "a released device does not come back";
    EXPECT_EQ(keyboard->Release(), 0u);
    // The device held the last reference of its DirectInput object.
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::InputDevice), 0);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::DirectInput), 0);
}

TEST_F(DirectInputObject, InjectedFailuresHitTheChosenCallAndCallsAreCounted) {
    PlatformTesting::CallCounter calls;
    // The keyboard is made, the mouse (second CreateDevice) is refused.
    PlatformTesting::FailNextCalls("IDirectInput8W::CreateDevice", DIERR_OUTOFMEMORY, 1, 1);
    IDirectInputDevice8W* keyboard = nullptr;
    IDirectInputDevice8W* mouse = reinterpret_cast<IDirectInputDevice8W*>(1);
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    EXPECT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DIERR_OUTOFMEMORY);
    EXPECT_EQ(mouse, nullptr);
    EXPECT_EQ(calls.Count("IDirectInput8W::CreateDevice"), 2);

    // One armed failure per operation; the device itself is untouched by a failed call.
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::SetCooperativeLevel", E_FAIL, 1);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window->Handle(), DISCL_EXCLUSIVE | DISCL_FOREGROUND), E_FAIL);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window->Handle(), DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::Acquire", DIERR_OTHERAPPHASPRIO, 2);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    BYTE keys[256];
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::GetDeviceState", DIERR_INPUTLOST, 1);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(calls.Count("IDirectInputDevice8W::Acquire"), 3);
    EXPECT_EQ(calls.Count("IDirectInputDevice8W::GetDeviceState"), 2);
    EXPECT_EQ(keyboard->Release(), 0u);

    PlatformTesting::FailNextCalls("DirectInput8Create", DIERR_OUTOFMEMORY, 1);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W, &object, nullptr),
              DIERR_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    PlatformTesting::ClearFailures();
}

// With NVESK_PLATFORM_DEBUG=1 each refusal is printed as it happens, and the objects still alive at
// exit are listed with the call that made them and their references.
TEST(PlatformDebugOutput, PrintsRefusalsAndListsTheObjectsAliveAtExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("NVESK_PLATFORM_DEBUG", "1", 1);
            void* object = nullptr;
            DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W, &object, nullptr);
            static_cast<IDirectInput8W*>(object)->CreateDevice(GUID_SysKeyboard, nullptr, nullptr);
            static_cast<IDirectInput8W*>(object)->AddRef();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "NVesk platform: refused IDirectInput8W::CreateDevice: lplpDirectInputDevice is null\n"
        ".*NVesk platform: objects still alive at exit:\n"
        "NVesk platform:   IDirectInput8W created by DirectInput8Create, 2 references\n");
    // Without the setting nothing is printed.
    EXPECT_EXIT(
        {
            unsetenv("NVESK_PLATFORM_DEBUG");
            void* object = nullptr;
            DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W, &object, nullptr);
            static_cast<IDirectInput8W*>(object)->CreateDevice(GUID_SysKeyboard, nullptr, nullptr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "^$");
}
