#ifndef KURONEL_PROCESSING_RUN_LOCK_H_
#define KURONEL_PROCESSING_RUN_LOCK_H_

#include <string>
#include <vector>

#include "platform/folder_lock.h"
#include "settings/settings.h"

namespace kuronel {

// What a run locks so that two runs cannot interleave: the folder it writes
// into (the destination with date folders on; the opened folders, where the
// copies then go, with them off) exclusively, and the opened folders, whose
// files it takes, exclusively in a move and shared in a copy, so that copies
// of one card run side by side but nothing copies a card while a move
// empties it.
std::vector<FolderLocks::Request> RunLockRequests(
    const Settings& options, const std::vector<std::string>& opened_folders);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_RUN_LOCK_H_
