// The sentence that a std::runtime_error thrown by `f` carries, or "(none)".
#pragma once

#include <stdexcept>
#include <string>

namespace lkm::test {

template <class F>
std::string messageOf(F&& f) {
    try {
        f();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(none)";
}

} // namespace lkm::test
