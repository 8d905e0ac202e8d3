// Times Image::find for each engine signature over a 32 MiB executable section
// of code-like filler, and a plain memchr pass that counts the signature's lead
// byte over the same bytes. The ratio of the two totals is printed at the end.
// Image::findEach for all of them at once, as recognition searches, runs beside.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "code_filler.hpp"
#include "lkm/image.hpp"
#include "lkm/signatures.hpp"
#include "memchr_lead.hpp"
#include "pe_builder.hpp"

namespace {

constexpr uint32_t code = 0x1000;
constexpr uint32_t codeSize = 32u << 20;

using Signature = lkm::signature::Listed;
constexpr const auto& signatures = lkm::signature::all;

lkm::Image makeImage(const std::vector<uint8_t>& filler) {
    lkm::test::PeBuilder pe(code + codeSize + 0x1000);
    pe.section(".text", code, codeSize, lkm::test::codeSection)
        .section(".idata", code + codeSize, 0x1000, lkm::test::rdataSection);
    pe.imports(code + codeSize, {{"KERNEL32.dll", {"Sleep"}}});
    pe.bytes(code, filler);
    return pe.image();
}

void find(benchmark::State& state, const lkm::Image* image, const char* text) {
    std::size_t matches = 0;
    for (auto _ : state) {
        const std::vector<uint32_t> found = image->find(text);
        matches = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["matches"] = double(matches);
    state.SetBytesProcessed(int64_t(state.iterations()) * codeSize);
}

void findEach(benchmark::State& state, const lkm::Image* image) {
    std::vector<std::string> texts;
    for (const Signature& s : signatures) texts.push_back(s.text);
    for (auto _ : state) {
        const std::vector<std::vector<uint32_t>> found = image->findEach(texts);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * codeSize);
}

// Console output as usual, plus the sums of the per-iteration times of both kinds.
class TotalsReporter : public benchmark::ConsoleReporter {
public:
    double findTotal = 0, memchrTotal = 0;       // real time, ms
    double findCpuTotal = 0, memchrCpuTotal = 0; // CPU time, ms

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const double real = run.GetAdjustedRealTime() * toMs, cpu = run.GetAdjustedCPUTime() * toMs;
            const std::string name = run.benchmark_name();
            if (name.rfind("find/", 0) == 0) {
                findTotal += real;
                findCpuTotal += cpu;
            } else if (name.rfind("memchr/", 0) == 0) {
                memchrTotal += real;
                memchrCpuTotal += cpu;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // The filler keeps its own list of lead bytes; every signature's lead must be on it.
    for (const Signature& s : signatures) {
        const auto lead = uint8_t(std::stoul(std::string(s.text, 2), nullptr, 16));
        if (std::find(std::begin(lkm::filler::signatureLeads), std::end(lkm::filler::signatureLeads), lead) ==
            std::end(lkm::filler::signatureLeads)) {
            std::fprintf(stderr, "the filler does not hold the lead byte of %s in every window\n", s.name);
            return 1;
        }
    }
    const std::vector<uint8_t> filler = lkm::filler::codeFiller(codeSize);
    if (!lkm::filler::fillerWindowHolds(filler)) {
        std::fprintf(stderr, "filler lacks a signature lead byte in some 100-byte window\n");
        return 1;
    }
    const lkm::Image image = makeImage(filler);

    for (const Signature& s : signatures)
        benchmark::RegisterBenchmark((std::string("find/") + s.name).c_str(), find, &image, s.text)
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("findEach/all", findEach, &image)->Unit(benchmark::kMillisecond);
    for (const Signature& s : signatures)
        benchmark::RegisterBenchmark((std::string("memchr/") + s.name).c_str(), lkm::bench::memchrLead,
                                     &image, code, codeSize, s.text)
            ->Unit(benchmark::kMillisecond);

    TotalsReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.findTotal > 0 && reporter.memchrTotal > 0) {
        std::printf("real time: find total %.3f ms, memchr total %.3f ms, ratio %.3f\n", reporter.findTotal,
                    reporter.memchrTotal, reporter.findTotal / reporter.memchrTotal);
        std::printf("CPU time:  find total %.3f ms, memchr total %.3f ms, ratio %.3f\n",
                    reporter.findCpuTotal, reporter.memchrCpuTotal,
                    reporter.findCpuTotal / reporter.memchrCpuTotal);
    }
    benchmark::Shutdown();
    return 0;
}
