#include "Home/VentoyUpdatePresentation.hpp"

#include <gtest/gtest.h>

namespace marlowick {
namespace {

using Status = VentoyUpdatePresentation::Status;

struct UpdateCase {
    const char* name;
    std::optional<std::string> installed;
    const char* recommended;
    Status status;
    const char* label;
    const char* link;
};

class VentoyUpdate : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(VentoyUpdate, OneComparisonGivesTheStatusAndTheLink) {
    const UpdateCase& c = GetParam();
    const VentoyUpdatePresentation update(c.installed, c.recommended);
    EXPECT_EQ(update.status, c.status);
    EXPECT_EQ(update.offersUpdate(), c.status == Status::updateAvailable);
    EXPECT_EQ(update.statusLabel(), c.label);
    EXPECT_EQ(update.updateLinkTitle(), c.link);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VentoyUpdate,
    ::testing::Values(
        UpdateCase{"older", "1.0.99", "1.1.17", Status::updateAvailable, "Update available", "Update to 1.1.17"},
        UpdateCase{"olderByTheLastPart", "1.1.9", "1.1.17", Status::updateAvailable, "Update available",
                   "Update to 1.1.17"},
        UpdateCase{"same", "1.1.17", "1.1.17", Status::upToDate, "Ready", "Reinstall boot files"},
        UpdateCase{"newer", "1.2.0", "1.1.17", Status::upToDate, "Ready", "Reinstall boot files"},
        UpdateCase{"notInstalled", std::nullopt, "1.1.17", Status::versionUnknown, "Ventoy installed",
                   "Reinstall boot files"},
        UpdateCase{"unreadableInstalled", "one.two", "1.1.17", Status::versionUnknown, "Ventoy installed",
                   "Reinstall boot files"},
        UpdateCase{"noRecommendation", "1.0.99", "", Status::versionUnknown, "Ventoy installed",
                   "Reinstall boot files"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace marlowick
