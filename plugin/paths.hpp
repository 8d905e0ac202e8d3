// The files that lie beside the plug-in module: its INI and its log.
#pragma once

#include <string>

namespace lkm::plugin {

// The path of the file beside `path` that shares its name and carries `extension`
// (".ini", ".log"): everything up to the file name's last full stop, then the
// extension. A file name without any full stop throws "Invalid plugin filename.".
std::wstring sibling(const std::wstring& path, const wchar_t* extension);

} // namespace lkm::plugin
