// Loading benchmark: QVMOD's load_mod against libxmp on the same MOD, S3M and XM files (made by the writers).
#include <benchmark/benchmark.h>
#include <xmp.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "module_writers.h"
#include "qvmod.h"

namespace {

struct BenchFile {
    const char *label;
    std::string path;
    size_t bytes;
};

std::vector<BenchFile> &files()
{
    static std::vector<BenchFile> list;
    return list;
}

void save(const char *label, const std::string &path, const ModuleImage &img)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(img.data()), static_cast<std::streamsize>(img.size()));
    files().push_back({label, path, img.size()});
}

void make_files()
{
    const std::string dir = "/tmp/qvmod-load-bench-";
    // Sizes of real modules: tens to hundreds of kilobytes, dozens of patterns, many samples.
    save("MOD 4ch 32 patterns", dir + "a.mod", write_mod(realistic_mod(1, 32, 4, 120000)));
    save("MOD 8ch 48 patterns", dir + "b.mod", write_mod(realistic_mod(2, 48, 8, 250000)));
    save("S3M 8ch 40 patterns", dir + "c.s3m", write_s3m(realistic_s3m(3, 40, 8, 150000)));
    save("S3M 16ch 60 patterns", dir + "d.s3m", write_s3m(realistic_s3m(4, 60, 16, 300000)));
    save("XM 8ch 40 patterns", dir + "e.xm", write_xm(realistic_xm(5, 40, 8, 16, 150000)));
    save("XM 16ch 64 patterns", dir + "f.xm", write_xm(realistic_xm(6, 64, 16, 32, 400000)));
}

void BM_qvmod(benchmark::State &state, size_t index)
{
    const BenchFile &f = files()[index];
    for (auto _ : state) {
        QVMOD *m = load_mod(f.path.c_str());
        if (!m) {
            state.SkipWithError(qvmod_error);
            break;
        }
        destroy_mod(m);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["KB"] = static_cast<double>(f.bytes) / 1024.0;
}

void BM_libxmp(benchmark::State &state, size_t index)
{
    const BenchFile &f = files()[index];
    xmp_context c = xmp_create_context();
    for (auto _ : state) {
        if (xmp_load_module(c, const_cast<char *>(f.path.c_str())) != 0) {
            state.SkipWithError("libxmp could not load the file");
            break;
        }
        xmp_release_module(c);
    }
    xmp_free_context(c);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes));
    state.counters["KB"] = static_cast<double>(f.bytes) / 1024.0;
}

} // namespace

int main(int argc, char **argv)
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    make_files();
    for (size_t i = 0; i < files().size(); i++) {
        const std::string name = files()[i].label;
        benchmark::RegisterBenchmark(("qvmod/" + name).c_str(), BM_qvmod, i)->Repetitions(5)->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(("libxmp/" + name).c_str(), BM_libxmp, i)->Repetitions(5)->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const BenchFile &f : files()) std::remove(f.path.c_str());
    return 0;
}
