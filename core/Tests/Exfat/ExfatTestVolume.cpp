#include "Exfat/ExfatTestVolume.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Block/BlockRequestChecks.hpp"

namespace marlowick::test {

FileBlockDevice::FileBlockDevice(const std::filesystem::path& file, int sectorSize)
    : descriptor(::open(file.c_str(), O_RDONLY | O_CLOEXEC)), sectorSizeValue(sectorSize) {
    if (descriptor >= 0) {
        sectorCountValue = static_cast<std::int64_t>(std::filesystem::file_size(file)) / sectorSize;
    }
}

FileBlockDevice::~FileBlockDevice() { close(); }

void FileBlockDevice::close() {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
}

BlockReadResult FileBlockDevice::readSectors(std::int64_t startSector, std::int64_t sectorCount) {
    if (auto error = BlockRequestChecks::read(descriptor < 0, startSector, sectorCount, sectorCountValue)) {
        return *error;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(sectorCount * sectorSizeValue));
    const ssize_t got = ::pread(descriptor, data.data(), data.size(), startSector * sectorSizeValue);
    if (got != static_cast<ssize_t>(data.size())) {
        return BlockError{BlockError::DeviceFailure{"read", got < 0 ? std::strerror(errno) : "short read"}};
    }
    return BlockReadSuccess{std::move(data)};
}

BlockWriteResult FileBlockDevice::writeSectors(std::int64_t, const std::vector<std::uint8_t>&) {
    return BlockError{BlockError::DeviceFailure{"write", "read-only test device"}};
}

std::vector<std::uint8_t> mkfsExfatImage(const TempDir& dir, std::int64_t sizeBytes, const std::string& options) {
    const std::filesystem::path image = dir.file("mkfs.img");
    createSparseFile(image, sizeBytes);
    const CommandOutput made = runCommand("mkfs.exfat " + options + " '" + image.string() + "'");
    if (made.exitCode != 0) return {};
    // One read, not readFile's byte-by-byte copy: these images run to tens of MiB.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sizeBytes));
    std::ifstream in(image, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return in ? bytes : std::vector<std::uint8_t>{};
}

VolumeMap mapVolume(const std::vector<std::uint8_t>& image) {
    VolumeMap map;
    map.bytesPerSector = std::int64_t{1} << image.at(108);
    map.clusterBytes = map.bytesPerSector << image.at(109);
    map.fatOffsetBytes = static_cast<std::int64_t>(LittleEndian::read32(image, 80)) * map.bytesPerSector;
    map.heapOffsetBytes = static_cast<std::int64_t>(LittleEndian::read32(image, 88)) * map.bytesPerSector;
    map.clusterCount = static_cast<std::int64_t>(LittleEndian::read32(image, 92));
    map.rootCluster = static_cast<std::int64_t>(LittleEndian::read32(image, 96));
    return map;
}

std::size_t VolumeMap::clusterOffset(std::int64_t cluster) const {
    return static_cast<std::size_t>(heapOffsetBytes + (cluster - 2) * clusterBytes);
}

std::size_t VolumeMap::fatEntryOffset(std::int64_t cluster) const {
    return static_cast<std::size_t>(fatOffsetBytes + cluster * 4);
}

std::size_t VolumeMap::endOfDirectory(const std::vector<std::uint8_t>& image, std::int64_t cluster) const {
    std::size_t offset = clusterOffset(cluster);
    while (image.at(offset) != 0) offset += 32;
    return offset;
}

std::vector<std::uint8_t> entrySet(const EntrySetFields& fields) {
    const std::size_t nameEntries = (fields.name.size() + 14) / 15;
    std::vector<std::uint8_t> set((2 + nameEntries) * 32, 0);
    set[0] = 0x85;
    set[1] = fields.secondaryCount.value_or(static_cast<std::uint8_t>(1 + nameEntries));
    set[4] = fields.isDirectory ? 0x10 : 0x20;
    set[32] = 0xC0;
    set[33] = fields.secondaryFlags;
    set[35] = fields.nameLength.value_or(static_cast<std::uint8_t>(fields.name.size()));
    LittleEndian::write64(set, 40, fields.dataLength);
    LittleEndian::write32(set, 52, fields.firstCluster);
    LittleEndian::write64(set, 56, fields.dataLength);
    for (std::size_t i = 0; i < fields.name.size(); ++i) {
        const std::size_t entry = 2 + i / 15;
        set[entry * 32] = 0xC1;
        LittleEndian::write16(set, entry * 32 + 2 + (i % 15) * 2, fields.name[i]);
    }
    return set;
}

EntrySetFields fileSet(std::u16string name, std::uint64_t sizeBytes) {
    EntrySetFields fields;
    fields.name = std::move(name);
    fields.dataLength = sizeBytes;
    return fields;
}

EntrySetFields folderSet(std::u16string name, std::uint32_t firstCluster, std::uint64_t dataLength,
                       std::uint8_t secondaryFlags) {
    EntrySetFields fields = fileSet(std::move(name), dataLength);
    fields.isDirectory = true;
    fields.firstCluster = firstCluster;
    fields.secondaryFlags = secondaryFlags;
    return fields;
}

EntrySetFields bent(EntrySetFields fields, std::optional<std::uint8_t> nameLength,
                  std::optional<std::uint8_t> secondaryCount) {
    fields.nameLength = nameLength;
    fields.secondaryCount = secondaryCount;
    return fields;
}

HandBuiltVolume::HandBuiltVolume(const TempDir& dir, std::int64_t sizeBytes)
    : image(mkfsExfatImage(dir, sizeBytes, "-c 4K")), map(image.empty() ? VolumeMap{} : mapVolume(image)) {}

void HandBuiltVolume::place(std::size_t offset, const EntrySetFields& fields) {
    const std::vector<std::uint8_t> set = entrySet(fields);
    std::copy(set.begin(), set.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::int64_t HandBuiltVolume::addFolder(std::int64_t parent, const std::u16string& name) {
    const std::int64_t cluster = allocate();
    setFat(cluster, 0xFFFF'FFFF);
    add(parent, folderSet(name, static_cast<std::uint32_t>(cluster), static_cast<std::uint64_t>(map.clusterBytes)));
    return cluster;
}

void HandBuiltVolume::fillWithDeleted(std::int64_t cluster) {
    const std::size_t end = map.clusterOffset(cluster) + static_cast<std::size_t>(map.clusterBytes);
    for (std::size_t offset = map.endOfDirectory(image, cluster); offset < end; offset += 32) image[offset] = 0x05;
}

MemoryBlockDevice HandBuiltVolume::device(int sectorSize) const {
    const std::int64_t startBytes = deviceStartSector * 512;
    MemoryBlockDevice device((startBytes + static_cast<std::int64_t>(image.size())) / sectorSize, sectorSize);
    std::copy(image.begin(), image.end(), device.mutableBytes().begin() + startBytes);
    return device;
}

VentoyLayout layoutAt(std::int64_t part1StartSector) {
    VentoyLayout layout;
    layout.part1StartSector = part1StartSector;
    return layout;
}

std::string summary(const ExfatListingResult& result) {
    const auto* success = std::get_if<ExfatListingResult::Success>(&result.value);
    if (success == nullptr) return render(result);
    std::string text;
    for (const ExfatEntry& entry : success->entries) {
        if (!text.empty()) text += ", ";
        text += entry.isDirectory ? entry.path + "/" : entry.path + ":" + std::to_string(entry.sizeBytes);
    }
    return text;
}

std::optional<std::string> exfatMountType() {
    std::ifstream filesystems("/proc/filesystems");
    std::stringstream text;
    text << filesystems.rdbuf();
    if (text.str().find("\texfat\n") != std::string::npos) return "exfat";
    if (hasTool("modprobe") && runCommand("modprobe exfat").exitCode == 0) return "exfat";
    if (hasTool("mount.exfat-fuse") && text.str().find("fuseblk") != std::string::npos) return "exfat-fuse";
    return std::nullopt;
}

std::optional<MountedVolume> MountedVolume::mount(const std::string& type, const std::string& device,
                                                  const std::filesystem::path& mountPoint, std::string& whyNot) {
    std::filesystem::create_directories(mountPoint);
    const CommandOutput mounted =
        runCommand("mount -t " + type + " '" + device + "' '" + mountPoint.string() + "'");
    if (mounted.exitCode != 0) {
        whyNot = mounted.output;
        return std::nullopt;
    }
    return MountedVolume(mountPoint);
}

MountedVolume::MountedVolume(MountedVolume&& other) noexcept : mountPoint(std::move(other.mountPoint)) {
    other.mountPoint.clear();
}

MountedVolume::~MountedVolume() {
    if (mountPoint.empty()) return;
    (void)runCommand("sync");
    (void)runCommand("umount '" + mountPoint.string() + "'");
}

}  // namespace marlowick::test
