// Where the Windows tests find the binaries of the build, as Windows paths.
#pragma once

#include <string>

namespace lkm::plugin::test {

// A path of the build machine as the Windows process must name it: Wine maps the
// machine's file system to a drive, so Unix paths are translated through Wine.
std::wstring windowsPath(const char* buildPath);

std::wstring pluginPath();     // the built Larkmere.WidescreenFix.asi
std::wstring shippedIniPath(); // the default INI copied beside it
std::wstring hostPath();       // startup_host.exe

} // namespace lkm::plugin::test
