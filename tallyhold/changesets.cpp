// tallyhold's backup sets: every manifest a change removes or rewrites, and every file it
// creates, kept before the change, and undo, which puts them back.
#include <optional>
#include <string>
#include <vector>

#include "hostenv/backup/backupset.h"
#include "hostenv/backup/undo.h"
#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"
#include "tallyhold.h"

namespace tallyhold {

namespace {

using hostenv::Failure;
using hostenv::backup::BackupWriter;
using hostenv::backup::RestoreOffer;

// A restore writes nothing but a manifest, and the ".old" that keeps the one before.
std::optional<std::string> notamanifest(const std::string& path) {
    const std::string name = hostenv::lower(hostenv::lastcomponent(path));
    if (name == "galaxy.manifest" || name == "galaxy.manifest.old") return std::nullopt;
    return "is not a galaxy manifest (\"galaxy.manifest\" or \"galaxy.manifest.old\")";
}

}  // namespace

const hostenv::backup::SetOwner& manifestsets() {
    static const hostenv::backup::SetOwner owner{
        .program = "tallyhold",
        .folder = "tallyhold backups",
        .recordprefix = "tallyhold/",
        .files = "manifests",
        .runs = "changes",
        .keptfolders = "the game's galaxy folder and the player's",
        .file = "manifest",
        .run = "change",
    };
    return owner;
}

void Tallyhold::restorerun() {
    beginrestore();
    const auto lock = platform_.takelock(programname);
    if (!lock) throw Failure(lockedtext);
    const bool whole = restore(newestoffer(), true);
    ui_.endprogram(whole ? hostenv::exitnormal : hostenv::exitfailure);
}

RestoreOffer Tallyhold::newestoffer() {
    return hostenv::backup::restoreoffer(
        fs_, hostenv::backup::backupsfolder(manifestsets(), localappfolder),
        {manifestsets(), hostenv::backup::keptgalaxyfolders(galaxyfolders), notamanifest});
}

bool Tallyhold::restore(const RestoreOffer& offer, bool silent) {
    const hostenv::Busy busy(busy_);
    return hostenv::backup::restorereported(
        fs_, ui_, clock, manifestsets(),
        hostenv::backup::backupsfolder(manifestsets(), localappfolder), offer, silent);
}

void Tallyhold::offerundo() {
    undobutton.setenabled(hostenv::backup::undoable(fs_, manifestsets(), localappfolder));
}

void Tallyhold::undobutton_Click() {
    // The question names the set that Yes restores: no other tallyhold changes the sets
    // between the two.
    underlock([this] {
        undobutton.setenabled(false);
        hostenv::backup::askandrestore(
            ui_, [this] { return newestoffer(); },
            [](const RestoreOffer& offer) {
                const auto putback = static_cast<long long>(offer.files - offer.created);
                const std::string date = " that the change of " + offer.date;
                const std::string first =
                    putback > 0
                        ? "Put back the " + hostenv::counted(putback, "manifest", "manifests") +
                              date + " removed or renamed?"
                        : "Take away the " +
                              hostenv::counted(static_cast<long long>(offer.created), "file",
                                               "files") +
                              date + " wrote where there was none?";
                return first + "\r\nA manifest changed since that change is left as it is.";
            },
            [this](const RestoreOffer& offer) { restore(offer, false); });
    });
    offerundo();
}

BackupWriter Tallyhold::newset() {
    return BackupWriter(
        fs_, manifestsets(), hostenv::backup::backupsfolder(manifestsets(), localappfolder),
        platform_.localtimestamp(), hostenv::backup::keptgalaxyfolders(galaxyfolders));
}

void Tallyhold::keep(BackupWriter& set, const std::function<void()>& add) {
    try {
        add();
        set.commit();
    } catch (const Failure& failure) {
        try {
            set.finish();
        } catch (const Failure&) {
            // A set whose run changed nothing is never offered.
        }
        throw Failure(
            "Cannot keep the manifests this change would remove or replace in a "
            "backup set in " +
            hostenv::backup::backupsfolder(manifestsets(), localappfolder) +
            "; nothing was changed.\r\n" + failure.what());
    }
}

std::string Tallyhold::closeset(BackupWriter& set, const std::vector<bool>& placed) {
    std::string failed;
    try {
        set.closebatch(placed);
        set.finish();
    } catch (const Failure& failure) {
        failed = "Cannot finish the backup set " + set.setpath() +
                 ": it is incomplete, but tallyhold /restore can still put back every manifest "
                 "this change removed or replaced from it.\r\n" +
                 failure.what();
        try {
            set.finish();
        } catch (const Failure&) {
            // The first failure is the one to tell.
        }
    }
    if (!set.setpath().empty()) {
        try {
            hostenv::backup::prunebackupsets(
                fs_, manifestsets(), hostenv::backup::backupsfolder(manifestsets(), localappfolder),
                set.setpath());
        } catch (const Failure&) {
            // Older sets that cannot be listed now are removed by a later change.
        }
    }
    return failed;
}

void Tallyhold::closed() {
    endnow(hostenv::exitnormal);
}

void Tallyhold::endnow(int exitcode) {
    hostenv::backup::finishunderway(changeset_);
    ui_.endprogram(exitcode);
}

}  // namespace tallyhold
