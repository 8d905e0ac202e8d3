#include "pin.hpp"

#include <stdexcept>
#include <windows.h>

namespace lkm::plugin {

void pinModule() {
    // GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN (5): the module
    // named by an address inside it, here this very function. The handle is not needed.
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN;
    static_assert(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS + GET_MODULE_HANDLE_EX_FLAG_PIN == 5);
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&pinModule), &module))
        throw std::runtime_error("Cannot pin the plugin module.");
}

} // namespace lkm::plugin
