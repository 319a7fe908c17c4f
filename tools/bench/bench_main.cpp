// quelder_bench: the control's speed and size, each figure against a baseline
// measured in the same run (medians of repeated timings, so that the
// machine's noise cancels).
//
//   quelder_bench [--quick] [--only NAME] path\to\Quelder.ocx
//
// --quick: fewer repetitions (for CI); the figures in the README come from a
// full run. --only runs one benchmark: paint, move, dispatch, instances,
// memory, board-class, drag, play or look.
#include <objbase.h>

#include <cstdio>
#include <string>
#include <utility>

#include "bench_support.hpp"
#include "support/win_test_support.hpp"

int main() {
    using namespace quelder::bench;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    std::wstring path, only;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--quick")
            options.quick = true;
        else if (arg == L"--only" && i + 1 < argc)
            only = argv[++i];
        else
            path = arg;
    }
    LocalFree(argv);
    if (path.empty()) {
        std::printf("usage: quelder_bench [--quick] [--only NAME] path\\to\\Quelder.ocx\n");
        return 2;
    }
    if (path[0] == L'/') path = L"Z:" + path;
    for (auto& ch : path)
        if (ch == L'/') ch = L'\\';
    if (options.quick) options.repetitions = 5;

    quelder::testing::ComApartment com;
    CheckHr(com.hr, "CoInitializeEx");
    {
        const Ocx ocx(path);
        std::printf("Quelder benchmark (%s run, medians of %d repetitions)\n\n", options.quick ? "quick" : "full",
                    options.repetitions);
        using Benchmark = void (*)(const Options&, const Ocx&);
        static constexpr std::pair<const wchar_t*, Benchmark> kBenchmarks[] = {
            {L"paint", PaintBenchmark},         {L"move", MoveBenchmark},
            {L"dispatch", DispatchBenchmark},   {L"instances", InstancesBenchmark},
            {L"memory", BoardMemoryBenchmark},  {L"board-class", BoardClassBenchmark},
            {L"drag", DragBenchmark},           {L"play", PlayBenchmark},
            {L"look", LookBenchmark}};
        bool first = true;
        for (const auto& [name, run] : kBenchmarks) {
            if (!only.empty() && only != name) continue;
            if (!first) std::printf("\n");
            first = false;
            run(options, ocx);
        }
        if (first) {
            std::printf("no benchmark is called %ls\n", only.c_str());
            return 2;
        }
    }
    std::printf("\nbenchmark complete\n");
    std::fflush(stdout);
    return 0;
}
