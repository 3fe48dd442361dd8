// The register files of each shader assembly version: how many registers each has, which may be
// written, how many different ones an instruction may read, which take a relative index and which
// must be declared, as the Direct3D 9 shader-model reference lists them. The 2_x versions are read
// as a device with every 2_x capability at its largest would run them (32 temporaries, predication).
#pragma once

#include "ShaderAssembly.h"

#include <string>

namespace nvesk::d3dx9 {

struct RegisterFile {
    RegisterType type;
    int count;
    bool writable;
    int readPorts;      // different registers of this file one instruction may read
    bool relativeA0;    // c[a0.x + n]
    bool relativeLoop;  // c[aL + n], v[aL], o[aL]
    bool declared;      // must be declared (dcl) before it is used
};

// The file of `type` in `version`, or null where the version has none.
const RegisterFile* FindRegisterFile(const ShaderVersion& version, RegisterType type);

// Reads a register's name in lower case ("r3", "c", "opos", "od1", "vface", "al"). A file's name
// without its number is its register 0, as the reference gives r# ("c" of `c[a0.x]`, "r");
// `hasIndex` is false then. False for what names no register.
bool ParseRegisterName(const std::string& lowered, RegisterType& type, int& index, bool& hasIndex);

// The register as the language writes it: "r3", "oPos", "vFace", "aL".
std::string RegisterText(RegisterType type, int index);

}  // namespace nvesk::d3dx9
