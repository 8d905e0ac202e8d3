// The INI option parser on hostile values: it never crashes, and it accepts
// exactly the values the rules accept, with the same value, and refuses every
// other one with the rule's sentence.
#include <stdexcept>
#include <string>

#include "bodies.hpp"
#include "check.hpp"
#include "option_input.hpp"
#include "option_reference.hpp"
#include "options.hpp"

namespace lkm::fuzz {

int option(const uint8_t* data, std::size_t size) {
    constexpr int defaultValue = 7;
    const option_input::Value input = option_input::decode(data, size);
    const lkm::plugin::test::OptionVerdict expected =
        lkm::plugin::test::expectedOption(input.buffer, input.count, defaultValue);
    try {
        const int value = lkm::plugin::parseOptionValue(input.buffer, input.count, defaultValue);
        LKMFUZZ_CHECK(expected.error.empty(),
                      "the parser refuses every value the rules refuse (" + expected.error + ")");
        LKMFUZZ_CHECK(value == expected.value, "an accepted value reads as the rules read it");
    } catch (const std::exception& error) {
        LKMFUZZ_CHECK(typeid(error) == typeid(std::runtime_error) && expected.error == error.what(),
                      "the parser refuses exactly what the rules refuse, with their sentence; got " +
                          describe(error) + ", expected \"" + expected.error + "\"");
    }
    return 0;
}

} // namespace lkm::fuzz
