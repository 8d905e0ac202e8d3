// Keeps the plug-in module in the process for good: the setter redirections
// jump into its code, so it must never be unloaded once they can be live.
#pragma once

namespace lkm::plugin {

// Pins the module that holds the plug-in ("Cannot pin the plugin module.").
// Windows builds only.
void pinModule();

} // namespace lkm::plugin
