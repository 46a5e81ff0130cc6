// Any bytes as the start of an exFAT data partition: every read gives the same answer
// twice; the listing without folders is the listing with folders, folders taken out; and
// the images listing is the file listing filtered by extension, in the same order.
// Input: one byte choosing the sector size, four bytes of partition size in sectors, then
// the partition's first sectors.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Exfat/ExfatDirectoryReader.hpp"
#include "FuzzBlockDevice.hpp"

namespace {

using namespace marlowick;

constexpr std::int64_t maxEntries = 4096;

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The extension in lower case, or nothing when it is not plain ASCII (ICU lowers those).
std::optional<std::string> asciiExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (!isAscii(extension)) return std::nullopt;
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    const int sectorSize = (fuzz::take(bytes, 1) & 1) != 0 ? 4096 : 512;
    const auto sectorCount = static_cast<std::int64_t>(fuzz::take(bytes, 4)) + 1;
    fuzz::FuzzBlockDevice device(bytes, sectorCount, sectorSize);
    const VentoyLayout layout{sectorCount, sectorSize, 0, sectorCount, sectorCount, 0, PartitionStyle::mbr, 0};

    ExfatReadOptions options{4, maxEntries, true, 64};
    const ExfatListingResult withFolders = ExfatDirectoryReader::read(device, layout, options);
    if (!(ExfatDirectoryReader::read(device, layout, options) == withFolders)) std::abort();
    options.includeDirectories = false;
    const ExfatListingResult files = ExfatDirectoryReader::read(device, layout, options);
    const ExfatListingResult images =
        ExfatDirectoryReader::readImages(device, layout, ExfatDirectoryReader::bootableImageExtensions, options);

    const auto* all = std::get_if<ExfatListingResult::Success>(&withFolders.value);
    const auto* fileList = std::get_if<ExfatListingResult::Success>(&files.value);
    const auto* imageList = std::get_if<ExfatListingResult::Success>(&images.value);
    if (all == nullptr || fileList == nullptr || imageList == nullptr) {
        // A volume that cannot be listed cannot be listed in any of the three ways.
        if (!(files == withFolders) || !(images == withFolders)) std::abort();
        return 0;
    }
    // Folders count towards the entry limit; only an unclipped listing can be compared.
    if (static_cast<std::int64_t>(all->entries.size()) < maxEntries) {
        std::vector<ExfatEntry> withoutFolders;
        std::copy_if(all->entries.begin(), all->entries.end(), std::back_inserter(withoutFolders),
                     [](const ExfatEntry& entry) { return !entry.isDirectory; });
        if (!(withoutFolders == fileList->entries)) std::abort();
    }
    auto next = fileList->entries.begin();
    for (const ExfatEntry& image : imageList->entries) {
        next = std::find(next, fileList->entries.end(), image);
        if (next == fileList->entries.end()) std::abort();  // not a listed file, or out of order
        ++next;
    }
    for (const ExfatEntry& file : fileList->entries) {
        if (file.isDirectory || file.sizeBytes < 0) std::abort();
        const auto extension = asciiExtension(file.name);
        if (!extension) continue;
        const bool wanted = ExfatDirectoryReader::bootableImageExtensions.contains(*extension);
        const bool listed = std::find(imageList->entries.begin(), imageList->entries.end(), file) !=
                            imageList->entries.end();
        if (wanted != listed) std::abort();
    }

    const ExfatFreeSpaceResult space = ExfatDirectoryReader::readFreeSpace(device, layout, options);
    if (const auto* counted = std::get_if<ExfatFreeSpaceResult::Success>(&space.value)) {
        if (counted->freeBytes < 0 || counted->freeBytes > counted->totalBytes) std::abort();
    }
    return 0;
}
