#include "hooks.hpp"

#include "enforce.hpp"

namespace lwf {

template <int N>
bool LKM_FASTCALL setHook(void* object, void* passThrough, unsigned value) {
    const bool result = originalSetters[N](object, passThrough, value);
    if (result && active) enforce(object);
    return result;
}

template bool LKM_FASTCALL setHook<0>(void*, void*, unsigned);
template bool LKM_FASTCALL setHook<1>(void*, void*, unsigned);
template bool LKM_FASTCALL setHook<2>(void*, void*, unsigned);
template bool LKM_FASTCALL setHook<3>(void*, void*, unsigned);
template bool LKM_FASTCALL setHook<4>(void*, void*, unsigned);

const std::array<Setter, 5> hooks = {&setHook<0>, &setHook<1>, &setHook<2>, &setHook<3>, &setHook<4>};

std::array<uint32_t, 5> hookAddresses() {
    std::array<uint32_t, 5> addresses{};
    for (std::size_t k = 0; k < hooks.size(); ++k)
        addresses[k] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hooks[k]));
    return addresses;
}

} // namespace lwf
