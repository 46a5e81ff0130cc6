// File entry sets: the file entry, its stream extension and its name entries, with the
// set checksum and the name hash that readers check them by.

#include <unicode/unistr.h>

#include "Bytes/LittleEndian.hpp"
#include "Text/CaseDescription.hpp"
#include "Exfat/ExfatStructures.hpp"

namespace marlowick {
namespace {

struct ErrorRenderer {
    std::string operator()(const ExfatStructuresError::VolumeLabelTooLong& e) const {
        return CaseDescription("volumeLabelTooLong").field("count", e.count).field("max", e.max).str();
    }
    std::string operator()(const ExfatStructuresError::FileNameTooLong& e) const {
        return CaseDescription("fileNameTooLong").field("count", e.count).field("max", e.max).str();
    }
    std::string operator()(const ExfatStructuresError::EmptyFileName&) const {
        return CaseDescription("emptyFileName").str();
    }
};

}  // namespace

std::string render(const ExfatStructuresError::Case& error) { return std::visit(ErrorRenderer{}, error); }

ExfatStructuresError::ExfatStructuresError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

namespace ExfatStructures {

std::u16string utf16(std::string_view utf8) {
    const icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
    return std::u16string(text.getBuffer(), static_cast<std::size_t>(text.length()));
}

std::int64_t fileEntrySetCount(std::int64_t nameLength) {
    if (nameLength <= 0) return 3;
    const auto perEntry = static_cast<std::int64_t>(fileNameCharsPerEntry);
    return 2 + (nameLength + perEntry - 1) / perEntry;
}

Bytes buildFileEntrySet(std::string_view name, std::int64_t sizeBytes, std::int64_t firstCluster, bool isDirectory,
                        const ExfatTimestamp& timestamp) {
    const std::u16string units = utf16(name);
    if (units.empty()) throw ExfatStructuresError(ExfatStructuresError::EmptyFileName{});
    if (units.size() > maxFileNameChars) {
        throw ExfatStructuresError(ExfatStructuresError::FileNameTooLong{
            static_cast<std::int64_t>(units.size()), static_cast<std::int64_t>(maxFileNameChars)});
    }
    const auto entryCount = static_cast<std::size_t>(fileEntrySetCount(static_cast<std::int64_t>(units.size())));
    const std::size_t nameEntries = entryCount - 2;
    Bytes set(entryCount * dirEntrySize, 0);
    const std::span<std::uint8_t> file(set.data(), dirEntrySize);
    const std::span<std::uint8_t> stream(set.data() + dirEntrySize, dirEntrySize);

    file[DirEntry::entryTypeOffset] = EntryType::file;
    file[DirEntry::secondaryCountOffset] = static_cast<std::uint8_t>(nameEntries + 1);
    LittleEndian::write16(file, DirEntry::fileAttributesOffset,
                         isDirectory ? DirEntry::attributeDirectory : DirEntry::attributeArchive);
    for (const std::size_t offset : {DirEntry::createTimestampOffset, DirEntry::lastModifiedTimestampOffset,
                                     DirEntry::lastAccessedTimestampOffset}) {
        LittleEndian::write32(file, offset, timestamp.dosDateTime);
    }
    file[DirEntry::create10msIncrementOffset] = timestamp.tenMsIncrement;
    file[DirEntry::lastModified10msIncrementOffset] = timestamp.tenMsIncrement;
    file[DirEntry::createUtcOffsetOffset] = timestamp.utcOffset;
    file[DirEntry::lastModifiedUtcOffsetOffset] = timestamp.utcOffset;
    file[DirEntry::lastAccessedUtcOffsetOffset] = timestamp.utcOffset;

    stream[DirEntry::entryTypeOffset] = EntryType::streamExtension;
    stream[DirEntry::generalSecondaryFlagsOffset] = DirEntry::allocationPossible;
    stream[DirEntry::nameLengthOffset] = static_cast<std::uint8_t>(units.size());
    LittleEndian::write16(stream, DirEntry::nameHashOffset, nameHash(units));
    LittleEndian::write64(stream, DirEntry::validDataLengthOffset, sizeBytes);
    LittleEndian::write32(stream, DirEntry::firstClusterOffset, firstCluster);
    LittleEndian::write64(stream, DirEntry::dataLengthOffset, sizeBytes);

    for (std::size_t entry = 0; entry < nameEntries; ++entry) {
        const std::span<std::uint8_t> nameEntry(set.data() + (2 + entry) * dirEntrySize, dirEntrySize);
        nameEntry[DirEntry::entryTypeOffset] = EntryType::fileName;
        const std::size_t first = entry * fileNameCharsPerEntry;
        const std::size_t count = std::min(fileNameCharsPerEntry, units.size() - first);
        for (std::size_t index = 0; index < count; ++index) {
            LittleEndian::write16(nameEntry, DirEntry::fileNameOffset + 2 * index, units[first + index]);
        }
    }
    LittleEndian::write16(file, DirEntry::setChecksumOffset, entrySetChecksum(set));
    return set;
}

std::int16_t nameHash(std::u16string_view name, const ExfatUpcaseTable::Mapping& upcase) {
    std::uint16_t hash = 0;
    for (const char16_t unit : name) {
        const char16_t upper = upcase[unit];
        hash = rotateRightAdd(hash, static_cast<std::uint8_t>(upper & 0xFF));
        hash = rotateRightAdd(hash, static_cast<std::uint8_t>(upper >> 8));
    }
    return static_cast<std::int16_t>(hash);
}

std::int16_t nameHash(std::string_view utf8Name) { return nameHash(utf16(utf8Name)); }

std::int16_t entrySetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint16_t checksum = 0;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        // The checksum field itself.
        if (index == DirEntry::setChecksumOffset || index == DirEntry::setChecksumOffset + 1) continue;
        checksum = rotateRightAdd(checksum, bytes[index]);
    }
    return static_cast<std::int16_t>(checksum);
}

}  // namespace ExfatStructures
}  // namespace marlowick
