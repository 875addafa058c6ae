#include "systemerror.h"

#include "hostenv/win32/widetext.h"

namespace hostenv::win32 {

namespace {

std::string messagetext(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length =
        FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? narrow(std::wstring_view(buffer, length)) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string systemreason(DWORD code) {
    std::string text = messagetext(code);
    return text.empty() ? "error " + std::to_string(code) : text;
}

Failure callfailure(const std::string& call, const std::string& what) {
    return Failure(call + " failed: " + what + "\r\n" + systemreason(GetLastError()));
}

}  // namespace hostenv::win32
