#include "Image/RawWritePreflight.hpp"

#include "Text/CaseDescription.hpp"
#include "Image/ByteCountText.hpp"
#include "Image/RawWriteMessages.hpp"

namespace marlowick {
namespace RawWritePreflight {

std::vector<RawWritePreflightNotice> notices(const IsoHeader& header, std::optional<std::int64_t> fileBytes) {
    std::vector<RawWritePreflightNotice> found;
    if (header.declaredBytes && fileBytes && truncated(*header.declaredBytes, *fileBytes)) {
        found.push_back({RawWritePreflightNotice::Truncated{*header.declaredBytes, *fileBytes}});
    }
    if (header.bootRecord == IsoBootRecord::none) found.push_back({RawWritePreflightNotice::NoBootRecord{}});
    if (header.uefiBoot == IsoUefiBoot::none) found.push_back({RawWritePreflightNotice::BiosOnly{}});
    return found;
}

bool truncated(std::int64_t declaredBytes, std::int64_t fileBytes) { return fileBytes < declaredBytes; }

std::pair<std::string, std::string> distinguishableSizes(std::int64_t a, std::int64_t b, std::string_view locale) {
    std::string first = ByteCountText::fileSize(a, locale);
    std::string second = ByteCountText::fileSize(b, locale);
    if (first != second) return {std::move(first), std::move(second)};
    return {ByteCountText::exactBytes(a, locale), ByteCountText::exactBytes(b, locale)};
}

}  // namespace RawWritePreflight

namespace {

struct MessageMaker {
    std::string operator()(const RawWritePreflightNotice::Truncated& t) const {
        const auto [declared, file] = RawWritePreflight::distinguishableSizes(t.declaredBytes, t.fileBytes);
        return RawWriteMessages::truncated(declared, file);
    }
    std::string operator()(const RawWritePreflightNotice::NoBootRecord&) const {
        return std::string(RawWriteMessages::noBootRecord);
    }
    std::string operator()(const RawWritePreflightNotice::BiosOnly&) const {
        return std::string(RawWriteMessages::biosOnly);
    }
};

struct NoticeRenderer {
    std::string operator()(const RawWritePreflightNotice::Truncated& t) const {
        return CaseDescription("truncated").field("declaredBytes", t.declaredBytes).field("fileBytes", t.fileBytes).str();
    }
    std::string operator()(const RawWritePreflightNotice::NoBootRecord&) const { return "noBootRecord"; }
    std::string operator()(const RawWritePreflightNotice::BiosOnly&) const { return "biosOnly"; }
};

}  // namespace

std::string RawWritePreflightNotice::message() const { return std::visit(MessageMaker{}, value); }

std::string render(const RawWritePreflightNotice& notice) { return std::visit(NoticeRenderer{}, notice.value); }
void PrintTo(const RawWritePreflightNotice& notice, std::ostream* os) { *os << render(notice); }

}  // namespace marlowick
