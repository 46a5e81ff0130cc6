#include "StandIns/MemoryDriveFileAccess.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace marlowick::testing {
namespace {

VolumePath parsed(const std::string& text) {
    std::optional<VolumePath> path = VolumePath::parse(text);
    if (!path) throw std::invalid_argument("not a volume path: " + text);
    return *path;
}

// As file managers order names: ignoring case, runs of digits by their value.
bool namesInOrder(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) != 0 && std::isdigit(cb) != 0) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])) != 0) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])) != 0) ++ej;
            const unsigned long long va = std::stoull(a.substr(i, ei - i));
            const unsigned long long vb = std::stoull(b.substr(j, ej - j));
            if (va != vb) return va < vb;
            i = ei;
            j = ej;
            continue;
        }
        const int la = std::tolower(ca);
        const int lb = std::tolower(cb);
        if (la != lb) return la < lb;
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

void MemoryDriveFileAccess::add(const std::string& text, Node node) {
    const VolumePath path = parsed(text);
    const std::lock_guard lock(mutex);
    std::vector<std::string> parent;
    for (std::size_t i = 0; i + 1 < path.components.size(); ++i) {
        parent.push_back(path.components[i]);
        nodes.try_emplace(parent, Node{Kind::folder, 0, node.modified});
    }
    nodes[path.components] = node;
}

