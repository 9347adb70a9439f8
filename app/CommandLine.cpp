#include "app/CommandLine.h"

namespace tolvex {

ProgramChoice readCommandLine(const std::vector<std::string>& arguments) {
    ProgramChoice choice;
    std::string file;
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        const std::string& argument = arguments[k];
        const bool snapshotOption =
            argument == "--snapshot" || argument.rfind("--snapshot=", 0) == 0;
        if (snapshotOption && !file.empty()) {
            choice.error = "option '--snapshot' is given twice";
            choice.status = kCommandLineUsage;
            return choice;
        }
        if (argument == "--snapshot" && k + 1 < arguments.size() && file.empty()) {
            file = arguments[++k];
        } else if (argument.rfind("--snapshot=", 0) == 0 && file.empty()) {
            file = argument.substr(11);
        } else if (argument == "--snapshot") {
            choice.error = "option '--snapshot' needs a file name";
            choice.status = kCommandLineUsage;
            return choice;
        } else {
            continue;  // as before, arguments it does not know are ignored
        }
        if (file.empty()) {
            choice.error = "option '--snapshot' needs a file name";
            choice.status = kCommandLineUsage;
            return choice;
        }
    }
    if (file.empty()) {
        return choice;
    }
    try {
        choice.snapshot = std::make_shared<const snapshot::Snapshot>(snapshot::readFile(file));
    } catch (const snapshot::SnapshotError& error) {
        choice.error = error.what();
        choice.status = error.unopened() ? kInputUnopened : kSnapshotUnusable;
    }
    return choice;
}

std::string snapshotTitle(const snapshot::Snapshot& snapshot, const std::string& caption) {
    const std::string host = snapshot::hostNameOf(snapshot);
    std::string title = caption + " - " + (host.empty() ? "another machine" : host) + " (snapshot";
    if (snapshot.origin && !snapshot.origin->taken.empty()) {
        title += " of " + snapshot.origin->taken.substr(0, 10);
    }
    return title + ")";
}

ServicePtr connectSnapshot(const std::shared_ptr<const snapshot::Snapshot>& snapshot,
                           std::string_view /*moniker*/) {
    return snapshot::makeService(snapshot);
}

}  // namespace tolvex
