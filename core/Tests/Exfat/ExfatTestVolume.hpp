#pragma once
// Test fixtures for exFAT readers: volumes made by mkfs.exfat, a read-only device over
// an image file, hand-built entry sets for damage no driver would write, and a mount
// by a real exFAT driver that is always undone.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Block/BlockDevice.hpp"
#include "Block/MemoryBlockDevice.hpp"
#include "Bytes/LittleEndian.hpp"
#include "Exfat/ExfatDirectoryReader.hpp"
#include "Layout/VentoyLayout.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::test {

// A read-only BlockDevice over an image file, for volumes too large to hold in memory.
class FileBlockDevice final : public BlockDevice {
public:
    FileBlockDevice(const std::filesystem::path& file, int sectorSize);
    ~FileBlockDevice() override;
    FileBlockDevice(const FileBlockDevice&) = delete;
    FileBlockDevice& operator=(const FileBlockDevice&) = delete;

    [[nodiscard]] int sectorSize() const override { return sectorSizeValue; }
    [[nodiscard]] std::int64_t sectorCount() const override { return sectorCountValue; }
    [[nodiscard]] BlockReadResult readSectors(std::int64_t startSector, std::int64_t sectorCount) override;
    [[nodiscard]] BlockWriteResult writeSectors(std::int64_t startSector,
                                                const std::vector<std::uint8_t>& data) override;
    [[nodiscard]] BlockFlushResult flush() override { return BlockFlushSuccess{}; }
    void close() override;

private:
    int descriptor = -1;
    int sectorSizeValue;
    std::int64_t sectorCountValue = 0;
};

// Runs mkfs.exfat with `options` on a fresh file of `sizeBytes` in `dir`; empty on failure.
[[nodiscard]] std::vector<std::uint8_t> mkfsExfatImage(const TempDir& dir, std::int64_t sizeBytes,
                                                       const std::string& options);

// Where things lie in a volume image, as its boot sector says.
struct VolumeMap {
    std::int64_t bytesPerSector = 0;
    std::int64_t clusterBytes = 0;
    std::int64_t fatOffsetBytes = 0;
    std::int64_t heapOffsetBytes = 0;
    std::int64_t clusterCount = 0;
    std::int64_t rootCluster = 0;

    [[nodiscard]] std::size_t clusterOffset(std::int64_t cluster) const;
    [[nodiscard]] std::size_t fatEntryOffset(std::int64_t cluster) const;
    // Offset of the first end-of-directory entry (type 0) of a one-cluster directory.
    [[nodiscard]] std::size_t endOfDirectory(const std::vector<std::uint8_t>& image, std::int64_t cluster) const;
};
[[nodiscard]] VolumeMap mapVolume(const std::vector<std::uint8_t>& image);

// A file entry set shaped as drivers write it; the checksums stay zero (readers here
// do not check them). The optional fields bend it out of shape.
struct EntrySetFields {
    std::u16string name;
    bool isDirectory = false;
    std::uint32_t firstCluster = 0;
    std::uint64_t dataLength = 0;
    std::uint8_t secondaryFlags = 0x01;
    std::optional<std::uint8_t> nameLength;      // default: the name's length
    std::optional<std::uint8_t> secondaryCount;  // default: 1 + name entries
};
[[nodiscard]] std::vector<std::uint8_t> entrySet(const EntrySetFields& fields);

[[nodiscard]] EntrySetFields fileSet(std::u16string name, std::uint64_t sizeBytes);
[[nodiscard]] EntrySetFields folderSet(std::u16string name, std::uint32_t firstCluster, std::uint64_t dataLength,
                                     std::uint8_t secondaryFlags = 0x01);
[[nodiscard]] EntrySetFields bent(EntrySetFields fields, std::optional<std::uint8_t> nameLength,
                                std::optional<std::uint8_t> secondaryCount);

// A small mkfs.exfat volume (8 MiB unless told otherwise, 4 KiB clusters) whose folders are
// then filled in by hand, handed out as a device with the volume at sector 2048
// (partition 1 of a Ventoy drive).
class HandBuiltVolume {
public:
    static constexpr std::int64_t deviceStartSector = 2048;

    explicit HandBuiltVolume(const TempDir& dir, std::int64_t sizeBytes = 8 * 1024 * 1024);

    [[nodiscard]] bool isValid() const { return !image.empty(); }
    [[nodiscard]] std::int64_t root() const { return map.rootCluster; }
    // Appends an entry set after the last one in the folder's first cluster.
    void add(std::int64_t folder, const EntrySetFields& fields) { place(map.endOfDirectory(image, folder), fields); }
    void place(std::size_t offset, const EntrySetFields& fields);
    // A one-cluster folder in `parent`, its chain ended in the FAT.
    std::int64_t addFolder(std::int64_t parent, const std::u16string& name);
    std::int64_t allocate() { return nextFree++; }
    void setFat(std::int64_t cluster, std::uint32_t next) {
        LittleEndian::write32(image, map.fatEntryOffset(cluster), next);
    }
    // Deleted entries (type 0x05) up to the cluster's end, so a scan carries on into the next cluster.
    void fillWithDeleted(std::int64_t cluster);
    [[nodiscard]] std::size_t clusterOffset(std::int64_t cluster) const { return map.clusterOffset(cluster); }
    [[nodiscard]] std::int64_t heapBytes() const { return map.clusterCount * map.clusterBytes; }
    [[nodiscard]] MemoryBlockDevice device(int sectorSize = 512) const;

    std::vector<std::uint8_t> image;
    VolumeMap map;

private:
    std::int64_t nextFree = 40;  // well past what mkfs.exfat allocated
};

[[nodiscard]] VentoyLayout layoutAt(std::int64_t part1StartSector);
// "path:size" per file and "path/" per folder, joined by ", "; other results rendered whole.
[[nodiscard]] std::string summary(const ExfatListingResult& result);

// The mount type of a working exFAT driver here: the kernel's "exfat", else "exfat-fuse".
[[nodiscard]] std::optional<std::string> exfatMountType();

// A volume mounted for the lifetime of the object, unmounted (after a sync) however the test ends.
class MountedVolume {
public:
    static std::optional<MountedVolume> mount(const std::string& type, const std::string& device,
                                              const std::filesystem::path& mountPoint, std::string& whyNot);
    MountedVolume(MountedVolume&& other) noexcept;
    MountedVolume& operator=(MountedVolume&&) = delete;
    ~MountedVolume();
    [[nodiscard]] const std::filesystem::path& path() const { return mountPoint; }

private:
    explicit MountedVolume(std::filesystem::path point) : mountPoint(std::move(point)) {}
    std::filesystem::path mountPoint;
};

}  // namespace marlowick::test
