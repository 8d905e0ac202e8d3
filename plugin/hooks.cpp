#include "hooks.hpp"

#include <utility>

#include "enforce.hpp"

namespace lkm::plugin {

template <int N>
bool LKM_FASTCALL setHook(void* object, void* passThrough, unsigned value) {
    const bool result = originalSetters[N](object, passThrough, value);
    // enforce loads `active` with acquire first and does nothing before the start-up armed it.
    if (result) enforce(object);
    return result;
}

namespace {

template <std::size_t... N>
constexpr std::array<Setter, sizeof...(N)> setHooks(std::index_sequence<N...>) {
    return {&setHook<int(N)>...};
}

} // namespace

const Setters hooks = setHooks(std::make_index_sequence<lkm::cvar::setterCount>());

HookAddresses hookAddresses() {
    HookAddresses addresses{};
    for (std::size_t k = 0; k < hooks.size(); ++k)
        addresses[k] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hooks[k]));
    return addresses;
}

} // namespace lkm::plugin
