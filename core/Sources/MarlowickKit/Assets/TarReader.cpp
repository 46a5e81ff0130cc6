#include "Assets/TarReader.hpp"

#include <algorithm>
#include <optional>

#include "Text/CaseDescription.hpp"
#include "Text/UnicodeText.hpp"

namespace marlowick {
namespace {

constexpr std::size_t nameOffset = 0, nameLength = 100;
constexpr std::size_t sizeOffset = 124, sizeLength = 12;

bool isZeroBlock(std::span<const std::uint8_t> block) {
    return std::all_of(block.begin(), block.end(), [](std::uint8_t byte) { return byte == 0; });
}

std::string tarName(std::span<const std::uint8_t> header) {
    const auto field = header.subspan(nameOffset, nameLength);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return repairedUtf8(std::string_view(reinterpret_cast<const char*>(field.data()),
                                         static_cast<std::size_t>(end - field.begin())));
}

bool isOctalDigit(std::uint8_t byte) { return byte >= '0' && byte <= '7'; }
bool endsNumber(std::uint8_t byte) { return byte == ' ' || byte == 0; }

// Octal text, optionally led by spaces or zero bytes and ended by a space or a zero byte.
// Eleven digits hold at most 8 GiB, which fits easily. The base-256 binary form (high bit
// of the first byte set) is not a digit, so it does not parse.
std::optional<std::int64_t> tarSize(std::span<const std::uint8_t> header) {
    const auto field = header.subspan(sizeOffset, sizeLength);
    std::size_t at = 0;
    while (at < field.size() && endsNumber(field[at])) ++at;
    if (at == field.size() || !isOctalDigit(field[at])) return std::nullopt;
    std::int64_t value = 0;
    for (; at < field.size() && !endsNumber(field[at]); ++at) {
        if (!isOctalDigit(field[at])) return std::nullopt;
        value = value * 8 + (field[at] - '0');
    }
    return value;
}

struct Renderer {
    std::string operator()(const TarError::UnparseableSize& e) const {
        return CaseDescription("unparseableSize").field("name", e.name).str();
    }
    std::string operator()(const TarError::UnexpectedEnd&) const { return "unexpectedEnd"; }
};

}  // namespace

TarError::TarError(Case c) : std::runtime_error(render(c)), value(std::move(c)) {}

std::string render(const TarError::Case& error) { return std::visit(Renderer{}, error); }
void PrintTo(const TarError::Case& error, std::ostream* os) { *os << render(error); }

void PrintTo(const TarMember& member, std::ostream* os) {
    *os << CaseDescription::quoted(member.name) << " (" << member.data.size() << " bytes)";
}

std::vector<TarMember> TarReader::members(std::span<const std::uint8_t> archive) {
    std::vector<TarMember> members;
    std::size_t position = 0;
    for (;;) {
        if (archive.size() - position < blockBytes) throw TarError(TarError::UnexpectedEnd{});
        const auto header = archive.subspan(position, blockBytes);
        // One zero block ends the archive; the second that writers add is not looked at.
        if (isZeroBlock(header)) return members;
        std::string name = tarName(header);
        const std::optional<std::int64_t> size = tarSize(header);
        if (!size) throw TarError(TarError::UnparseableSize{std::move(name)});
        const auto contentBytes = static_cast<std::uint64_t>(*size);
        const std::size_t contentStart = position + blockBytes;
        if (contentBytes > archive.size() - contentStart) throw TarError(TarError::UnexpectedEnd{});
        const auto content = archive.subspan(contentStart, static_cast<std::size_t>(contentBytes));
        members.push_back(TarMember{std::move(name), {content.begin(), content.end()}});
        // Content is padded to whole blocks; it fits in the archive, so this cannot overflow.
        position = contentStart + (content.size() + blockBytes - 1) / blockBytes * blockBytes;
        // Padding that runs past the end is caught by the next header's length check.
        position = std::min(position, archive.size());
    }
}

}  // namespace marlowick
