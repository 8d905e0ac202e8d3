// What a fuzz body does when a property fails: it names the property on stderr
// and stops the process, so that libFuzzer keeps the input as a finding and the
// replay test of the ordinary trees fails on it.
#pragma once

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "lkm/messages.hpp"

#define LKMFUZZ_CHECK(condition, property)                                                                   \
    do {                                                                                                     \
        if (!(condition)) ::lkm::fuzz::violated(property, __FILE__, __LINE__);                               \
    } while (0)

namespace lkm::fuzz {

[[noreturn]] inline void violated(const std::string& property, const char* file, int line) {
    std::fprintf(stderr, "property violated: %s (%s:%d)\n", property.c_str(), file, line);
    std::fflush(stderr);
    __builtin_trap();
}

// One of the engine's own refusals: a plain std::runtime_error (no subclass)
// carrying one of its sentences.
inline bool isRefusal(const std::exception& error) {
    return typeid(error) == typeid(std::runtime_error) && lkm::isSystemMessage(error.what());
}

// "<type>: <text>" of an exception, for the report of a violated property.
inline std::string describe(const std::exception& error) {
    return std::string(typeid(error).name()) + ": " + error.what();
}

} // namespace lkm::fuzz
