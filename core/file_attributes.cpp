#include "core/file_attributes.h"

#include <algorithm>
#include <cerrno>
#include <sys/xattr.h>

bool operator==(const ExtendedAttribute& left, const ExtendedAttribute& right) {
    return left.name == right.name && left.value == right.value;
}

namespace {

// Attributes can change while they are read: a list or value that grew between the size query and
// the read is asked for again, a few times.
constexpr int ATTRIBUTE_READ_TRIES = 8;

std::optional<std::vector<char>> ReadAttribute(int descriptor, const std::string& name) {
    for (int attempt = 0; attempt < ATTRIBUTE_READ_TRIES; ++attempt) {
        const ssize_t size = fgetxattr(descriptor, name.c_str(), nullptr, 0);
        if (size < 0) {
            return std::nullopt;
        }
        std::vector<char> value(static_cast<std::size_t>(size));
        const ssize_t got = fgetxattr(descriptor, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

const ExtendedAttribute* FindAttribute(const ExtendedAttributes& attributes,
                                       const std::string& name) {
    const auto found = std::find_if(
        attributes.begin(), attributes.end(),
        [&name](const ExtendedAttribute& attribute) { return attribute.name == name; });
    return found == attributes.end() ? nullptr : &*found;
}

} // namespace

std::optional<ExtendedAttributes> ReadAttributes(int descriptor) {
    std::vector<char> names;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = flistxattr(descriptor, nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP ? std::optional<ExtendedAttributes>(ExtendedAttributes{})
                                    : std::nullopt;
        }
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = flistxattr(descriptor, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE || attempt + 1 == ATTRIBUTE_READ_TRIES) {
            return std::nullopt;
        }
    }
    ExtendedAttributes attributes;
    for (auto start = names.begin(); start != names.end();) {
        const auto end = std::find(start, names.end(), '\0');
        std::string name(start, end);
        start = end == names.end() ? end : end + 1;
        if (name.empty()) {
            continue;
        }
        std::optional<std::vector<char>> value = ReadAttribute(descriptor, name);
        if (!value) {
            return std::nullopt;
        }
        attributes.push_back({std::move(name), std::move(*value)});
    }
    std::sort(attributes.begin(), attributes.end(),
              [](const ExtendedAttribute& left, const ExtendedAttribute& right) {
                  return left.name < right.name;
              });
    return attributes;
}

bool AddAttributes(int descriptor, const ExtendedAttributes& wanted) {
    const std::optional<ExtendedAttributes> held = ReadAttributes(descriptor);
    if (!held) {
        return false;
    }
    for (const ExtendedAttribute& attribute : wanted) {
        const ExtendedAttribute* same = FindAttribute(*held, attribute.name);
        if (same != nullptr && same->value == attribute.value) {
            continue; // setting a label to the value it has can still need rights
        }
        if (fsetxattr(descriptor, attribute.name.c_str(), attribute.value.data(),
                      attribute.value.size(), 0) != 0) {
            return false;
        }
    }
    return true;
}

bool CarryAttributes(int copy, const ExtendedAttributes& wanted) {
    const std::optional<ExtendedAttributes> held = ReadAttributes(copy);
    if (!held) {
        return false;
    }
    for (const ExtendedAttribute& attribute : *held) {
        if (FindAttribute(wanted, attribute.name) == nullptr &&
            fremovexattr(copy, attribute.name.c_str()) != 0) {
            return false;
        }
    }
    return AddAttributes(copy, wanted) && ReadAttributes(copy) == wanted;
}
