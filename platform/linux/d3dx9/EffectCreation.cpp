// D3DXCreateEffect and D3DXCreateEffectFromFileW: the effect source from memory or a file,
// preprocessed with the caller's macros and includes before it is parsed.
#include <d3d9/StartupWork.h>
#include "Buffer.h"
#include "Effect.h"
#include "EffectPreprocessor.h"
#include "HlslCompiler.h"
#include "WideFile.h"
#include "com/Diagnostics.h"
#include "com/Object.h"

#include <kernel32/Utf16.h>
#include <user32/Utf8Text.h>

#include <d3dx9.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace nvesk::d3dx9 {

using com::Reject;

namespace {

constexpr std::size_t kMaxSourceBytes = 16u << 20;

// A program that creates Direct3D is about to create its effects: the compiler's tables are built
// meanwhile, beside its window and device creation.
const bool g_startsCompiler = d3d9::RegisterStartupWork([] { StartCompiler(); });

// Hands back the compiler's messages when the caller asked for them.
void GiveErrors(const std::string& errors, LPD3DXBUFFER* ppCompilationErrors) {
    if (ppCompilationErrors == nullptr || errors.empty()) return;
    *ppCompilationErrors = Buffer::FromText(errors);
}

// Without a handler, an effect file's includes are read beside the file that includes them.
class FileIncludes final : public IncludeSource {
public:
    bool Open(bool, const std::string& name, const IncludedFile& parent, IncludedFile& file,
              std::string& error) override {
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        if (path.empty() || path[0] != '/') {
            std::string directory = parent.name;
            std::replace(directory.begin(), directory.end(), '\\', '/');
            const std::size_t slash = directory.rfind('/');
            path = (slash == std::string::npos ? std::string() : directory.substr(0, slash + 1)) + path;
        }
        path = std::filesystem::path(path).lexically_normal().string();
        std::vector<BYTE> bytes;
        if (!ReadWholeFile(kernel32::Utf8ToUtf16(path).c_str(), bytes, kMaxSourceBytes)) {
            error = "failed to open source file";
            return false;
        }
        auto text = std::make_unique<std::string>(bytes.begin(), bytes.end());
        file = {path, text->data(), text->size()};
        open_.push_back(std::move(text));
        return true;
    }

    void Close(const IncludedFile& file) override {
        open_.erase(std::remove_if(open_.begin(), open_.end(),
                                   [&](const std::unique_ptr<std::string>& text) { return text->data() == file.data; }),
                    open_.end());
    }

private:
    std::vector<std::unique_ptr<std::string>> open_;
};

// The caller's ID3DXInclude, asked as D3DX asks it: one Open per directive, one Close per Open.
class HandlerIncludes final : public IncludeSource {
public:
    explicit HandlerIncludes(ID3DXInclude* handler) : handler_(handler) {}

    bool Open(bool system, const std::string& name, const IncludedFile& parent, IncludedFile& file,
              std::string& error) override {
        LPCVOID data = nullptr;
        UINT bytes = 0;
        const HRESULT opened =
            handler_->Open(system ? D3DXINC_SYSTEM : D3DXINC_LOCAL, name.c_str(), parent.data, &data, &bytes);
        if (FAILED(opened)) {
            error = "failed to open source file";
            return false;
        }
        file = {name, static_cast<const char*>(data), data == nullptr ? 0 : bytes};
        return true;
    }

    void Close(const IncludedFile& file) override { handler_->Close(file.data); }

private:
    ID3DXInclude* handler_;
};

HRESULT CreateEffectFromSource(IDirect3DDevice9* device, std::string source, const std::string& fileName,
                               const D3DXMACRO* defines, IncludeSource* includes, DWORD flags, LPD3DXEFFECTPOOL pool,
                               LPD3DXEFFECT* effect, LPD3DXBUFFER* errors) {
    // The text may be handed over with or without its terminating zero.
    while (!source.empty() && source.back() == '\0')
        source.pop_back();
    std::string messages;
    if (pool != nullptr || (flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) != 0) {
        messages = fileName + ": error: effect pools and row-major packing are not supported\n";
        GiveErrors(messages, errors);
        return E_NOTIMPL;
    }
    std::vector<Macro> macros;
    for (const D3DXMACRO* macro = defines; macro != nullptr && macro->Name != nullptr; ++macro)
        macros.push_back({macro->Name, macro->Definition != nullptr ? macro->Definition : ""});
    const PreprocessedEffect preprocessed =
        PreprocessEffect({fileName, source.data(), source.size()}, macros, includes);
    if (!preprocessed.ok) {
        GiveErrors(preprocessed.errors, errors);
        return E_FAIL;
    }
    Effect* created = nullptr;
    const HRESULT result = Effect::Create(device, preprocessed.text, fileName, flags, &created, messages);
    GiveErrors(preprocessed.MapMessages(messages, fileName), errors);
    if (SUCCEEDED(result)) *effect = created;
    return result;
}

}  // namespace

}  // namespace nvesk::d3dx9

extern "C" HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen,
                                           const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD Flags,
                                           LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                           LPD3DXBUFFER* ppCompilationErrors) {
    NVESK_ENTER_FUNCTION("D3DXCreateEffect");
    if (ppCompilationErrors != nullptr) *ppCompilationErrors = nullptr;
    if (pDevice == nullptr || pSrcData == nullptr || SrcDataLen == 0 || ppEffect == nullptr)
        return nvesk::com::Reject("pDevice, pSrcData or ppEffect is null, or SrcDataLen is 0");
    *ppEffect = nullptr;
    const std::string source(static_cast<const char*>(pSrcData), SrcDataLen);
    // Without a handler an effect in memory has nowhere to read includes from.
    nvesk::d3dx9::HandlerIncludes handler(pInclude);
    return nvesk::d3dx9::CreateEffectFromSource(pDevice, source, "memory", pDefines,
                                                pInclude != nullptr ? &handler : nullptr, Flags, pPool, ppEffect,
                                                ppCompilationErrors);
}

extern "C" HRESULT WINAPI D3DXCreateEffectFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                    const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD Flags,
                                                    LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                                    LPD3DXBUFFER* ppCompilationErrors) {
    NVESK_ENTER_FUNCTION("D3DXCreateEffectFromFileW");
    if (ppCompilationErrors != nullptr) *ppCompilationErrors = nullptr;
    if (pDevice == nullptr || pSrcFile == nullptr || ppEffect == nullptr)
        return nvesk::com::Reject("pDevice, pSrcFile or ppEffect is null");
    *ppEffect = nullptr;
    std::vector<BYTE> bytes;
    if (!nvesk::d3dx9::ReadWholeFile(pSrcFile, bytes, nvesk::d3dx9::kMaxSourceBytes)) return D3DXERR_INVALIDDATA;
    const std::string source(bytes.begin(), bytes.end());
    nvesk::d3dx9::HandlerIncludes handler(pInclude);
    nvesk::d3dx9::FileIncludes files;
    nvesk::d3dx9::IncludeSource* includes =
        pInclude != nullptr ? static_cast<nvesk::d3dx9::IncludeSource*>(&handler) : &files;
    return nvesk::d3dx9::CreateEffectFromSource(pDevice, source, nvesk::user32::ToUtf8(pSrcFile), pDefines, includes,
                                                Flags, pPool, ppEffect, ppCompilationErrors);
}
