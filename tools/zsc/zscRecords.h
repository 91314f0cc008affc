// The compiled form of a script class as it is stored: the class chunk with its
// function records, parameter values and byte-code bodies. The emitter fills
// these; the writer stores them and the disassembler reads them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zun::zsc {

// A stored script value (parameter defaults and the items of array defaults).
struct ValueRecord {
    uint8_t Typ = 0;      // 0 var .. 7 object
    std::string Name;     // Windows-1252
    bool Bool = false;    // Typ 1
    uint8_t Byte = 0;     // Typ 2
    int32_t Long = 0;     // Typ 3
    float Single = 0;     // Typ 4
    std::string Text;     // Typ 0 (text form) and 5
    std::vector<ValueRecord> Items;  // Typ 6
};

struct FunctionRecord {
    std::string Name;
    bool Super = false;
    std::vector<ValueRecord> Params;
    std::vector<uint8_t> Body;
};

struct ClassRecord {
    std::string Name;
    std::vector<std::string> Parents;  // in order
    std::vector<FunctionRecord> Functions;
    FunctionRecord Init;               // the initialiser: empty name
};

// The engine's names of the value types, by type code.
const char* TypeName(uint8_t typ);

}  // namespace zun::zsc
