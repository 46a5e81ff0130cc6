#include "Block/DeviceFingerprint.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <limits>

#include "Text/CaseDescription.hpp"

namespace marlowick {
namespace {

// Unicode White_Space: the blanks, tab, line feed, carriage return and the other line
// separators. Bytes that are not valid UTF-8 stop the trimming.
bool isWhiteSpace(UChar32 c) { return c >= 0 && u_isUWhiteSpace(c); }

// ICU's UTF-8 stepping macros cast in the C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::optional<std::string> normalised(std::optional<std::string> text) {
    if (!text || text->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return text;
    const char* s = text->data();
    const auto length = static_cast<std::int32_t>(text->size());
    std::int32_t begin = 0;
    while (begin < length) {
        std::int32_t next = begin;
        UChar32 c = 0;
        U8_NEXT(s, next, length, c);
        if (!isWhiteSpace(c)) break;
        begin = next;
    }
    std::int32_t end = length;
    while (end > begin) {
        std::int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(s, begin, previous, c);
        if (!isWhiteSpace(c)) break;
        end = previous;
    }
    if (begin == end) return std::nullopt;
    return text->substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}
#pragma GCC diagnostic pop

FingerprintMatch mismatch(DeviceFingerprint::Field field) { return {FingerprintMatch::Mismatch{field}}; }

}  // namespace

DeviceFingerprint::DeviceFingerprint(std::optional<std::string> serial, std::optional<std::string> vendorName,
                                     std::optional<std::string> modelName, std::optional<std::string> revisionText,
                                     std::int64_t capacity, std::int64_t logicalSectorSize, bool removable,
                                     bool internal)
    : serialNumber(normalised(std::move(serial))),
      vendor(normalised(std::move(vendorName))),
      model(normalised(std::move(modelName))),
      revision(normalised(std::move(revisionText))),
      capacityBytes(capacity),
      sectorSize(logicalSectorSize),
      isRemovable(removable),
      isInternal(internal) {}

DeviceFingerprint::Strength DeviceFingerprint::strength() const {
    if (serialNumber) return Strength::unit;
    if (vendor || model) return Strength::model;
    return Strength::capacityOnly;
}

FingerprintMatch DeviceFingerprint::match(const DeviceFingerprint& against) const {
    // The numbers first: a different capacity or sector size is the plainest sign of another drive.
    if (capacityBytes != against.capacityBytes) return mismatch(Field::capacity);
    if (sectorSize != against.sectorSize) return mismatch(Field::sectorSize);
    if (serialNumber != against.serialNumber) return mismatch(Field::serialNumber);
    if (vendor != against.vendor) return mismatch(Field::vendor);
    if (model != against.model) return mismatch(Field::model);
    if (revision != against.revision) return mismatch(Field::revision);
    if (isRemovable != against.isRemovable) return mismatch(Field::removable);
    if (isInternal != against.isInternal) return mismatch(Field::internalBus);
    return {FingerprintMatch::Match{}};
}

std::string render(const FingerprintMatch& match) {
    if (const auto* different = std::get_if<FingerprintMatch::Mismatch>(&match.value)) {
        return CaseDescription("mismatch").rawField("field", rawValue(different->field)).str();
    }
    return "match";
}

void PrintTo(const FingerprintMatch& match, std::ostream* os) { *os << render(match); }

void PrintTo(const DeviceFingerprint& f, std::ostream* os) {
    CaseDescription description("DeviceFingerprint");
    const auto text = [&description](std::string_view label, const std::optional<std::string>& value) {
        if (value) {
            description.field(label, *value);
        } else {
            description.rawField(label, "nil");
        }
    };
    text("serialNumber", f.serialNumber);
    text("vendor", f.vendor);
    text("model", f.model);
    text("revision", f.revision);
    description.field("capacityBytes", f.capacityBytes)
        .field("sectorSize", f.sectorSize)
        .field("isRemovable", f.isRemovable)
        .field("isInternal", f.isInternal);
    *os << description.str();
}

}  // namespace marlowick
