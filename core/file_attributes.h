// The extended attributes of an open file (capabilities, ACLs, user attributes, security labels),
// read whole so that a save can carry them to a new copy or give them back after writing.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ExtendedAttribute {
    std::string name;
    std::vector<char> value;
};

bool operator==(const ExtendedAttribute& left, const ExtendedAttribute& right);

// Sorted by name.
using ExtendedAttributes = std::vector<ExtendedAttribute>;

// Every extended attribute of an open file that this process can see: nothing when one of them
// cannot be read, an empty list on a file system that has none.
[[nodiscard]] std::optional<ExtendedAttributes> ReadAttributes(int descriptor);
// Gives the file each of `wanted` that it lacks or holds with another value.
[[nodiscard]] bool AddAttributes(int descriptor, const ExtendedAttributes& wanted);
// Makes the file's extended attributes exactly `wanted`: what it has and `wanted` lacks goes (a
// default ACL that a folder gave a new file, say), and whatever `wanted` has is added.
[[nodiscard]] bool CarryAttributes(int descriptor, const ExtendedAttributes& wanted);
