// What the shell does for the card: opening links, the error box, the
// executable's path, and text in UTF-16.
#include "win32_internal.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <thread>

namespace rt::platform::win32 {

// UTF-8 text as UTF-16.
std::wstring utf16(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(std::size_t(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

// UTF-16 text as UTF-8.
std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(std::max(n, 0)), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Opens the document or address with the shell, on a worker thread of its own.
void Win32Platform::openDocument(const DocumentRequest& request) {
    // ShellExecute may take its time (it starts the browser, and can
    // wait on it); a worker thread of its own lets the card run on. No
    // owner window: one of the card's windows would belong to the main
    // thread, and an error box the shell showed for it from here would
    // join the two threads' input.
    const std::wstring verb = utf16(request.operation), path = utf16(request.file),
                       arguments = utf16(request.parameters), folder = utf16(request.directory);
    const int showCommand = request.showCommand;
    const auto text = [](const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); };
    try {
        std::thread([=] {
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            ShellExecuteW(nullptr, text(verb), path.c_str(), text(arguments), text(folder), showCommand);
            if (SUCCEEDED(com)) CoUninitialize();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the page stays closed, as a failed open would.
    }
}

// Shows the error on stderr and in a message box.
void Win32Platform::reportError(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    MessageBoxW(nullptr, utf16(message).c_str(), L"Velmora", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

// The executable's full path, in UTF-8.
std::string Win32Platform::executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return utf8(path);
        }
        if (path.size() >= 32768) return {};  // longer than any Windows path
        path.resize(path.size() * 2);
    }
}

}  // namespace rt::platform::win32