void MemoryDriveFileAccess::addFolder(const std::string& path) {
    addFolder(path, std::chrono::system_clock::time_point(std::chrono::hours(24 * 20'000)));
}

void MemoryDriveFileAccess::addFile(const std::string& path, std::int64_t sizeBytes, int daysAfterEpoch) {
    addFile(path, sizeBytes,
            std::chrono::system_clock::time_point(std::chrono::hours(24 * std::int64_t{daysAfterEpoch})));
}

void MemoryDriveFileAccess::addFolder(const std::string& path, std::chrono::system_clock::time_point modified) {
    add(path, Node{Kind::folder, 0, modified});
}

void MemoryDriveFileAccess::addFile(const std::string& path, std::int64_t sizeBytes,
                                    std::chrono::system_clock::time_point modified) {
    add(path, Node{Kind::file, sizeBytes, modified});
}

void MemoryDriveFileAccess::addLink(const std::string& path) { add(path, Node{Kind::link, 0, {}}); }

bool MemoryDriveFileAccess::contains(const std::string& path) const {
    const std::lock_guard lock(mutex);
    return nodes.contains(parsed(path).components);
}

void MemoryDriveFileAccess::refuseWith(std::optional<MountedVolumeRefusal> value) {
    const std::lock_guard lock(mutex);
    refusal = std::move(value);
}

void MemoryDriveFileAccess::failListing(const std::string& path, MountedFileFailure failure) {
    const std::lock_guard lock(mutex);
    listingFailures.insert_or_assign(parsed(path).components, std::move(failure));
}

void MemoryDriveFileAccess::afterEachDeletion(std::function<void(const VolumePath&)> hook) {
    const std::lock_guard lock(mutex);
    deletionHook = std::move(hook);
}

int MemoryDriveFileAccess::listings() const {
    const std::lock_guard lock(mutex);
    return static_cast<int>(listedPaths.size());
}

std::vector<VolumePath> MemoryDriveFileAccess::listed() const {
    const std::lock_guard lock(mutex);
    return listedPaths;
}

std::optional<MountedFileFailure> MemoryDriveFileAccess::blockedOnTheWay(const VolumePath& path) const {
    std::vector<std::string> prefix;
    for (std::size_t i = 0; i + 1 < path.components.size(); ++i) {
        prefix.push_back(path.components[i]);
        const auto found = nodes.find(prefix);
        const VolumePath at{prefix};
        if (found == nodes.end()) return MountedFileFailure{MountedFileFailure::NotFound{at}};
        if (found->second.kind == Kind::link) return MountedFileFailure{MountedFileFailure::SymbolicLink{at}};
        if (found->second.kind == Kind::file) return MountedFileFailure{MountedFileFailure::NotADirectory{at}};
    }
    return std::nullopt;
}

DriveFileOutcome<std::vector<MountedEntry>> MemoryDriveFileAccess::list(const VolumePath& path, const HelperDiskRef&,
                                                                        const HelperVentoyLayout&) {
    using Outcome = DriveFileOutcome<std::vector<MountedEntry>>;
    const std::lock_guard lock(mutex);
    listedPaths.push_back(path);
    if (refusal) return Outcome::refused(*refusal);
    if (const auto failing = listingFailures.find(path.components); failing != listingFailures.end()) {
        return Outcome::failed(failing->second);
    }
    if (auto blocked = blockedOnTheWay(path)) return Outcome::failed(std::move(*blocked));
    if (!path.isRoot()) {
        const auto self = nodes.find(path.components);
        if (self == nodes.end()) return Outcome::failed({MountedFileFailure::NotFound{path}});
        if (self->second.kind == Kind::link) return Outcome::failed({MountedFileFailure::SymbolicLink{path}});
        if (self->second.kind == Kind::file) return Outcome::failed({MountedFileFailure::NotADirectory{path}});
    }
    std::vector<MountedEntry> entries;
    for (const auto& [components, node] : nodes) {
        if (components.size() != path.components.size() + 1 ||
            !std::equal(path.components.begin(), path.components.end(), components.begin())) {
            continue;
        }
        // A link is listed where it stands, as the mounted volume lists it: not as a folder.
        if (components.back().starts_with(".")) continue;
        entries.emplace_back(VolumePath{components}, node.kind == Kind::folder, node.sizeBytes, node.modified);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const MountedEntry& a, const MountedEntry& b) {
        return namesInOrder(a.name(), b.name());
    });
    return Outcome::done(std::move(entries));
}

std::optional<MountedFileFailure> MemoryDriveFileAccess::removeOne(const VolumePath& path,
                                                                   std::int64_t& removedBytes) {
    const std::lock_guard lock(mutex);
    if (path.isRoot()) return MountedFileFailure{MountedFileFailure::RootNotDeletable{}};
    if (auto blocked = blockedOnTheWay(path)) return blocked;
    const auto found = nodes.find(path.components);
    if (found == nodes.end()) return MountedFileFailure{MountedFileFailure::NotFound{path}};
    if (found->second.kind == Kind::link) return MountedFileFailure{MountedFileFailure::SymbolicLink{path}};
    if (found->second.kind == Kind::folder) {
        const auto next = std::next(found);
        if (next != nodes.end() && next->first.size() > path.components.size() &&
            std::equal(path.components.begin(), path.components.end(), next->first.begin())) {
            return MountedFileFailure{MountedFileFailure::DirectoryNotEmpty{path}};
        }
    }
    removedBytes = found->second.kind == Kind::file ? found->second.sizeBytes : 0;
    nodes.erase(found);
    return std::nullopt;
}

DriveFileOutcome<MountedDeleteReport> MemoryDriveFileAccess::remove(const std::vector<VolumePath>& paths,
                                                                    const HelperDiskRef&, const HelperVentoyLayout&,
                                                                    const DriveFileCancelCheck& isCancelled) {
    using Outcome = DriveFileOutcome<MountedDeleteReport>;
    std::function<void(const VolumePath&)> hook;
    {
        const std::lock_guard lock(mutex);
        if (refusal) return Outcome::refused(*refusal);
        hook = deletionHook;
    }
    MountedDeleteReport report;
    for (const VolumePath& path : paths) {
        if (isCancelled()) {
            report.wasCancelled = true;
            break;
        }
        std::int64_t removed = 0;
        std::optional<MountedFileFailure> failure = removeOne(path, removed);
        report.outcomes.push_back({path, std::move(failure), removed});
        if (hook) hook(path);
    }
    return Outcome::done(std::move(report));
}

}  // namespace marlowick::testing
