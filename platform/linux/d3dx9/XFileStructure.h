// A structural check of DirectX .x data, text or binary: the header, a well-formed token stream,
// templates as the .x grammar writes them, balanced braces, and for the templates the mesh loader
// reads, counts that agree with the data that follows and indices inside their arrays.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

struct XNumber {
    double value = 0;
    bool integer = false;  // written as a whole number (text) or from an integer list (binary)
};

// One data object: its values in file order, its child objects and the names it refers to.
struct XObject {
    std::string type;
    std::string name;
    std::vector<XNumber> numbers;
    std::vector<std::string> strings;
    std::vector<XObject> children;
    std::vector<std::string> references;
};

// The file's top-level data objects when the file is well formed; otherwise false, and `error`
// says what is wrong.
bool ReadXFile(const void* data, std::size_t size, std::vector<XObject>& objects, std::string& error);

// True when the file is well formed; otherwise `error` says what is wrong.
bool CheckXFileStructure(const void* data, std::size_t size, std::string& error);

}  // namespace nvesk::d3dx9
