#include "platform/rtl/Paths.h"

#include <algorithm>

std::string NativePath(std::string_view name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
