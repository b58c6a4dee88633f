#include "PluginFrame.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    SetPluginModule(instance);
    return TRUE;
}
