// Module entry: process attach and detach.
#include <windows.h>

// Runs under the loader lock: nothing here but turning off the thread notifications that
// no export needs. The C runtime itself is set up and torn down by its own entry code
// around this function.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
