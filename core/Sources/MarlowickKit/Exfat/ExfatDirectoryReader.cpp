#include "Exfat/ExfatDirectoryReader.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <bit>
#include <optional>
#include <span>
#include <unordered_set>

#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatClusterChain.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick {
namespace {

using ExfatDirectoryReader::ClusterChain;
using ExfatDirectoryReader::Geometry;
using ExfatDirectoryReader::ReadFailure;
using Bytes = std::span<const std::uint8_t>;

namespace BootSector = ExfatStructures::BootSector;
namespace DirEntry = ExfatStructures::DirEntry;
namespace EntryType = ExfatStructures::EntryType;
using ExfatStructures::dirEntrySize;

// What this reader accepts of a volume's geometry.
constexpr int minBytesPerSectorShift = 9;
constexpr int maxBytesPerSectorShift = 12;
constexpr int maxClusterBytesShift = 25;  // 32 MiB, the largest cluster exFAT allows

// The allocation bitmap entry's flag for the second FAT's bitmap; the reader wants the first.
constexpr std::uint8_t secondBitmapFlag = 0x01;

// exFAT caps a directory at 256 MiB; a longer chain is damage, not data.
constexpr std::int64_t maxDirectoryBytes = 256LL * 1024 * 1024;
// Folders entered in one walk. Real volumes never share a folder's clusters; the set of
// entered folders stops a volume whose entries all point at the same folder from being
// walked over and over, and the cap bounds the set itself.
constexpr std::size_t maxDirectoriesPerWalk = 1U << 18;
// Directory bytes read in one walk: what one directory may hold, some eight million
// entries. A real volume fills the listing's entry limit long before; the cap keeps
// folders whose chains all run into one long chain from making the walk read the same
// clusters over and over.
constexpr std::int64_t maxDirectoryBytesPerWalk = maxDirectoryBytes;

// The ways reading the boot sector can fail; the same cases end both kinds of result.
using GeometryFailure =
    std::variant<ExfatListingResult::Unsupported, ExfatListingResult::ReadFailed, ExfatListingResult::NotExfat>;
using GeometryResult = std::variant<Geometry, GeometryFailure>;

template <class Result>
Result failedWith(const GeometryFailure& failure) {
    return std::visit([](const auto& value) { return Result{value}; }, failure);
}

GeometryResult readGeometry(BlockDevice& block, const VentoyLayout& layout) {
    BlockReadResult read = block.readSectors(layout.part1StartSector, 1);
    if (auto* error = std::get_if<BlockError>(&read)) {
        return ExfatListingResult::ReadFailed{*error};
    }
    const Bytes sector = std::get<BlockReadSuccess>(read).data;
    if (sector.size() < BootSector::sectorsPerClusterShiftOffset + 1 ||
        !std::equal(BootSector::fileSystemName.begin(), BootSector::fileSystemName.end(),
                    sector.begin() + BootSector::fileSystemNameOffset)) {
        return ExfatListingResult::NotExfat{};
    }
    const int sectorShift = sector[BootSector::bytesPerSectorShiftOffset];
    const std::uint64_t bytesPerSector = sectorShift < 64 ? std::uint64_t{1} << sectorShift : 0;
    if (bytesPerSector != static_cast<std::uint64_t>(block.sectorSize())) {
        return ExfatListingResult::Unsupported{"exFAT BytesPerSector " + std::to_string(bytesPerSector) +
                                               " != device sector size " + std::to_string(block.sectorSize())};
    }
    if (sectorShift < minBytesPerSectorShift || sectorShift > maxBytesPerSectorShift) {
        return ExfatListingResult::Unsupported{"exFAT BytesPerSectorShift " + std::to_string(sectorShift) +
                                               " outside 9...12"};
    }
    const std::int64_t clusterCount = LittleEndian::read32(sector, BootSector::clusterCountOffset);
    const std::int64_t rootCluster = LittleEndian::read32(sector, BootSector::firstClusterOfRootDirectoryOffset);
    if (rootCluster < 2 || rootCluster > clusterCount + 1) {
        return ExfatListingResult::Unsupported{"invalid root cluster " + std::to_string(rootCluster)};
    }
    const int clusterShift = sector[BootSector::sectorsPerClusterShiftOffset];
    if (sectorShift + clusterShift > maxClusterBytesShift) {
        return ExfatListingResult::Unsupported{"exFAT SectorsPerClusterShift " + std::to_string(clusterShift) +
                                               " gives clusters larger than 32 MiB"};
    }
    return Geometry{&block,
                    layout.part1StartSector,
                    block.sectorSize(),
                    std::int64_t{1} << clusterShift,
                    static_cast<std::int64_t>(LittleEndian::read32(sector, BootSector::fatOffsetOffset)),
                    static_cast<std::int64_t>(LittleEndian::read32(sector, BootSector::clusterHeapOffsetOffset)),
                    clusterCount,
                    rootCluster};
}

std::int64_t directoryClusterLimit(const Geometry& geometry, const ExfatReadOptions& options) {
    return std::min(options.maxClustersPerDirectory, maxDirectoryBytes / geometry.clusterBytes());
}

// A directory's entries in order, with enough of the chain buffered to see a whole
// entry set (at most 256 entries) ahead of the current position. Every byte read is
// taken from the shared budget; once it is spent, the directory ends.
class DirectoryEntries {
public:
    DirectoryEntries(ClusterChain entries, std::int64_t& bytesLeft) : chain(std::move(entries)), budget(bytesLeft) {}

