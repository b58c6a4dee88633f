// The unattended migration: the window's workflow without a window.
#pragma once

#include "CommandLine.h"
#include "MigrationController.h"

#include <CrashExit.h>

// Exit codes of an unattended run.
enum UnattendedExit : int {
    kExitMigrated = 0,
    kExitIncomplete = 1, // nothing redirected
    kExitRefused = 2,    // bad arguments, or a destination the checks refuse
    kExitClientRunning = 3,
    kExitNoSpace = 4,
    kExitNoProfile = 5,
    kExitCrashed = 6, // ended by a fault (Ostra::kExitCrashed); the log's last line says where
};

static_assert(kExitCrashed == Ostra::kExitCrashed, "one exit code for a fault");

int ExitCodeFor(MigrationController::Result result);

// Runs the whole migration for options.folder (checks, client stop, copy,
// rewrite, log; the client is started afterwards only with /RUN). Polls the
// copy every pollMs. Returns the exit code.
int RunUnattended(const MovaraOptions& options, IMigrationSystem& system, unsigned pollMs);

// Writes text to the console of the parent process, when there is one to write to.
void WriteToConsole(const std::wstring& text);
