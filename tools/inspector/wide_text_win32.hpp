// UTF-8 inside the inspector, UTF-16 at the Windows calls (lkm::windows::narrowed
// the other way), and the system's own sentence for an error code.
#pragma once

#include <windows.h>

#include <string>

namespace lkm::inspector {

std::wstring widened(const std::string& utf8);
// FormatMessage's text for `code`, in the user's language, without the line break.
std::string systemMessage(DWORD code);

} // namespace lkm::inspector
