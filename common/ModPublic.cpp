#include "ModPublic.h"

namespace {
ModPublic &instance()
{
    static ModPublic p;
    return p;
}
} // namespace

ModPublic &modPublic()
{
    return instance();
}

void resetModPublic()
{
    instance() = ModPublic();
}
