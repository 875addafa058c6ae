#include "hostenv/safereplace.h"

#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace hostenv {

namespace {

unsigned tempcounter = 0;

// Creates a temporary file with bytes beside path and returns its name.
std::string writetemporary(FileSystem& fs, const std::string& path, std::string_view bytes) {
    const std::string folder = path.substr(0, static_cast<std::size_t>(lastinstr(path, "\\") - 1));
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string temporary = folder + "~zarn" + std::to_string(tempcounter++) + ".tmp";
        if (fs.createfile(temporary, bytes)) return temporary;
    }
    throw Failure("Cannot create a temporary file in \"" + folder + "\" to write \"" + path +
                  "\": every name tried exists.");
}

template <class Publish>
void publish(FileSystem& fs, const std::string& path, std::string_view bytes, Publish&& step) {
    const std::string temporary = writetemporary(fs, path, bytes);
    try {
        fs.flush(temporary);
        step(temporary);
    } catch (...) {
        try {
            fs.remove(temporary);
        } catch (const Failure&) {
            // The first failure is the one to report; the temporary name is ours alone.
        }
        throw;
    }
}

}  // namespace

void safereplace(FileSystem& fs, const std::string& path, std::string_view bytes) {
    publish(fs, path, bytes, [&](const std::string& temporary) { fs.moveover(temporary, path); });
}

void safecreate(FileSystem& fs, const std::string& path, std::string_view bytes,
                const std::function<void()>& prepare) {
    publish(fs, path, bytes, [&](const std::string& temporary) {
        if (prepare) prepare();
        fs.rename(temporary, path);
    });
}

}  // namespace hostenv
