#include "Home/HomeOperationKind.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Home/HomeOperationOutcome.hpp"
#include "Home/HomeOperationProgress.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;
using Friction = HomeConfirmationFriction;

TEST(HomeOperationKind, FactsOfEveryKind) {
    struct Row {
        Kind kind;
        const char* diagnosticName;
        Friction confirmation;
        bool isDestructive, reformatsDataPartition, needsVentoyAssets;
    };
    const Row rows[] = {
        {Kind::prepare, "Prepare", Friction::heavy, true, true, true},
        {Kind::reinstall, "Reinstall", Friction::heavy, true, true, true},
        {Kind::update, "Update", Friction::light, false, false, true},
        {Kind::removeVentoy, "Remove Ventoy", Friction::heavy, true, true, false},
        {Kind::addImage, "Add an image", Friction::none, false, false, false},
        {Kind::writeRawImage, "Write a disk image", Friction::heavy, true, false, false},
    };
    ASSERT_EQ(std::size(rows), allHomeOperationKinds.size());
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(caseName(row.kind));
        EXPECT_EQ(allHomeOperationKinds[i], row.kind) << "listed in declaration order";
        EXPECT_EQ(diagnosticName(row.kind), row.diagnosticName);
        EXPECT_EQ(confirmation(row.kind), row.confirmation);
        EXPECT_EQ(isDestructive(row.kind), row.isDestructive);
        EXPECT_EQ(reformatsDataPartition(row.kind), row.reformatsDataPartition);
        EXPECT_EQ(needsVentoyAssets(row.kind), row.needsVentoyAssets);
    }
}

TEST(HomeOperationProgress, KeepsTheFractionWithinZeroAndOne) {
    struct Row {
        double given;
        double held;
    };
    const Row rows[] = {{1.7, 1},   {-0.2, 0}, {0, 0}, {1, 1}, {0.5, 0.5},
                        {std::numeric_limits<double>::infinity(), 1}, {-std::numeric_limits<double>::infinity(), 0},
                        {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        const HomeOperationProgress progress(row.given, "Writing", "a.iso", 12.5);
        EXPECT_EQ(progress.fraction, row.held);
        EXPECT_EQ(progress.stageLabel, "Writing");
        EXPECT_EQ(progress.detail, "a.iso");
        EXPECT_EQ(progress.etaSeconds, 12.5);
    }
}

TEST(HomeOperationOutcome, CasesCompareByCaseAndText) {
    EXPECT_EQ(HomeOperationOutcome::succeeded("USB ready"), HomeOperationOutcome::succeeded("USB ready"));
    EXPECT_NE(HomeOperationOutcome::succeeded("USB ready"), HomeOperationOutcome::failed("USB ready"));
    EXPECT_TRUE(HomeOperationOutcome::succeeded("x").isSuccess());
    EXPECT_FALSE(HomeOperationOutcome::failed("x").isSuccess());
    EXPECT_EQ(render(HomeOperationOutcome::failed("No \"room\"")), "failed(message: \"No \\\"room\\\"\")");
}

}  // namespace
}  // namespace marlowick
