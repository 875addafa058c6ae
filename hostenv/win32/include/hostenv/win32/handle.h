// One owner for every kind of Windows handle the programs open: it is closed, by the call that
// closes its kind, when the owner goes, on every path out.
#pragma once

#include <windows.h>

namespace hostenv::win32 {

template <class Kind>
class Handle {
  public:
    using Raw = typename Kind::Raw;
    Handle() = default;
    explicit Handle(Raw raw) : raw_(raw) {}
    ~Handle() {
        if (valid()) Kind::close(raw_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    Raw get() const { return raw_; }
    // For a call that gives the handle through a pointer; only while none is held.
    Raw* receive() { return &raw_; }
    // Both kinds of "no handle": INVALID_HANDLE_VALUE from CreateFile and FindFirstFile, null
    // from the rest.
    bool valid() const { return raw_ != Kind::invalid() && raw_ != Raw{}; }

  private:
    Raw raw_ = Kind::invalid();
};

struct FileKind {
    using Raw = HANDLE;
    static Raw invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Raw raw) { CloseHandle(raw); }
};

struct FindKind {
    using Raw = HANDLE;
    static Raw invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Raw raw) { FindClose(raw); }
};

struct KeyKind {
    using Raw = HKEY;
    static Raw invalid() { return nullptr; }
    static void close(Raw raw) { RegCloseKey(raw); }
};

using FileHandle = Handle<FileKind>;
using FindHandle = Handle<FindKind>;
using KeyHandle = Handle<KeyKind>;

}  // namespace hostenv::win32
