#include "Detect/VentoyVersionReader.hpp"

#include <algorithm>
#include <charconv>

namespace marlowick::VentoyVersionReader {
namespace {

bool isDigit(std::uint8_t byte) { return byte >= '0' && byte <= '9'; }
bool isVersionByte(std::uint8_t byte) { return isDigit(byte) || byte == '.'; }
bool isDigitChar(char c) { return isDigit(static_cast<std::uint8_t>(c)); }
bool sameByte(std::uint8_t byte, char wanted) { return byte == static_cast<std::uint8_t>(wanted); }

// Not empty, at least one dot, and only non-empty runs of digits between the dots.
bool isValidVersion(std::string_view text) {
    if (text.find('.') == std::string_view::npos) return false;
    std::size_t partLength = 0;
    for (const char c : text) {
        if (c == '.') {
            if (partLength == 0) return false;
            partLength = 0;
        } else if (isDigitChar(c)) {
            ++partLength;
        } else {
            return false;
        }
    }
    return partLength > 0;
}

// The version that starts at `start`, just behind a marker: either quoted (it ends at the
// closing quote) or bare (it ends at the first byte that is neither a digit nor a dot).
// At most maxVersionChars + 1 characters are gathered. The gathered text must not reach
// the buffer's last byte: the byte after it decides where it ends, and a chunk that ends
// mid-version is seen whole in the next buffer.
std::optional<std::string> parseVersionAt(std::span<const std::uint8_t> bytes, std::size_t start) {
    std::size_t position = start;
    if (position >= bytes.size()) return std::nullopt;
    const bool quoted = bytes[position] == '"';
    if (quoted && ++position >= bytes.size()) return std::nullopt;

    std::string text;
    while (text.size() <= maxVersionChars) {
        const std::uint8_t byte = bytes[position];
        if (quoted ? byte == '"' : !isVersionByte(byte)) break;
        if (!isVersionByte(byte)) return std::nullopt;
        text.push_back(static_cast<char>(byte));
        if (++position >= bytes.size()) return std::nullopt;
    }
    if (!isValidVersion(text)) return std::nullopt;
    return text;
}

}  // namespace

std::optional<std::string> extractVersion(std::span<const std::uint8_t> bytes) {
    auto from = bytes.begin();
    while (true) {
        const auto found = std::search(from, bytes.end(), marker.begin(), marker.end(), sameByte);
        if (found == bytes.end()) return std::nullopt;
        const auto behindMarker = static_cast<std::size_t>(found - bytes.begin()) + marker.size();
        if (auto version = parseVersionAt(bytes, behindMarker)) return version;
        from = found + 1;
    }
}

VentoyVersionResult read(BlockDevice& device, const VentoyLayout& layout, std::int64_t scanChunkSectors) {
    // A chunk of no sectors would never advance; refuse it as the device itself would.
    if (scanChunkSectors < 1) {
        return {VentoyVersionResult::ReadFailed{BlockError{BlockError::InvalidSectorCount{scanChunkSectors}}}};
    }
    std::vector<std::uint8_t> buffer;
    for (std::int64_t scanned = 0; scanned < layout.part2SectorCount;) {
        const std::int64_t count = std::min(layout.part2SectorCount - scanned, scanChunkSectors);
        BlockReadResult chunk = device.readSectors(layout.part2StartSector + scanned, count);
        if (auto* error = std::get_if<BlockError>(&chunk)) return {VentoyVersionResult::ReadFailed{*error}};
        const std::vector<std::uint8_t>& data = std::get<BlockReadSuccess>(chunk).data;
        buffer.insert(buffer.end(), data.begin(), data.end());
        if (auto version = extractVersion(buffer)) return {VentoyVersionResult::Found{*version}};
        if (buffer.size() > carryBytes) buffer.erase(buffer.begin(), buffer.end() - carryBytes);
        scanned += count;
    }
    return {VentoyVersionResult::NotFound{}};
}

std::optional<std::vector<std::int64_t>> parseVersion(std::string_view text) {
    std::vector<std::int64_t> parts;
    std::size_t partStart = 0;
    while (true) {
        const std::size_t dot = std::min(text.find('.', partStart), text.size());
        const std::string_view part = text.substr(partStart, dot - partStart);
        if (part.empty() || !std::all_of(part.begin(), part.end(), isDigitChar)) {
            return std::nullopt;
        }
        std::int64_t number = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), number);
        if (error != std::errc{} || end != part.data() + part.size()) return std::nullopt;
        parts.push_back(number);
        if (dot == text.size()) return parts;
        partStart = dot + 1;
    }
}

int compareVersions(const std::vector<std::int64_t>& a, const std::vector<std::int64_t>& b) {
    const std::size_t length = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < length; ++i) {
        const std::int64_t left = i < a.size() ? a[i] : 0;
        const std::int64_t right = i < b.size() ? b[i] : 0;
        if (left != right) return left < right ? -1 : 1;
    }
    return 0;
}

std::optional<bool> updateAvailable(const std::optional<std::string>& installed, std::string_view pinned) {
    if (!installed) return std::nullopt;
    const auto installedParts = parseVersion(*installed);
    const auto pinnedParts = parseVersion(pinned);
    if (!installedParts || !pinnedParts) return std::nullopt;
    return compareVersions(*installedParts, *pinnedParts) == -1;
}

}  // namespace marlowick::VentoyVersionReader
