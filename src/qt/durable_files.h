// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a file or folder that holds records becomes durable, in one place for
// the store, the journal and the archive: nobody is told a record is there
// before what survives a power cut holds it.
#include <QByteArray>
#include <vector>

namespace ondrix {
class DurableQueue;
}

namespace ondrix::durable {

// With a queue, the slow steps below (syncs, and the rename that must
// follow its file's sync) are handed to its worker and the call returns
// once the quick ones are done: whatever tells of the file waits for the
// queue (DurableReplies, DurableQueue::afterDone). Without one, all is done
// before the call returns.

// Syncs the folder's entries (names made, renamed or removed in it).
bool syncFolder(const QByteArray& folder);

// The folder that holds `path` ("." for a bare name).
QByteArray folderOf(const QByteArray& path);

// Makes `folder` the owner's alone (whatever the umask) and syncs its name
// into its parent; true too when it is a folder already.
bool makeFolder(const QByteArray& folder, DurableQueue* queue = nullptr);

// Puts the file written on `fd` under the name `staged` in place of
// `target`: its data synced, closed, renamed, and the target's folder
// synced. `fd` is closed in every case; on a failure before the rename the
// staged file is removed and the target left as it was.
bool commit(int fd, const QByteArray& staged, const QByteArray& target,
            DurableQueue* queue = nullptr);

// Removes, in `folder`, what a replacement of one of `names` left when the
// power went in the middle: "<name>.XXXXXX" (six letters or digits). Only
// while the caller holds the folder, or a running replacement would lose
// its file.
void removeLeftovers(const QByteArray& folder, const std::vector<QByteArray>& names);

}  // namespace ondrix::durable
