#pragma once
// The system calls a buffer save makes (textcore::saveBuffer), gathered so that a
// test can make one of them fail the way a full disk or a denied right would.
#include <sys/types.h>

namespace textcore {

struct SaveCalls {
    int (*open)(const char *path, int flags, mode_t mode);
    ssize_t (*pwrite)(int fd, const void *data, size_t size, off_t offset);
    // Returns 0 or an errno value, as posix_fallocate does.
    int (*reserve)(int fd, off_t offset, off_t length);
    int (*fsync)(int fd);
};

// The calls in use; a test changes them and restores them with resetSaveCalls().
SaveCalls &saveCalls();
void resetSaveCalls();

} // namespace textcore