    // True when at least `count` bytes lie ahead. Throws ReadFailure.
    bool ensure(std::size_t count) {
        while (buffer.size() - position < count && !chainEnded && budget > 0) {
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(position));
            position = 0;
            const std::vector<std::uint8_t> chunk = chain.nextRead();
            chainEnded = chunk.empty();
            budget -= static_cast<std::int64_t>(chunk.size());
            buffer.insert(buffer.end(), chunk.begin(), chunk.end());
        }
        return buffer.size() - position >= count;
    }
    [[nodiscard]] Bytes ahead() const { return Bytes(buffer).subspan(position); }
    void skipEntries(std::size_t count) { position += std::min(count * dirEntrySize, buffer.size() - position); }

private:
    ClusterChain chain;
    std::int64_t& budget;
    std::vector<std::uint8_t> buffer;
    std::size_t position = 0;
    bool chainEnded = false;
};

struct ParsedEntrySet {
    std::string name;
    bool isDirectory = false;
    std::int64_t dataLength = 0;
    std::int64_t firstCluster = 0;
    std::size_t entryCount = 0;
    bool noFatChain = false;
};

std::string decodeName(const std::vector<char16_t>& units) {
    // Ill-formed UTF-16 (a lone surrogate) becomes U+FFFD.
    std::string name;
    icu::UnicodeString(units.data(), static_cast<std::int32_t>(units.size())).toUTF8String(name);
    return name;
}

