// copytree SOURCE DESTINATION: copies the contents of SOURCE into the existing
// DESTINATION with CCopyEngine, shows progress on stderr and ends with one
// summary line on stdout, then each failure the engine kept on stderr.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "CopyEngine.h"
#include "CrashExit.h"

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

// COPYTREE_FAULT=1 faults on a thread of its own once the copy has started,
// for the test that a fault ends copytree with its own code and line (the
// tool is not shipped).
DWORD WINAPI FaultOnPurpose(void*) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}

bool RunComplete(const CopyProgress& p) {
    return p.runEnded && p.errors == 0 && p.bytesDone == p.bytesTotal;
}

} // namespace

int main() {
    Ostra::InstallCrashExit(L"copytree: ended by a fault: exception ", L" at ", L"");
    int argc = 0;
    std::unique_ptr<wchar_t*, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv || argc != 3) {
        fprintf(stderr, "usage: copytree SOURCE DESTINATION\n"
                        "Copies the contents of SOURCE (a directory, or one file) into the existing\n"
                        "directory DESTINATION. Exit code 0 when every file was copied completely,\n"
                        "1 when not, 2 for bad arguments, 6 when it ended by a fault.\n");
        return 2;
    }
    CCopyEngine engine;
    std::unique_ptr<InjectingObserver> injector = InjectorFromEnvironment();
    // COPYTREE_VERIFY=1 reads every copy back and compares it, as Movara does.
    const char* verifySetting = getenv("COPYTREE_VERIFY");
    const bool verify = verifySetting && strcmp(verifySetting, "1") == 0;
    engine.SetVerify(verify);
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
    if (const char* fault = getenv("COPYTREE_FAULT"); fault && strcmp(fault, "1") == 0) {
        HANDLE thread = CreateThread(nullptr, 0, &FaultOnPurpose, nullptr, 0, nullptr);
        if (thread)
            WaitForSingleObject(thread, INFINITE); // the fault ends the process first
    }

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
    if (verify)
        printf("verified=%llu\n", static_cast<unsigned long long>(progress.verifyBytesDone));
    fflush(stdout);
    for (const CopyFailure& failure : engine.GetFailures()) {
        const wchar_t* path = failure.path.empty() ? L"(no path)" : failure.path.c_str();
        switch (failure.kind) {
        case CopyFailureKind::SystemError:
            fwprintf(stderr, L"failed: %ls (error %u)\n", path, failure.error);
            break;
        case CopyFailureKind::ChangedSinceCounted:
            fwprintf(stderr, L"failed: %ls (changed since it was counted)\n", path);
            break;
        case CopyFailureKind::ChangedWhileRead:
            fwprintf(stderr, L"failed: %ls (changed while it was read)\n", path);
            break;
        case CopyFailureKind::CaseTwin:
            fwprintf(stderr, L"failed: %ls (differs only in case from %ls)\n", path, failure.otherPath.c_str());
            break;
        case CopyFailureKind::DestinationIsSource:
            fwprintf(stderr, L"failed: %ls (is the source %ls itself)\n", path, failure.otherPath.c_str());
            break;
        case CopyFailureKind::DestinationInsideSource:
            fwprintf(stderr, L"failed: %ls (is the source %ls or lies inside it)\n", path, failure.otherPath.c_str());
            break;
        case CopyFailureKind::DestinationLeadsElsewhere:
            fwprintf(stderr, L"failed: %ls (already there as a link or with another name; not written through)\n",
                     path);
            break;
        case CopyFailureKind::VerifyFailed:
            if (failure.error)
                fwprintf(stderr, L"failed: %ls (could not be read back, error %u)\n", path, failure.error);
            else
                fwprintf(stderr, L"failed: %ls (read back different from its source)\n", path);
            break;
        }
    }
    return RunComplete(progress) ? 0 : 1;
}
