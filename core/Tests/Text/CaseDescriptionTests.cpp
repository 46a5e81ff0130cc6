#include "Text/CaseDescription.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

TEST(CaseDescription, RendersCaseNameAndLabelledPayload) {
    EXPECT_EQ(CaseDescription("success").str(), "success");
    EXPECT_EQ(CaseDescription("outOfBounds").field("startSector", 8).field("sectorCount", 4).str(),
              "outOfBounds(startSector: 8, sectorCount: 4)");
    EXPECT_EQ(CaseDescription("closed").field("operation", "read").str(), "closed(operation: \"read\")");
    EXPECT_EQ(CaseDescription("startLbaOutOf32BitRange").value(std::int64_t{4294967296}).str(),
              "startLbaOutOf32BitRange(4294967296)");
    EXPECT_EQ(CaseDescription("failure").rawField("error", "closed(operation: \"flush\")").field("cancelled", false).str(),
              "failure(error: closed(operation: \"flush\"), cancelled: false)");
    EXPECT_EQ(CaseDescription("n").value(std::int64_t{-5}).str(), "n(-5)");
}

TEST(CaseDescription, RendersAbsentOptionalsAsNoneAndPresentOnesAsTheirValue) {
    // Named values: GCC 12 misreads optionals built inside the expression as uninitialised.
    const std::optional<bool> notRun;
    const std::optional<bool> failed = false;
    const std::optional<std::int64_t> count = 7;
    const std::optional<std::string> label = "A \"b\"";
    const std::optional<std::string> noVersion;
    EXPECT_EQ(CaseDescription("step")
                  .field("ok", notRun)
                  .field("flushed", failed)
                  .field("count", count)
                  .field("label", label)
                  .field("version", noVersion)
                  .str(),
              "step(ok: none, flushed: false, count: 7, label: \"A \\\"b\\\"\", version: none)");
}

TEST(CaseDescription, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(CaseDescription::quoted("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u{01}\"");
    EXPECT_EQ(CaseDescription::quoted("naïve — ok"), "\"naïve — ok\"");
}

}  // namespace
}  // namespace marlowick
