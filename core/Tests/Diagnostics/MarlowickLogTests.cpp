#include "Diagnostics/MarlowickLog.hpp"

#include <gtest/gtest.h>
#include <syslog.h>

#include <functional>

#include "Diagnostics/LogSinks.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick::MarlowickLog {
namespace {

// Routes the process-wide log into memory for one test and restores it afterwards.
class MarlowickLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setSink(memory);
        setShowsPrivateData(false);
    }
    void TearDown() override {
        setSink(nullptr);
        setShowsPrivateData(false);
    }
    [[nodiscard]] std::vector<Record> logged(const std::function<void()>& event) {
        memory->clear();
        event();
        return memory->records();
    }

    std::shared_ptr<MemorySink> memory = std::make_shared<MemorySink>();
};

struct EventCase {
    const char* name;
    void (*event)();
    Category category;
    Level level;
    const char* message;
};

class MarlowickLogEvents : public MarlowickLogTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(MarlowickLogEvents, ReachTheSinkWithTheirCategoryLevelAndText) {
    const EventCase& c = GetParam();
    const Record expected{"com.quenmoorlabworks.marlowick", c.category, c.level, c.message};
    EXPECT_EQ(logged(c.event), std::vector<Record>{expected});
}

INSTANTIATE_TEST_SUITE_P(
    Diagnostics, MarlowickLogEvents,
    ::testing::Values(
        EventCase{"processStarted", [] { processStarted("Marlowick", "0.3.0"); }, Category::lifecycle, Level::standard,
                  "Marlowick started, version 0.3.0"},
        EventCase{"ventoyRegistryRefreshed", [] { ventoyRegistryRefreshed("3 releases"); }, Category::assets,
                  Level::standard, "ventoy registry refresh: 3 releases"},
        EventCase{"enumerated", [] { enumerated(5, 2, DriveVisibility::allExternal); }, Category::picker, Level::info,
                  "enumerated 5 whole disk(s), 2 eligible under allExternal"},
        EventCase{"selectedDrive",
                  [] { selectedDrive("sdb", 64'000'000'000'000, DeviceFingerprint::Strength::capacityOnly); },
                  Category::picker, Level::standard, "selected sdb, 64000000000000 bytes, identity=capacityOnly"},
        EventCase{"detected", [] { detected("sdb", "ventoy 1.0.99"); }, Category::detect, Level::info,
                  "detect sdb \u2192 ventoy 1.0.99"},
        EventCase{"operationRequested", [] { operationRequested("install", "sdc"); }, Category::operation,
                  Level::standard, "install requested for sdc"},
        EventCase{"operationSucceeded", [] { operationFinished("install", true, {"not", "logged"}); },
                  Category::operation, Level::standard, "install succeeded"},
        EventCase{"operationFailed", [] { operationFinished("format", false, {"a", "b", "c"}); },
                  Category::operation, Level::error, "format failed: a | b | c"},
        EventCase{"operationFailedOneDetail", [] { operationFinished("format", false, {"a"}); }, Category::operation,
                  Level::error, "format failed: a"},
        EventCase{"operationFailedNoDetails", [] { operationFinished("update", false, {}); }, Category::operation,
                  Level::error, "update failed: "},
        EventCase{"imageSelected", [] { imageSelected("secret-name.iso", -1); }, Category::operation, Level::info,
                  "image selected <private>, -1 bytes"},
        EventCase{"helperCommand", [] { helperCommand("writeImage", "sdd"); }, Category::helper, Level::standard,
                  "command writeImage \u2192 sdd"},
        EventCase{"helperResult", [] { helperResult("writeImage", "success"); }, Category::helper, Level::standard,
                  "result writeImage \u2192 success"},
        EventCase{"assetFailure", [] { assetFailure("checksum mismatch", "/home/someone/core.img"); },
                  Category::assets, Level::error, "assets failed: checksum mismatch \u2014 <private>"},
        EventCase{"targetRefused", [] { targetRefused("sde", "fingerprint changed"); }, Category::target, Level::error,
                  "refused sde: fingerprint changed \u2014 nothing was opened or written"},
        EventCase{"targetVerified", [] { targetVerified("sde"); }, Category::target, Level::info, "verified sde"}),
    test::CaseName{});

TEST_F(MarlowickLogTest, ShowsPrivateValuesOnlyWhenSwitchedOn) {
    setShowsPrivateData(true);
    EXPECT_EQ(logged([] { imageSelected("debian.iso", 1024); }).at(0).message, "image selected debian.iso, 1024 bytes");
    EXPECT_EQ(logged([] { assetFailure("io", "disk full"); }).at(0).message, "assets failed: io \u2014 disk full");
    setShowsPrivateData(false);
    EXPECT_EQ(logged([] { imageSelected("debian.iso", 1024); }).at(0).message, "image selected <private>, 1024 bytes");
}

TEST_F(MarlowickLogTest, KeepsPlaceholderLookalikesInValuesAsText) {
    EXPECT_EQ(logged([] { detected("%{private}s", "100%"); }).at(0).message, "detect %{private}s \u2192 100%");
}

TEST_F(MarlowickLogTest, WritesNothingForADisabledLevel) {
    memory->setEnabled(Level::info, false);
    EXPECT_TRUE(logged([] { targetVerified("sdb"); }).empty());
    EXPECT_EQ(logged([] { targetRefused("sdb", "gone"); }).size(), 1U);
}

TEST_F(MarlowickLogTest, RestoresTheSystemLogWhenTheSinkIsCleared) {
    EXPECT_EQ(currentSink(), memory);
    setSink(nullptr);
    EXPECT_NE(dynamic_cast<SyslogSink*>(currentSink().get()), nullptr);
    EXPECT_EQ(SyslogSink::priority(Level::standard), LOG_NOTICE);
    EXPECT_EQ(SyslogSink::priority(Level::info), LOG_INFO);
    EXPECT_EQ(SyslogSink::priority(Level::error), LOG_ERR);

    // The helper's standard output carries the wire; a log line must never land there.
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    targetVerified("loop-test");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(MarlowickLogCategory, ParsesOnlyExactRawTexts) {
    std::string names;
    for (const Category category : categoryRawValues.all()) names += std::string(rawValue(category)) + " ";
    EXPECT_EQ(names, "lifecycle picker detect operation helper assets target ");
    EXPECT_EQ(categoryFromRaw("helper"), Category::helper);
    EXPECT_EQ(categoryFromRaw("Helper"), std::nullopt);
    EXPECT_EQ(categoryFromRaw(""), std::nullopt);
}

}  // namespace
}  // namespace marlowick::MarlowickLog
