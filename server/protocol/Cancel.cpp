#include "protocol/Cancel.h"

namespace cancel {

namespace {
thread_local const Flag *current = nullptr;
}

Scope::Scope(const Flag *flag) : m_previous(current)
{
    current = flag;
}

Scope::~Scope()
{
    current = m_previous;
}

bool requested()
{
    return current && current->isSet();
}

void check()
{
    if (requested())
        throw Cancelled{};
}

} // namespace cancel
