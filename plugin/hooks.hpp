// The five setter replacements that the redirected engine setters jump to.
#pragma once

#include <array>
#include <cstdint>

#include "globals.hpp"

namespace lkm::plugin {

// Replacement of engine setter N, with the setter's own convention (object in
// ECX, passThrough in EDX, value on the stack and removed on return): runs the
// engine's setter through gateway N, then enforces the configured value on the
// object when the setter succeeded and enforcement is armed.
template <int N>
bool LKM_FASTCALL setHook(void* object, void* passThrough, unsigned value);

// The 32-bit addresses of hooks[0] to hooks[4], the targets of the redirections.
HookAddresses hookAddresses();

} // namespace lkm::plugin
