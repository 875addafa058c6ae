#include "galaxysets.h"

#include <algorithm>
#include <optional>

#include "hostenv/paths.h"

namespace galmend {

const hostenv::backup::SetOwner& galaxysets() {
    static const hostenv::backup::SetOwner owner{
        .program = "galmend",
        .folder = "galmend backups",
        .recordprefix = "galmend/",
        .files = "galaxies",
        .runs = "fixes",
        .keptfolders = "the game's galaxy folder and the player's",
        .file = "galaxy",
        .run = "fix",
    };
    return owner;
}

hostenv::backup::RestoreScope restorescope(const std::array<std::string, 2>& galaxyfolders,
                                           const hostenv::Lines& originalmaps) {
    const auto whynot = [&originalmaps](const std::string& path) -> std::optional<std::string> {
        if (!hostenv::lower(hostenv::lastcomponent(path)).ends_with(".galaxy")) {
            return "is not a galaxy (a \".galaxy\" file)";
        }
        if (std::any_of(originalmaps.begin(), originalmaps.end(),
                        [&](const auto& own) { return hostenv::samefilename(path, own); })) {
            return "is one of the game's own maps";
        }
        return std::nullopt;
    };
    return {galaxysets(), keptgalaxyfolders(galaxyfolders), whynot};
}

}  // namespace galmend
