#pragma once

#include "platform/foundation/ProcessCancellation.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace foundation {

struct ProcessOptions {
    // After this the process (and its process group) is killed.
    std::chrono::milliseconds timeLimit{10000};
    // Standard output and error are each kept up to this many bytes; the rest is read and
    // dropped, so a chatty child never blocks.
    std::size_t outputLimit = 64u << 20;
    // False sends standard output and error to /dev/null (a launcher such as xdg-open, whose
    // children may hold the pipes open long after it has finished).
    bool captureOutput = true;
    // Ends the child early when cancelled from another thread; none: only the time limit does.
    const ProcessCancellation* cancellation = nullptr;
    // False: a cancellation only ends the wait, and the child runs on unreaped (a launcher whose
    // program the user asked for, when the process that started it is about to end).
    bool killWhenCancelled = true;
};

struct ProcessResult {
    // The child's process id; 0 when it never started.
    pid_t processIdentifier = 0;
    // The errno that kept the program from starting (not found, not executable).
    std::optional<int> launchError;
    // Set when it exited by itself.
    std::optional<int> exitStatus;
    // Set when a signal ended it, our own kill at the time limit included.
    std::optional<int> terminationSignal;
    bool timedOut = false;
    // Ended through ProcessOptions::cancellation.
    bool cancelled = false;
    std::string standardOutput;
    std::string standardError;
    bool outputTruncated = false;

    bool succeeded() const { return exitStatus == 0; }
};

// Runs a program without a shell: `arguments[0]` is a path, or a name looked up in PATH; the
// arguments are passed as they are. Standard input is /dev/null; standard output and error are
// read together (poll), so neither pipe can fill up and stall the child. The child starts with
// no blocked signals and default signal dispositions, in a process group of its own, and with no
// descriptor of ours but its three standard ones. Whatever happens, the child has been reaped
// when this returns: no zombie is left.
//
// Blocks the calling thread until the child ends, the time limit passes or the cancellation
// comes; call it off the main thread. Any thread.
//
// A child left running by a cancellation (ProcessOptions::killWhenCancelled) is the exception to
// the reaping: it stays this process's child until it ends or this process does.
ProcessResult runProcess(const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

} // namespace foundation
