#include "framework/ModuleState.h"

namespace fx {

namespace {
HINSTANCE g_resourceInstance = nullptr;
}

HINSTANCE ResourceInstance()
{
    return g_resourceInstance ? g_resourceInstance : ::GetModuleHandleW(nullptr);
}

void SetResourceInstance(HINSTANCE instance)
{
    g_resourceInstance = instance;
}

}  // namespace fx
