#pragma once
// File names as the show's data names them: a backslash separates folders,
// as on the system the data was made for. Callers keep the name exactly as
// given for messages and pass NativePath(name) to the operating system.
#include <string>
#include <string_view>

// The name with every backslash turned into the local folder separator.
std::string NativePath(std::string_view name);
