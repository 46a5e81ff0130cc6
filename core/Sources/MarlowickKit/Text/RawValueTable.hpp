#pragma once
// The raw texts of an enumeration whose cases are numbered 0, 1, 2… in declaration
// order: case → text, text → case (exact and case-sensitive), and every case in order.
//
//   inline constexpr RawValueTable<DriveVisibility, 2> driveVisibilityRawValues{{"usbOnly", "allExternal"}};

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace marlowick {

template <class Enum, std::size_t count>
class RawValueTable {
public:
    constexpr explicit RawValueTable(std::array<std::string_view, count> rawTexts) : texts(rawTexts) {}

    [[nodiscard]] constexpr std::string_view text(Enum value) const { return texts.at(static_cast<std::size_t>(value)); }

    [[nodiscard]] constexpr std::optional<Enum> parse(std::string_view raw) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (texts[i] == raw) return static_cast<Enum>(i);
        }
        return std::nullopt;
    }

    [[nodiscard]] constexpr std::array<Enum, count> all() const {
        std::array<Enum, count> cases{};
        for (std::size_t i = 0; i < count; ++i) cases[i] = static_cast<Enum>(i);
        return cases;
    }

private:
    std::array<std::string_view, count> texts;
};

}  // namespace marlowick
