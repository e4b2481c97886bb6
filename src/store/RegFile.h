#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"
#include "store/KeyTree.h"

namespace ks {

// Registry export files (.reg), as the registry editor reads and writes them,
// for the part of the tree below HKEY_LOCAL_MACHINE\SOFTWARE\Quorvel\Keystrider.
//
// Read: "Windows Registry Editor Version 5.00" in UTF-16LE with its byte order
// mark or in UTF-8, and "REGEDIT4" (8-bit: UTF-8 when the whole file is valid
// UTF-8, otherwise ISO-8859-1). Written: Version 5.00, UTF-16LE with byte
// order mark, CRLF line ends.

// One change a file asks for. `key` is relative to the store's root
// ("" for the root itself).
struct RegOperation {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    std::size_t line = 0;
    std::string key;
    std::string name;
    std::uint32_t type = kTypeBinary;
    Bytes data;
};

struct RegError {
    std::size_t line = 0;
    std::string message;
};

struct RegParse {
    std::vector<RegOperation> operations;
    std::optional<RegError> error;
    bool ok() const { return !error.has_value(); }
};

// Reads a whole file; on the first error the operations are left empty.
RegParse parseRegFile(std::string_view bytes);

// Applies the operations in one transaction: all of them, or, when one fails,
// none (the error names that operation's line). Deleting a key or value that
// does not exist is no error.
std::optional<RegError> applyRegOperations(KeyTree& tree,
                                           const std::vector<RegOperation>& operations);

// The key at `relative` (below the store's root) and everything below it:
// keys in enumeration order, each key's values in their stored order.
Expected<Bytes> exportRegFile(KeyTree& tree, std::string_view relative);

}  // namespace ks
