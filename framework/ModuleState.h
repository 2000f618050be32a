// The module whose resources (dialog templates, type library, manifest) the
// plug-in's code uses: the plug-in DLL, or a test program that carries the
// same resources.
#pragma once

#include <windows.h>

namespace fx {

HINSTANCE ResourceInstance();
void SetResourceInstance(HINSTANCE instance);

}  // namespace fx
