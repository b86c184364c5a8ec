#pragma once
// Paths of this Linux machine as a program under Wine names them.

#include <string>

namespace lvtest {

// "/a/b" (UTF-8) as Wine's drive Z: names it: "Z:\a\b".
std::wstring DosPathOfUnixPath(const std::string& unixPath);

} // namespace lvtest
