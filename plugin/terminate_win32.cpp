// The C++ runtime's last resort, when an exception escapes where none may: the
// plug-in's own handler ends the process as the runtime's would, without the
// message the runtime's prints to a console (a game has none to read it) and so
// without the symbol demangler that message needs, which is a tenth of the .asi.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
