// A structural check of DirectX .x data, text or binary: the header, a well-formed token stream,
// templates as the .x grammar writes them, balanced braces, and for the templates the mesh loader
// reads, counts that agree with the data that follows and indices inside their arrays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// Where a token starts in a text file, both counted from 1; 0 in binary files, which have no lines.
struct XPosition {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
};

struct XNumber {
    double value = 0;
    bool integer = false;  // written as a whole number (text) or from an integer list (binary)
    XPosition position;
};

// One data object: its values in file order, its child objects and the names it refers to.
struct XObject {
    std::string type;
    std::string name;
    std::vector<XNumber> numbers;
    std::vector<std::string> strings;
    std::vector<XObject> children;
    std::vector<std::string> references;
    XPosition position;  // its type name
    XPosition end;       // its closing brace
};

// The file's top-level data objects when the file is well formed; otherwise false, and `error`
// says what is wrong, in a text file after the line and column it found ("line 12, column 3: ...").
bool ReadXFile(const void* data, std::size_t size, std::vector<XObject>& objects, std::string& error);

// True when the file is well formed; otherwise `error` says what is wrong.
bool CheckXFileStructure(const void* data, std::size_t size, std::string& error);

}  // namespace nvesk::d3dx9
