#include "memchr_lead.hpp"

#include <cstring>
#include <string>

namespace lkm::bench {

void memchrLead(benchmark::State& state, const lkm::Image* image, uint32_t code, uint32_t length,
                const char* signature) {
    const int lead = int(std::stoul(std::string(signature, 2), nullptr, 16));
    const uint8_t* begin = image->bytes.direct(code, length);
    const uint8_t* end = begin + length;
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const uint8_t* p = begin; p < end; ++p) {
            p = static_cast<const uint8_t*>(std::memchr(p, lead, std::size_t(end - p)));
            if (!p) break;
            ++hits;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
    state.SetBytesProcessed(int64_t(state.iterations()) * length);
}

} // namespace lkm::bench
