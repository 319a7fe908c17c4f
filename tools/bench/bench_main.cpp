// quelder_bench: the control's speed and size, each figure against a baseline
// measured in the same run (medians of repeated timings, so that the
// machine's noise cancels).
//
//   quelder_bench [--quick] path\to\Quelder.ocx
//
// --quick: fewer repetitions (for CI); the figures in the README come from a
// full run.
#include <objbase.h>

#include <cstdio>
#include <string>

#include "bench_support.hpp"
#include "support/win_test_support.hpp"

int main() {
    using namespace quelder::bench;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    std::wstring path;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--quick")
            options.quick = true;
        else
            path = arg;
    }
    LocalFree(argv);
    if (path.empty()) {
        std::printf("usage: quelder_bench [--quick] path\\to\\Quelder.ocx\n");
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
        PaintBenchmark(options, ocx);
        std::printf("\n");
        MoveBenchmark(options, ocx);
        std::printf("\n");
        DispatchBenchmark(options, ocx);
        std::printf("\n");
        InstancesBenchmark(options, ocx);
        std::printf("\n");
        BoardMemoryBenchmark(options, ocx);
        std::printf("\n");
        BoardClassBenchmark(options, ocx);
        std::printf("\n");
        DragBenchmark(options, ocx);
    }
    std::printf("\nbenchmark complete\n");
    std::fflush(stdout);
    return 0;
}
