// The ID3DXInclude fxcheck hands to D3DX: an include is looked for beside the file that includes
// it, then in the -I folders in order, as a C compiler looks for its includes.
#pragma once

#include <d3dx9.h>

#include <filesystem>
#include <list>
#include <string>
#include <vector>

namespace FxCheck {

class IncludeFolders final : public ID3DXInclude {
public:
    IncludeFolders(const std::filesystem::path& effectFile, std::vector<std::filesystem::path> folders);
    IncludeFolders(const IncludeFolders&) = delete;
    IncludeFolders& operator=(const IncludeFolders&) = delete;

    HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                                   UINT* pBytes) override;
    HRESULT STDMETHODCALLTYPE Close(LPCVOID pData) override;

    // Every file opened, in order, as "name -> path found".
    const std::vector<std::string>& Opened() const { return opened_; }
    // Files opened and not closed yet.
    std::size_t OpenNow() const { return open_.size(); }

private:
    struct OpenFile {
        std::filesystem::path folder;
        std::string text;
    };

    std::filesystem::path effectFolder_;
    std::vector<std::filesystem::path> folders_;
    // A list keeps each text where it is, so the data handed out stays valid until its Close.
    std::list<OpenFile> open_;
    std::vector<std::string> opened_;
};

}  // namespace FxCheck
