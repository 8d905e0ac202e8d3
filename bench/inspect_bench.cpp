// Times lkm::inspect over a synthetic engine whose code section is 32 MiB of
// code-like filler with the engine shapes embedded, against one memchr pass per
// Image::find call that inspect makes (each pass counts the signature's first
// byte over the code section). Prints the ratio of the two, and inspect's peak
// heap use relative to the image size, measured by counting operator new.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "code_filler.hpp"
#include "engine_image.hpp"
#include "heap_peak.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/inspect.hpp"
#include "lkm/signatures.hpp"
#include "memchr_lead.hpp"

namespace {

constexpr uint32_t codeSize = 32u << 20;

// The signature searches of lkm::inspect (now one Image::findEach pass), as the
// separate Image::find calls it once made, each costed as one memchr pass: steps
// 1 to 4, lkm::cvarConstructor for r_xres, r_yres and r_fov, the setter
// prologues, the fullscreen construction site.
struct Search {
    std::string name;
    const char* signature;
};
std::vector<Search> searches() {
    std::vector<Search> out;
    for (const lkm::signature::Listed& listed : lkm::signature::all) {
        if (listed.text != lkm::signature::intCvarConstruction.text) {
            out.push_back({listed.name, listed.text});
            continue;
        }
        for (const char* cvar : {lkm::cvar::name::xres, lkm::cvar::name::yres, lkm::cvar::name::fov})
            out.push_back({std::string(listed.name) + "/" + cvar, listed.text});
    }
    return out;
}

void inspect(benchmark::State& state, const lkm::Image* image) {
    for (auto _ : state) {
        lkm::Layout layout = lkm::inspect(*image);
        benchmark::DoNotOptimize(layout.setters.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * codeSize);
}

// Console output as usual, plus the per-iteration times (ms) summed by kind.
struct Times {
    double real = 0, cpu = 0;
};

class TotalsReporter : public benchmark::ConsoleReporter {
public:
    Times inspectStock, inspectPatched, memchrTotal;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string name = run.benchmark_name();
            Times* kind = name == "inspect/stock"            ? &inspectStock
                          : name == "inspect/earlierPatched" ? &inspectPatched
                          : name.rfind("memchr/", 0) == 0    ? &memchrTotal
                                                             : nullptr;
            if (!kind) continue;
            kind->real += run.GetAdjustedRealTime() * toMs;
            kind->cpu += run.GetAdjustedCPUTime() * toMs;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// Heap bytes held at the peak of one lkm::inspect call, beyond what was live before it.
std::size_t inspectPeak(const lkm::Image& image) {
    const std::size_t before = lkm::bench::liveHeap();
    lkm::bench::resetHeapPeak();
    {
        const lkm::Layout layout = lkm::inspect(image);
        benchmark::DoNotOptimize(layout.setters.data());
    }
    return lkm::bench::heapPeak() - before;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const lkm::test::EngineImage engine =
        lkm::test::makeEngineImage(lkm::test::largeEngineConfig(codeSize), lkm::filler::codeFiller(codeSize));
    const lkm::Image stock = engine.image();
    const lkm::Image patched = engine.earlierPatched().image();
    const std::string failure = lkm::test::layoutDifferences(lkm::inspect(stock), engine.expectedLayout());
    if (!failure.empty()) {
        std::fprintf(stderr, "inspect found another layout: %s\n", failure.c_str());
        return 1;
    }
    const uint32_t code = engine.places.code;

    benchmark::RegisterBenchmark("inspect/stock", inspect, &stock)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("inspect/earlierPatched", inspect, &patched)->Unit(benchmark::kMillisecond);
    const std::vector<Search> memchrPasses = searches();
    for (const Search& s : memchrPasses)
        benchmark::RegisterBenchmark(("memchr/" + s.name).c_str(), lkm::bench::memchrLead, &stock, code,
                                     codeSize, s.signature)
            ->Unit(benchmark::kMillisecond);

    TotalsReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& r = reporter;
    if (r.memchrTotal.real > 0 && r.memchrTotal.cpu > 0) {
        const std::size_t passes = memchrPasses.size();
        const std::pair<const char*, double Times::*> kinds[] = {{"real", &Times::real},
                                                                 {"CPU ", &Times::cpu}};
        for (const auto& [label, time] : kinds) {
            const double base = r.memchrTotal.*time;
            std::printf(
                "%s time: inspect stock %.3f ms, earlier-patched %.3f ms; %zu memchr passes %.3f ms\n", label,
                r.inspectStock.*time, r.inspectPatched.*time, passes, base);
            std::printf("%s ratio: stock %.3f, earlier-patched %.3f (target at most 0.4)\n", label,
                        r.inspectStock.*time / base, r.inspectPatched.*time / base);
        }
    }
    const double size = double(stock.bytes.size());
    std::printf("peak heap of inspect beyond the image: stock %.3f x image size, earlier-patched %.3f x "
                "(image %.1f MiB)\n",
                double(inspectPeak(stock)) / size, double(inspectPeak(patched)) / size, size / (1 << 20));
    benchmark::Shutdown();
    return 0;
}
