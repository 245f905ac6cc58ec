// Process launching and message boxes: each argument passed through unchanged.
#include <cstdint>
#include <windows.h>

#include "frame/export_entry.h"

namespace {

template <typename Handle>
std::uintptr_t asInteger(Handle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

HWND asWindow(std::uintptr_t window) { return reinterpret_cast<HWND>(window); }

}  // namespace

TESSALY_EXPORT std::uintptr_t TESSALY_API ShellExecute_zk(std::uintptr_t window, const char* operation, const char* file,
                                                         const char* parameters, const char* directory,
                                                         std::int32_t showCommand) {
    return asInteger(ShellExecuteA(asWindow(window), operation, file, parameters, directory, showCommand));
}

TESSALY_EXPORT std::uint32_t TESSALY_API WinExec_zk(const char* commandLine, std::uint32_t showCommand) {
    return WinExec(commandLine, showCommand);
}

TESSALY_EXPORT std::int32_t TESSALY_API MessageBox_zk(std::uintptr_t window, const char* text, const char* caption,
                                                      std::uint32_t type) {
    return MessageBoxA(asWindow(window), text, caption, type);
}

TESSALY_EXPORT std::int32_t TESSALY_API MessageBoxN_zk(const char* text, const char* caption, std::uint32_t type) {
    return MessageBoxA(nullptr, text, caption, type);
}
