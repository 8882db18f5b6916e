#include "protocol/Priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace priority {

void lowerThisThread(int nice)
{
    thread_local int lowered = 0;
    if (lowered >= nice)
        return;
    lowered = nice;
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), nice);
}

} // namespace priority
