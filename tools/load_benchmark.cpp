// SPDX-License-Identifier: MIT
// Loading benchmark: QVMOD's load_mod against libxmp, libopenmpt and libmikmod on the same MOD, S3M and XM files.
#include <benchmark/benchmark.h>
#include <xmp.h>
#ifdef QVMOD_BENCH_OPENMPT
#include <libopenmpt/libopenmpt.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "module_writers.h"
#include "qvmod.h"
#ifdef QVMOD_BENCH_MIKMOD
#include "load_benchmark_mikmod.h"
#endif

namespace {

struct BenchFile {
    const char *format;
    const char *label;
    std::string path;
    size_t bytes;
};

std::vector<BenchFile> &files()
{
    static std::vector<BenchFile> list;
    return list;
}

void save(const char *format, const char *label, const std::string &path, const ModuleImage &img)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(img.data()), static_cast<std::streamsize>(img.size()));
    files().push_back({format, label, path, img.size()});
}

void make_files()
{
    const std::string dir = "/tmp/qvmod-load-bench-";
    // Sizes of real modules: tens to hundreds of kilobytes, dozens of patterns, many samples.
    save("MOD", "MOD 4ch 32 patterns", dir + "a.mod", write_mod(realistic_mod(1, 32, 4, 120000)));
    save("MOD", "MOD 8ch 48 patterns", dir + "b.mod", write_mod(realistic_mod(2, 48, 8, 250000)));
    save("S3M", "S3M 8ch 40 patterns", dir + "c.s3m", write_s3m(realistic_s3m(3, 40, 8, 150000)));
    save("S3M", "S3M 16ch 60 patterns", dir + "d.s3m", write_s3m(realistic_s3m(4, 60, 16, 300000)));
    save("XM", "XM 8ch 40 patterns", dir + "e.xm", write_xm(realistic_xm(5, 40, 8, 16, 150000)));
    save("XM", "XM 16ch 64 patterns", dir + "f.xm", write_xm(realistic_xm(6, 64, 16, 32, 400000)));
}

void count_bytes(benchmark::State &state, const BenchFile &f)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["KB"] = static_cast<double>(f.bytes) / 1024.0;
}

void BM_qvmod(benchmark::State &state, const BenchFile &f)
{
    for (auto _ : state) {
        QVMOD *m = load_mod(f.path.c_str());
        if (!m) {
            state.SkipWithError(qvmod_error);
            break;
        }
        destroy_mod(m);
    }
    count_bytes(state, f);
}

void BM_libxmp(benchmark::State &state, const BenchFile &f)
{
    xmp_context c = xmp_create_context();
    for (auto _ : state) {
        if (xmp_load_module(c, const_cast<char *>(f.path.c_str())) != 0) {
            state.SkipWithError("libxmp could not load the file");
            break;
        }
        xmp_release_module(c);
    }
    xmp_free_context(c);
    count_bytes(state, f);
}

#ifdef QVMOD_BENCH_OPENMPT
// libopenmpt loads from memory; reading the file is part of every load, as it is for the others.
void BM_libopenmpt(benchmark::State &state, const BenchFile &f)
{
    std::vector<char> data;
    for (auto _ : state) {
        std::ifstream in(f.path, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        openmpt_module *m =
            openmpt_module_create_from_memory2(data.data(), data.size(), nullptr, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr);
        if (!m) {
            state.SkipWithError("libopenmpt could not load the file");
            break;
        }
        openmpt_module_destroy(m);
    }
    count_bytes(state, f);
}
#endif

#ifdef QVMOD_BENCH_MIKMOD
bool mikmod_ready = false;

void BM_libmikmod(benchmark::State &state, const BenchFile &f)
{
    for (auto _ : state) {
        if (const char *error = mikmod_load_and_free(f.path.c_str())) {
            state.SkipWithError(error);
            break;
        }
    }
    count_bytes(state, f);
}
#endif

// Console output plus, at the end, each format's summed medians: QVMOD against every peer.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.aggregate_name != "median") continue;
            const std::string name = r.run_name.function_name;
            const std::string library = name.substr(0, name.find('/'));
            const std::string format =
                name.substr(name.find('/') + 1, name.find(' ') - name.find('/') - 1);
            medians_[format][library] += r.GetAdjustedRealTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf(
            "\nSummed medians per format (us), and QVMOD's time as a share of each peer's:\n");
        for (const auto &[format, libs] : medians_) {
            const auto own = libs.find("qvmod");
            if (own == libs.end()) continue;
            std::printf("%-4s qvmod %8.1f", format.c_str(), own->second / 1000.0);
            for (const auto &[lib, t] : libs)
                if (lib != "qvmod")
                    std::printf("   %s %8.1f (%.2fx)", lib.c_str(), t / 1000.0, own->second / t);
            std::printf("\n");
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> medians_;
};

void add(const std::string &library, void (*fn)(benchmark::State &, const BenchFile &),
         const BenchFile &f)
{
    constexpr int kRepetitions = 5;
    benchmark::RegisterBenchmark((library + "/" + f.label).c_str(), fn, f)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char **argv)
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
#ifdef QVMOD_BENCH_MIKMOD
    mikmod_ready = mikmod_start();
#endif
    make_files();
    for (const BenchFile &f : files()) {
        add("qvmod", BM_qvmod, f);
        add("libxmp", BM_libxmp, f);
#ifdef QVMOD_BENCH_OPENMPT
        add("libopenmpt", BM_libopenmpt, f);
#endif
#ifdef QVMOD_BENCH_MIKMOD
        if (mikmod_ready) add("libmikmod", BM_libmikmod, f);
#endif
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
#ifdef QVMOD_BENCH_MIKMOD
    if (mikmod_ready) mikmod_stop();
#endif
    for (const BenchFile &f : files()) std::remove(f.path.c_str());
    return 0;
}
