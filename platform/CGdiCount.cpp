#include "platform/CGdiCount.h"

#include <atomic>

namespace {
std::atomic<long> s_nObjects{0};
std::atomic<long> s_nDCs{0};
} // namespace

long CGdiCount::LiveObjects()
{
    return s_nObjects.load();
}

long CGdiCount::LiveDCs()
{
    return s_nDCs.load();
}

void CGdiCount::AddObject()
{
    ++s_nObjects;
}

void CGdiCount::RemoveObject()
{
    --s_nObjects;
}

void CGdiCount::AddDC()
{
    ++s_nDCs;
}

void CGdiCount::RemoveDC()
{
    --s_nDCs;
}
