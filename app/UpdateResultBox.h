#pragma once

namespace tonvara {

struct UpdateCheckResult;

// Tells the user how a check for updates ended, in a box of its own raised over other windows;
// offers the download when a newer release exists.
void showUpdateResult(const UpdateCheckResult& result);

}  // namespace tonvara