// A name that would change the meaning of a path ("a/b", "..") is no file a driver
// could have written; listing it would let a volume point outside its own folders.
bool isUsableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// The file entry set at the current position, or nullopt when it does not hold together.
std::optional<ParsedEntrySet> parseEntrySet(DirectoryEntries& directory, const Geometry& geometry) {
    const std::size_t secondaryCount = directory.ahead()[DirEntry::secondaryCountOffset];
    const std::size_t setBytes = (secondaryCount + 1) * dirEntrySize;
    if (secondaryCount == 0 || !directory.ensure(setBytes)) {
        return std::nullopt;
    }
    const Bytes set = directory.ahead().first(setBytes);
    const Bytes stream = set.subspan(dirEntrySize, dirEntrySize);
    if (stream[0] != EntryType::streamExtension) {
        return std::nullopt;
    }
    const std::uint64_t dataLength = LittleEndian::read64(stream, DirEntry::dataLengthOffset);
    // No file outgrows the heap; a larger length is damage and would not fit a signed size.
    if (dataLength > static_cast<std::uint64_t>(geometry.clusterCount * geometry.clusterBytes())) {
        return std::nullopt;
    }
    const std::size_t nameLength = stream[DirEntry::nameLengthOffset];
    std::vector<char16_t> units;
    for (std::size_t entry = 2; entry <= secondaryCount && units.size() < nameLength; ++entry) {
        const Bytes nameEntry = set.subspan(entry * dirEntrySize, dirEntrySize);
        if (nameEntry[0] != EntryType::fileName) continue;
        for (std::size_t i = 0; i < ExfatStructures::fileNameCharsPerEntry && units.size() < nameLength; ++i) {
            units.push_back(LittleEndian::read<char16_t>(nameEntry, DirEntry::fileNameOffset + 2 * i));
        }
    }
    ParsedEntrySet parsed{decodeName(units),
                          (set[DirEntry::fileAttributesOffset] & DirEntry::attributeDirectory) != 0,
                          static_cast<std::int64_t>(dataLength),
                          static_cast<std::int64_t>(LittleEndian::read32(stream, DirEntry::firstClusterOffset)),
                          secondaryCount + 1,
                          (stream[DirEntry::generalSecondaryFlagsOffset] & DirEntry::noFatChain) != 0};
    if (!isUsableName(parsed.name)) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::int64_t> contiguousClusters(const ParsedEntrySet& set, const Geometry& geometry) {
    if (!set.noFatChain) return std::nullopt;
    const std::int64_t clusterBytes = geometry.clusterBytes();
    return set.dataLength / clusterBytes + (set.dataLength % clusterBytes != 0 ? 1 : 0);
}

class Walk {
public:
    Walk(const Geometry& volume, const ExfatReadOptions& limits) : geometry(volume), options(limits) {}

    std::vector<ExfatEntry> root() {
        entered.insert(geometry.rootCluster);
        directory(ClusterChain(geometry, geometry.rootCluster, std::nullopt, clusterLimit()), "", 0);
        return std::move(entries);
    }

private:
    [[nodiscard]] bool isFull() const {
        return static_cast<std::int64_t>(entries.size()) >= std::max<std::int64_t>(options.maxEntries, 0);
    }
    [[nodiscard]] std::int64_t clusterLimit() const { return directoryClusterLimit(geometry, options); }

    void directory(ClusterChain chain, const std::string& basePath, std::int64_t depth) {
        if (isFull()) return;
        DirectoryEntries scan(std::move(chain), budgetBytes);
        while (scan.ensure(dirEntrySize)) {
            const std::uint8_t type = scan.ahead()[0];
            if (type == EntryType::endOfDirectory) return;
            std::optional<ParsedEntrySet> set;
            if (type == EntryType::file) set = parseEntrySet(scan, geometry);
            if (!set) {
                scan.skipEntries(1);
                continue;
            }
            scan.skipEntries(set->entryCount);
            visit(*set, basePath, depth);
            if (isFull()) return;
        }
    }

    void visit(const ParsedEntrySet& set, const std::string& basePath, std::int64_t depth) {
        std::string path = basePath.empty() ? set.name : basePath + "/" + set.name;
        if (!set.isDirectory) {
            if (!isFull()) entries.push_back(ExfatEntry{std::move(path), set.name, set.dataLength, false});
            return;
        }
        if (options.includeDirectories && !isFull()) {
            entries.push_back(ExfatEntry{path, set.name, 0, true});
        }
        if (depth < options.maxDepth && set.firstCluster > 1 && entered.size() < maxDirectoriesPerWalk &&
            entered.insert(set.firstCluster).second) {
            directory(ClusterChain(geometry, set.firstCluster, contiguousClusters(set, geometry), clusterLimit()),
                      path, depth + 1);
        }
    }

    const Geometry& geometry;
    const ExfatReadOptions& options;
    std::vector<ExfatEntry> entries;
    std::unordered_set<std::int64_t> entered;
    std::int64_t budgetBytes = maxDirectoryBytesPerWalk;
};

// FirstCluster of the root's first allocation bitmap entry, or nullopt when there is none.
std::optional<std::int64_t> findBitmapCluster(const Geometry& geometry, const ExfatReadOptions& options) {
    std::int64_t budgetBytes = maxDirectoryBytes;
    DirectoryEntries scan(
        ClusterChain(geometry, geometry.rootCluster, std::nullopt, directoryClusterLimit(geometry, options)),
        budgetBytes);
    while (scan.ensure(dirEntrySize)) {
        const Bytes entry = scan.ahead().first(dirEntrySize);
        if (entry[0] == EntryType::endOfDirectory) break;
        if (entry[0] == EntryType::allocationBitmap &&
            (entry[DirEntry::bitmapFlagsOffset] & secondBitmapFlag) == 0) {
            return static_cast<std::int64_t>(LittleEndian::read32(entry, DirEntry::firstClusterOffset));
        }
        scan.skipEntries(1);
    }
    return std::nullopt;
}

ExfatFreeSpaceResult::Case countFreeSpace(const Geometry& geometry, const ExfatReadOptions& options) {
    const std::int64_t clusterBytes = geometry.clusterBytes();
    const std::int64_t bytesNeeded = (geometry.clusterCount + 7) / 8;
    const std::int64_t totalBytes = geometry.clusterCount * clusterBytes;
    const std::optional<std::int64_t> bitmapCluster = findBitmapCluster(geometry, options);
    if (!bitmapCluster) {
        return ExfatFreeSpaceResult::Unsupported{"allocation bitmap entry not found in root"};
    }
    // The bitmap is streamed, never held whole: a volume may claim four billion clusters.
    const std::int64_t clusterLimit = (bytesNeeded + clusterBytes - 1) / clusterBytes + 1;
    ClusterChain chain(geometry, *bitmapCluster, std::nullopt, clusterLimit);
    std::int64_t bitsLeft = geometry.clusterCount;
    std::int64_t freeClusters = 0;
    while (bitsLeft > 0) {
        const std::vector<std::uint8_t> chunk = chain.nextRead();
        if (chunk.empty()) break;
        for (std::size_t i = 0; i < chunk.size() && bitsLeft > 0; ++i) {
            const int bits = static_cast<int>(std::min<std::int64_t>(bitsLeft, 8));
            const unsigned mask = (1U << bits) - 1;
            freeClusters += bits - std::popcount(chunk[i] & mask);
            bitsLeft -= bits;
        }
    }
    if (chain.bytesRead() < bytesNeeded) {
        return ExfatFreeSpaceResult::Unsupported{"allocation bitmap shorter than expected (" +
                                                 std::to_string(chain.bytesRead()) + " < " +
                                                 std::to_string(bytesNeeded) + ")"};
    }
    return ExfatFreeSpaceResult::Success{freeClusters * clusterBytes, totalBytes};
}

std::string lowerCased(const std::string& text) {
    std::string lowered;
    icu::UnicodeString::fromUTF8(text).toLower(icu::Locale::getRoot()).toUTF8String(lowered);
    return lowered;
}

std::string extensionOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : lowerCased(name.substr(dot + 1));
}

}  // namespace

