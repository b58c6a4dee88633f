// copytree SOURCE DESTINATION: copies the contents of SOURCE into the existing
// DESTINATION with CCopyEngine, shows progress on stderr and ends with one
// summary line on stdout.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "CopyEngine.h"

namespace {

// COPYTREE_INJECT=SEED,PERMILLE fails about that many of every thousand of
// the engine's requests (reads, writes and the other steps of a file), for
// stress runs. Removing a failed file is never failed.
class InjectingObserver : public ICopyIoObserver {
public:
    InjectingObserver(uint32_t seed, uint32_t permille) : seed_(seed), permille_(permille) {}

    uint32_t OnIoRequest(const CopyIoRequest& request) override {
        if (request.step == CopyIoStep::DiscardPartial)
            return 0;
        uint32_t x = seed_ ^ (count_.fetch_add(1) * 2654435761u);
        x ^= x >> 16;
        x *= 0x7feb352du;
        x ^= x >> 15;
        if (x % 1000 >= permille_)
            return 0;
        return request.step == CopyIoStep::Read ? ERROR_CRC : ERROR_WRITE_FAULT;
    }

private:
    uint32_t seed_;
    uint32_t permille_;
    std::atomic<uint32_t> count_{0};
};

std::unique_ptr<InjectingObserver> InjectorFromEnvironment() {
    const char* setting = getenv("COPYTREE_INJECT");
    unsigned long seed = 0, permille = 0;
    if (!setting || sscanf(setting, "%lu,%lu", &seed, &permille) != 2 || permille == 0)
        return nullptr;
    return std::unique_ptr<InjectingObserver>(new InjectingObserver(uint32_t(seed), uint32_t(permille)));
}

struct LocalFreer {
    void operator()(wchar_t** p) const { LocalFree(p); }
};

bool RunComplete(const CopyProgress& p) {
    return p.runEnded && p.errors == 0 && p.bytesDone == p.bytesTotal;
}

} // namespace

int main() {
    int argc = 0;
    std::unique_ptr<wchar_t*, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv || argc != 3) {
        fprintf(stderr, "usage: copytree SOURCE DESTINATION\n"
                        "Copies the contents of SOURCE (a directory, or one file) into the existing\n"
                        "directory DESTINATION. Exit code 0 when every file was copied completely.\n");
        return 2;
    }
    CCopyEngine engine;
    std::unique_ptr<InjectingObserver> injector = InjectorFromEnvironment();
    engine.SetIoObserver(injector.get());
    // COPYTREE_IDLE_MS=N waits N ms, untimed, between building the engine and
    // starting the copy, as Movara's user does between its first paint and
    // the click on the button (the engine readies its ring meanwhile).
    if (const char* idle = getenv("COPYTREE_IDLE_MS")) {
        engine.PrepareRing();
        Sleep(DWORD(strtoul(idle, nullptr, 10)));
    }
    LARGE_INTEGER frequency, started, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    engine.AddJob(argv.get()[1], argv.get()[2]);

    // The end is looked for every 20 ms so that `seconds` is not rounded up to
    // the 200 ms of the progress display.
    CopyProgress progress = {};
    for (unsigned tick = 0;; ++tick) {
        engine.GetProgress(&progress);
        if (progress.runEnded)
            break;
        Sleep(20);
        if (tick % 10 != 0)
            continue;
        double percent = progress.bytesTotal ? 100.0 * double(progress.bytesDone) / double(progress.bytesTotal) : 0.0;
        fprintf(stderr, "\r%5.1f%%  files %u/%u  %llu/%llu bytes  %.1f MiB/s  errors %u   ", percent,
                progress.filesCopied, progress.filesTotal, static_cast<unsigned long long>(progress.bytesDone),
                static_cast<unsigned long long>(progress.bytesTotal), progress.averageSpeed, progress.errors);
    }
    QueryPerformanceCounter(&now);
    double seconds = double(now.QuadPart - started.QuadPart) / double(frequency.QuadPart);
    fprintf(stderr, "\r%-79s\r", "");
    printf("files_total=%u files_copied=%u errors=%u bytes_total=%llu bytes_done=%llu seconds=%.3f\n",
           progress.filesTotal, progress.filesCopied, progress.errors,
           static_cast<unsigned long long>(progress.bytesTotal), static_cast<unsigned long long>(progress.bytesDone),
           seconds);
    fflush(stdout);
    return RunComplete(progress) ? 0 : 1;
}
