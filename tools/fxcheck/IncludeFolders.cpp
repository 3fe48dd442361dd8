#include "IncludeFolders.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace FxCheck {

IncludeFolders::IncludeFolders(const std::filesystem::path& effectFile, std::vector<std::filesystem::path> folders)
    : effectFolder_(effectFile.parent_path()), folders_(std::move(folders)) {}

HRESULT IncludeFolders::Open(D3DXINCLUDE_TYPE, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData, UINT* pBytes) {
    if (pFileName == nullptr || ppData == nullptr || pBytes == nullptr) return E_INVALIDARG;
    std::string name = pFileName;
    std::replace(name.begin(), name.end(), '\\', '/');  // effects written on Windows
    // The including file's own folder: an include's, or the effect's for the effect itself.
    const auto parent =
        std::find_if(open_.begin(), open_.end(), [&](const OpenFile& file) { return file.text.data() == pParentData; });
    std::vector<std::filesystem::path> candidates;
    if (std::filesystem::path(name).is_absolute()) {
        candidates.push_back(name);
    } else {
        candidates.push_back((parent != open_.end() ? parent->folder : effectFolder_) / name);
        for (const std::filesystem::path& folder : folders_)
            candidates.push_back(folder / name);
    }
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code status;
        if (!std::filesystem::is_regular_file(candidate, status)) continue;
        std::ifstream stream(candidate, std::ios::binary);
        if (!stream) continue;
        open_.push_back({candidate.parent_path(),
                         std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>())});
        *ppData = open_.back().text.data();
        *pBytes = static_cast<UINT>(open_.back().text.size());
        opened_.push_back(std::string(pFileName) + " -> " + candidate.lexically_normal().string());
        return S_OK;
    }
    return E_FAIL;
}

HRESULT IncludeFolders::Close(LPCVOID pData) {
    const auto file =
        std::find_if(open_.begin(), open_.end(), [&](const OpenFile& open) { return open.text.data() == pData; });
    if (file == open_.end()) return E_INVALIDARG;
    open_.erase(file);
    return S_OK;
}

}  // namespace FxCheck