namespace ExfatDirectoryReader {

ExfatListingResult read(BlockDevice& block, const VentoyLayout& layout, const ExfatReadOptions& options) {
    GeometryResult geometry = readGeometry(block, layout);
    if (const auto* failure = std::get_if<GeometryFailure>(&geometry)) {
        return failedWith<ExfatListingResult>(*failure);
    }
    try {
        return ExfatListingResult{ExfatListingResult::Success{Walk(std::get<Geometry>(geometry), options).root()}};
    } catch (const ReadFailure& failure) {
        return ExfatListingResult{ExfatListingResult::ReadFailed{failure.error}};
    } catch (const std::exception& unexpected) {
        return ExfatListingResult{ExfatListingResult::Unsupported{std::string("unexpected: ") + unexpected.what()}};
    }
}

ExfatListingResult readImages(BlockDevice& block, const VentoyLayout& layout, const std::set<std::string>& extensions,
                              const ExfatReadOptions& options) {
    std::set<std::string> wanted;
    for (const std::string& extension : extensions) {
        wanted.insert(lowerCased(extension));
    }
    ExfatReadOptions filesOnly = options;
    filesOnly.includeDirectories = false;
    ExfatListingResult listing = read(block, layout, filesOnly);
    auto* success = std::get_if<ExfatListingResult::Success>(&listing.value);
    if (success == nullptr) {
        return listing;
    }
    std::erase_if(success->entries, [&](const ExfatEntry& entry) { return !wanted.contains(extensionOf(entry.name)); });
    return listing;
}

ExfatFreeSpaceResult readFreeSpace(BlockDevice& block, const VentoyLayout& layout, const ExfatReadOptions& options) {
    GeometryResult geometry = readGeometry(block, layout);
    if (const auto* failure = std::get_if<GeometryFailure>(&geometry)) {
        return failedWith<ExfatFreeSpaceResult>(*failure);
    }
    try {
        return ExfatFreeSpaceResult{countFreeSpace(std::get<Geometry>(geometry), options)};
    } catch (const ReadFailure& failure) {
        return ExfatFreeSpaceResult{ExfatFreeSpaceResult::ReadFailed{failure.error}};
    } catch (const std::exception& unexpected) {
        return ExfatFreeSpaceResult{ExfatFreeSpaceResult::Unsupported{std::string("unexpected: ") + unexpected.what()}};
    }
}

}  // namespace ExfatDirectoryReader
}  // namespace marlowick
