// A secondary library without an export named exactly "Setup": its entry is
// linked with the compiler's stdcall decoration ("Setup@8"), the mistake an
// author most likely makes, which the bootstrapper must not take for it.
#include <windows.h>

extern "C" __declspec(dllexport) int __stdcall Setup(const char*, const char*) {
    return 0;
}
