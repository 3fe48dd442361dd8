// fxcheck: creates an effect file through the platform layer's D3DX, as the demo would, and says
// whether it works: the compiler's messages, each technique with its passes and whether it
// validates, and each parameter with its annotations.
#include "Arguments.h"
#include "EffectReport.h"
#include "IncludeFolders.h"

#include "InputFile.h"
#include "Messages.h"
#include "Results.h"
#include "Text.h"
#include "ToolDevice.h"

#include <PlatformTesting/Diagnostics.h>
#include <d3dx9.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr char kTool[] = "fxcheck";

int CheckEffect(IDirect3DDevice9* device, const FxCheck::Arguments& arguments) {
    std::vector<D3DXMACRO> macros;
    for (const auto& [name, value] : arguments.defines)
        macros.push_back({name.c_str(), value.c_str()});
    macros.push_back({nullptr, nullptr});
    FxCheck::IncludeFolders includes(arguments.file,
                                     {arguments.includeFolders.begin(), arguments.includeFolders.end()});

    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* messages = nullptr;
    PlatformTesting::ClearLastRefusal();
    const HRESULT created = D3DXCreateEffectFromFileW(device, NVeskTools::Widen(arguments.file).c_str(), macros.data(),
                                                      &includes, 0, nullptr, &effect, &messages);
    if (messages != nullptr) {
        const std::string text(static_cast<const char*>(messages->GetBufferPointer()));
        std::fprintf(stderr, "%s%s", text.c_str(), !text.empty() && text.back() != '\n' ? "\n" : "");
        messages->Release();
    }
    if (FAILED(created)) {
        const std::string reason = NVeskTools::RefusalReason();
        return NVeskTools::Fail(kTool, arguments.file + ": the effect was not created: " +
                                           NVeskTools::ResultName(created) + (reason.empty() ? "" : ": " + reason));
    }
    std::printf("%s: effect created\n", arguments.file.c_str());
    for (const std::string& opened : includes.Opened())
        std::printf("include %s\n", opened.c_str());
    const int failing = FxCheck::ReportTechniques(effect, stdout);
    FxCheck::ReportParameters(effect, stdout);
    D3DXEFFECT_DESC desc {};
    effect->GetDesc(&desc);
    effect->Release();
    std::fflush(stdout);
    if (failing > 0) {
        return NVeskTools::Fail(kTool, arguments.file + ": " + std::to_string(failing) + " of " +
                                           std::to_string(desc.Techniques) + " techniques fail ValidateTechnique");
    }
    if (desc.Techniques == 0) return NVeskTools::Fail(kTool, arguments.file + ": the effect has no technique");
    std::printf("%s: every technique validates\n", arguments.file.c_str());
    return NVeskTools::kPassed;
}

}  // namespace

int main(int argc, char** argv) {
    FxCheck::Arguments arguments;
    std::string error;
    if (!FxCheck::ParseArguments(argc, argv, arguments, error))
        return NVeskTools::Usage(FxCheck::kUsage, std::string(kTool) + ": " + error);
    if (arguments.help) {
        std::printf("usage: %s\n", FxCheck::kUsage);
        return NVeskTools::kPassed;
    }
    for (const std::string& folder : arguments.includeFolders) {
        std::error_code status;
        if (!std::filesystem::is_directory(folder, status))
            return NVeskTools::Usage(FxCheck::kUsage, std::string(kTool) + ": -I " + folder + ": no such folder");
    }
    std::vector<unsigned char> bytes;
    if (!NVeskTools::ReadInputFile(arguments.file, bytes, error) || !NVeskTools::LooksLikeText(bytes, error))
        return NVeskTools::Fail(kTool, arguments.file + ": " + error);
    NVeskTools::ToolDevice device;
    if (!device.Create()) return NVeskTools::Fail(kTool, NVeskTools::NoDeviceMessage(kTool));
    return CheckEffect(device.Get(), arguments);
}
