// How the POSIX file system fails: the operation, the path, and the system's reason.
#pragma once

#include <cstring>
#include <string>

#include "hostenv/failure.h"

namespace hostenv::posix {

[[noreturn]] inline void fail(const std::string& what, const std::string& path, int error) {
    throw Failure(what + " " + path + "\r\n" + std::strerror(error));
}

}  // namespace hostenv::posix
