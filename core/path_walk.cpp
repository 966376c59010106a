#include "core/path_walk.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// As many links as the kernel follows in one name.
constexpr int LINK_LIMIT = 40;

std::optional<WalkedPath> Refuse(int error) {
    errno = error;
    return std::nullopt;
}

// The names between the slashes. A trailing slash asks for a folder, so it becomes a last ".".
std::vector<std::string> Components(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t slash = std::min(text.find('/', start), text.size());
        if (slash > start) {
            parts.push_back(text.substr(start, slash - start));
        }
        start = slash + 1;
    }
    if (parts.empty() || text.back() == '/') {
        parts.emplace_back(".");
    }
    return parts;
}

bool TrustedLink(const struct stat& link) {
    return link.st_uid == geteuid() || link.st_uid == 0;
}

std::optional<std::string> LinkText(int link) {
    std::string text(PATH_MAX, '\0');
    const ssize_t length = readlinkat(link, "", text.data(), text.size());
    if (length < 0) {
        return std::nullopt;
    }
    if (static_cast<std::size_t>(length) >= text.size()) {
        errno = ENAMETOOLONG;
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::optional<WalkedPath> Walk(int start, const std::string& text, int& links);

// Follows the link `link` found in `folder`: where it leads, judged by the rule above.
std::optional<WalkedPath> FollowLink(int folder, int link, const struct stat& status, int& links) {
    if (++links > LINK_LIMIT) {
        return Refuse(ELOOP);
    }
    const std::optional<std::string> text = LinkText(link);
    if (!text || text->empty()) {
        return text ? Refuse(ENOENT) : std::nullopt;
    }
    std::optional<WalkedPath> reached = Walk(folder, *text, links);
    if (reached && !TrustedLink(status)) {
        if (!reached->exists || reached->status.st_uid != status.st_uid) {
            return Refuse(EACCES);
        }
        reached->requiredOwners.push_back(status.st_uid);
    }
    return reached;
}

std::optional<WalkedPath> Walk(int start, const std::string& text, int& links) {
    FileDescriptor folder(
        openat(start, text.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return std::nullopt;
    }
    const std::vector<std::string> parts = Components(text);
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const bool last = index + 1 == parts.size();
        FileDescriptor node(
            openat(folder.get(), parts[index].c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!node.valid()) {
            if (last && errno == ENOENT) {
                WalkedPath missing;
                missing.folder = std::move(folder);
                missing.entry = parts[index];
                return missing;
            }
            return std::nullopt;
        }
        struct stat status {};
        if (fstat(node.get(), &status) != 0) {
            return std::nullopt;
        }
        if (S_ISLNK(status.st_mode)) {
            std::optional<WalkedPath> reached = FollowLink(folder.get(), node.get(), status, links);
            if (!reached || last) {
                if (reached) {
                    reached->nameIsLink = true;
                }
                return reached;
            }
            if (!reached->exists) {
                return Refuse(ENOENT);
            }
            // On from the folder the link led to, which must still be the one judged.
            node = FileDescriptor(openat(reached->folder.get(), reached->entry.c_str(),
                                         O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
            if (!node.valid() || fstat(node.get(), &status) != 0) {
                return std::nullopt;
            }
            if (!OwnerAllowed(*reached, status.st_uid)) {
                return Refuse(EACCES);
            }
        }
        if (last) {
            WalkedPath found;
            found.folder = std::move(folder);
            found.entry = parts[index];
            found.exists = true;
            found.status = status;
            return found;
        }
        if (!S_ISDIR(status.st_mode)) {
            return Refuse(ENOTDIR);
        }
        folder = std::move(node);
    }
    return Refuse(ENOENT);
}

} // namespace

std::optional<WalkedPath> WalkPath(const std::string& path) {
    if (path.empty()) {
        return Refuse(ENOENT);
    }
    int links = 0;
    return Walk(AT_FDCWD, path, links);
}

bool OwnerAllowed(const WalkedPath& walked, uid_t owner) {
    for (const uid_t required : walked.requiredOwners) {
        if (required != owner) {
            return false;
        }
    }
    return true;
}
