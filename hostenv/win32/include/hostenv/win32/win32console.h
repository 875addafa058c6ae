// Where a silent run's report goes on Windows: the standard output it was started with, or
// else the console of the program that started it.
#pragma once

#include <windows.h>

#include <string>

#include "hostenv/report.h"

namespace hostenv::win32 {

class Win32Console : public Console {
  public:
    Win32Console() = default;
    Win32Console(const Win32Console&) = delete;
    Win32Console& operator=(const Win32Console&) = delete;

    void writeline(const std::string& line) override;

  private:
    void open();

    bool opened_ = false;
    HANDLE out_ = INVALID_HANDLE_VALUE;
    bool isconsole_ = false;
};

}  // namespace hostenv::win32
