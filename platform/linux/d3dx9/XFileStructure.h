// A structural check of DirectX .x data before any importer sees it: the header, a token
// stream that is well formed (text or binary), balanced braces, and for the templates the mesh
// importer reads, counts that agree with the data that follows and indices inside their arrays.
#pragma once

#include <cstddef>
#include <string>

namespace nvesk::d3dx9 {

// True when the file is well formed; otherwise `error` says what is wrong.
bool CheckXFileStructure(const void* data, std::size_t size, std::string& error);

}  // namespace nvesk::d3dx9
