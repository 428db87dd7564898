// SPDX-License-Identifier: GPL-3.0-or-later
// The renames of one Go or Undo run, carried out with several calls in flight on slow file
// systems (network shares), with exactly the outcome of doing them one after another.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <string>

#include "platform/file_system.h"

namespace zr {

// Runs renames in their run's order with up to `jobs` at once. What keeps the outcome the
// sequential one:
// - renames of one directory run one after another, in their order;
// - a rename of a directory that other renames of the run lie inside is a fence: in a Go the
//   renames inside it come first and it waits for every earlier rename; in an Undo it comes
//   first and every later rename waits for it;
// - the outcomes are handed back on the calling thread, in the run's order, as soon as every
//   earlier one is known; so the failure log, the counts and the marks come out as the
//   sequential run gives them.
// Consecutive renames of one directory go to one worker together, with one directory handle; a
// worker takes what it knows of a folder afresh for each such run.
// Renames run on the calling thread, one after another, with one job and for as long as they
// are quick; slow ones (a network share) send the rest of the run to the workers.
class RenameScheduler {
public:
    enum class Fence { None, WaitsForEarlier, HoldsLater };

    // The rename, with what the session checks before it (RenameRequest).
    struct Rename : RenameRequest {
        // Fails without a call: a new name that is not a plain name, a directory in use.
        bool refused = false;
        Fence fence = Fence::None;
    };

    struct Outcome {
        // Whether the rename was tried (or refused); false for one that never started.
        bool tried = false;
        // 0, or the errno of the failed rename (EPERM for a refused one).
        int error = 0;
        // Where an entry was left when a detour through a temporary name could not be undone.
        std::string strandedAt;
        // What a call threw on a worker thread; it is thrown again on the calling thread, in
        // the run's order.
        std::exception_ptr thrown;
    };

    // Fills rename `index` (called in order, on the calling thread).
    using Describe = std::function<void(std::size_t index, Rename& rename)>;
    // Takes the outcome of rename `index` (called in order, on the calling thread). When it
    // throws, no further rename starts; those under way finish and are handed back too (in
    // order, whatever those calls throw), so that every rename that was done is known, and then
    // the exception goes on. A rename that never started is never handed back.
    using Settle = std::function<void(std::size_t index, Outcome& outcome)>;

    RenameScheduler(FileSystem& fileSystem, int jobs);

    void run(std::size_t count, const Describe& describe, const Settle& settle);

private:
    // Runs renames one after another from the first; returns where the workers take over
    // (`count` when they never do).
    std::size_t runInOrder(std::size_t count, const Describe& describe, const Settle& settle);
    void runInParallel(std::size_t begin, std::size_t count, const Describe& describe,
                       const Settle& settle);

    FileSystem& m_fileSystem;
    int m_jobs;
};

// The number of calls a run keeps in flight unless told otherwise.
constexpr int kDefaultJobs = 16;

}  // namespace zr
