#include "HelperWire/HelperResult.hpp"

#include <gtest/gtest.h>

#include "HelperWire/HelperWireCodec.hpp"
#include "HelperWire/WireRoundTrip.hpp"

namespace marlowick {
namespace {

using Stage = HelperProgress::Stage;

HelperWireFrame progressFrame(HelperProgress progress) { return {HelperWireFrame::Progress{progress}}; }
HelperWireFrame resultFrame(HelperResult result) { return {HelperWireFrame::Result{std::move(result)}}; }

TEST(HelperWireFrame, WorkedExamplesDecodeAndEncodeBack) {
    test::expectWireRoundTrip(
        R"({"progress":{"_0":{"stage":"writeVentoyDisk","currentBytes":1048576,"totalBytes":33554432}}})",
        progressFrame({Stage::writeVentoyDisk, 1048576, 33554432}));
    test::expectWireRoundTrip(R"({"progress":{"_0":{"stage":"flush"}}})",
                              progressFrame({Stage::flush, std::nullopt, std::nullopt}));
    test::expectWireRoundTrip(
        R"({"result":{"_0":{"failed":{"_0":{"malformedCommand":{"detail":"helper received undecodable command bytes"}}}}}})",
        resultFrame(HelperResult::failed(HelperCommandError::MalformedCommand{"helper received undecodable command bytes"})));
    test::expectWireRoundTrip(
        R"({"result":{"_0":{"failed":{"_0":{"targetVerificationFailed":{"_0":{"kind":"fingerprintMismatch","bsdName":"sdb","field":"serialNumber"}}}}}}})",
        resultFrame(HelperResult::failed(HelperCommandError::TargetVerificationFailed{
            {TargetVerification::Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}})));
}

TEST(HelperWireFrame, ProgressWithoutTotalKeepsItsCurrentCount) {
    const auto frame = HelperLineCoding::decodeFrame(R"({"progress":{"_0":{"stage":"format","currentBytes":7}}})");
    ASSERT_TRUE(frame.has_value());
    const auto progress = std::get<HelperWireFrame::Progress>(frame->value).progress.byteProgress();
    ASSERT_TRUE(progress.has_value());
    EXPECT_EQ(progress->currentBytes, 7);
    EXPECT_FALSE(progress->totalBytes.has_value());
    EXPECT_FALSE(HelperProgress(Stage::flush, std::nullopt, 9).byteProgress().has_value());
}

TEST(HelperProgress, EngineStagesMapByName) {
    const ByteProgress bytes{5, 10};
    EXPECT_EQ(HelperProgress(InstallStage::writeCore, bytes), HelperProgress(Stage::writeCore, 5, 10));
    EXPECT_EQ(HelperProgress(RawWriteStage::write, std::nullopt), HelperProgress(Stage::writeRawImage, {}, {}));
    EXPECT_EQ(HelperProgress(FormatStage::flush, ByteProgress{3, std::nullopt}), HelperProgress(Stage::flush, 3, {}));

    const Stage install[] = {Stage::layout,     Stage::writeMbr,    Stage::verifyMbr,
                             Stage::writeCore,  Stage::verifyCore,  Stage::formatPart1,
                             Stage::writeVentoyDisk, Stage::verifyVentoyDisk, Stage::flush};
    for (std::size_t i = 0; i < allInstallStages.size(); ++i) EXPECT_EQ(helperStage(allInstallStages[i]), install[i]);
    const Stage format[] = {Stage::layout, Stage::writeMbr,     Stage::verifyMbr, Stage::scrubReserved,
                            Stage::format, Stage::verifyFormat, Stage::flush};
    for (std::size_t i = 0; i < allFormatStages.size(); ++i) EXPECT_EQ(helperStage(allFormatStages[i]), format[i]);
    EXPECT_EQ(helperStage(RawWriteStage::flush), Stage::flush);
    EXPECT_EQ(helperStage(RawWriteStage::verify), Stage::verifyRawImage);
    EXPECT_EQ(rawValue(Stage::formatPart1), "formatPart1");
    EXPECT_EQ(helperProgressStageRawValues.all().size(), 16U);
}

TEST(HelperWireCodec, HandleRefusesBytesThatAreNoCommand) {
    struct Runner {
        int runs = 0;
        HelperResult run(const HelperCommand&, int, bool) {
            ++runs;
            return HelperResult::failed(HelperCommandError::SourceOnTarget{});
        }
    } runner;
    const HelperResult refused = HelperLineCoding::handle("{\"detect\":{}}", runner, 0, false);
    EXPECT_EQ(refused, HelperResult::failed(HelperCommandError::MalformedCommand{"helper received undecodable command bytes"}));
    EXPECT_EQ(runner.runs, 0);
    const std::string detect =
        R"({"detect":{"disk":{"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":8}}})";
    EXPECT_EQ(HelperLineCoding::handle(detect, runner, 0, false),
              HelperResult::failed(HelperCommandError::SourceOnTarget{}));
    EXPECT_EQ(runner.runs, 1);

    EXPECT_EQ(HelperLineCoding::decodeResult("{\"result\":{}}"),
              HelperResult::failed(HelperCommandError::MalformedCommand{"helper reply was not a decodable HelperResult"}));
}

// Every one of these lines is refused whole, as the type named beside it.
TEST(HelperWireCoding, RefusesWholeValuesOnAnyError) {
    const std::string disk = R"({"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":8})";
    const std::string assets = R"({"version":"1","bootImgPath":"/b","coreImgPath":"/c","ventoyDiskImgPath":"/v"})";
    const std::string options = R"({"dataFilesystem":"exfat","partitionStyle":"mbr","reserveBytesAtEnd":0,"alignTo4K":true})";
    const auto prepare = [&](const std::string& extra) {
        return R"({"prepare":{"disk":)" + disk + R"(,"assets":)" + assets + R"(,"options":)" + options + extra + "}}";
    };
    const struct {
        std::string what;
        std::string line;
    } commands[] = {
        {"no case", "{}"},
        {"two cases", R"({"detect":{"disk":)" + disk + R"(},"update":{"disk":)" + disk + "}}"},
        {"unknown case only", R"({"format":{"disk":)" + disk + "}}"},
        {"case value not an object", R"({"detect":[]})"},
        {"signature of 2^31", prepare(R"(,"diskSignature":2147483648)")},
        {"signature below -2^31", prepare(R"(,"diskSignature":-2147483649)")},
        {"signature 1.5", prepare(R"(,"diskSignature":1.5)")},
        {"signature as text", prepare(R"(,"diskSignature":"1")")},
        {"null in a required field", R"({"writeRawImage":{"disk":)" + disk + R"(,"sourcePath":null,"verify":true}})"},
        {"missing required field", R"({"writeRawImage":{"disk":)" + disk + R"(,"verify":true}})"},
        {"Boolean as number", R"({"writeRawImage":{"disk":)" + disk + R"(,"sourcePath":"/a","verify":1}})"},
        {"NUL in a path", R"({"writeRawImage":{"disk":)" + disk + R"(,"sourcePath":"/a\u0000.img","verify":true}})"},
        {"invalid UTF-8", R"({"writeRawImage":{"disk":)" + disk + "," + "\"sourcePath\":\"/\xC3\x28\",\"verify\":true}}"},
        {"trailing bytes", R"({"detect":{"disk":)" + disk + "}} {}"},
        {"reserve 1.5", R"({"prepare":{"disk":)" + disk + R"(,"assets":)" + assets +
                            R"(,"options":{"dataFilesystem":"exfat","partitionStyle":"mbr","reserveBytesAtEnd":1.5,)"
                            R"("alignTo4K":true}}})"},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(HelperLineCoding::decodeCommand(c.line).has_value()) << c.line;
    }
    EXPECT_TRUE(HelperLineCoding::decodeCommand(prepare(R"(,"diskSignature":-2147483648)")).has_value());
    EXPECT_TRUE(HelperLineCoding::decodeCommand(prepare("")).has_value());

    const struct {
        std::string what;
        std::string line;
    } frames[] = {
        {"neither case", R"({"cancel":true})"},
        {"both cases", R"({"progress":{"_0":{"stage":"flush"}},"result":{"_0":{"failed":{"_0":{"sourceOnTarget":{}}}}}})"},
        {"no _0", R"({"progress":{"stage":"flush"}})"},
        {"case value not an object", R"({"progress":"flush"})"},
        {"stage of another case", R"({"progress":{"_0":{"stage":"Flush"}}})"},
        {"unknown stage", R"({"progress":{"_0":{"stage":"eject"}}})"},
        {"missing stage", R"({"progress":{"_0":{"currentBytes":1}}})"},
        {"count 1.5", R"({"progress":{"_0":{"stage":"flush","currentBytes":1.5}}})"},
        {"count beyond 64 bits", R"({"progress":{"_0":{"stage":"flush","currentBytes":9223372036854775808}}})"},
        {"negative count", R"({"progress":{"_0":{"stage":"flush","currentBytes":-1,"totalBytes":8}}})"},
        {"negative total", R"({"progress":{"_0":{"stage":"flush","currentBytes":1,"totalBytes":-8}}})"},
        {"result without _0", R"({"result":{"failed":{"_0":{"sourceOnTarget":{}}}}})"},
        {"unknown report kind",
         R"({"result":{"_0":{"driveOperation":{"_0":{"kind":"format","completed":true,"overallSuccess":true,)"
         R"("wasCancelled":false,"notes":[]}}}}})"},
        {"notes missing",
         R"({"result":{"_0":{"driveOperation":{"_0":{"kind":"update","completed":true,"overallSuccess":true,)"
         R"("wasCancelled":false}}}}})"},
        {"unknown verification",
         R"({"result":{"_0":{"driveOperation":{"_0":{"kind":"writeRawImage","completed":true,"overallSuccess":true,)"
         R"("wasCancelled":false,"notes":[],"rawWriteVerification":"Medium"}}}}})"},
        {"unknown verdict kind",
         R"({"result":{"_0":{"failed":{"_0":{"targetVerificationFailed":{"_0":{"kind":"maybe"}}}}}}})"},
        {"verdict missing its key",
         R"({"result":{"_0":{"failed":{"_0":{"targetVerificationFailed":{"_0":{"kind":"deviceNotFound"}}}}}}})"},
        {"block error of two cases",
         R"({"result":{"_0":{"detectReadFailed":{"error":{"closed":{"operation":"read"},)"
         R"("negativeSector":{"startSector":1}}}}}})"},
        {"image size 1.5",
         R"({"result":{"_0":{"imageListing":{"_0":{"success":{"images":[{"path":"a","name":"a","sizeBytes":1.5,)"
         R"("isDirectory":false}]}}}}}})"},
        {"layout missing", R"({"result":{"_0":{"detected":{"status":{"ventoy":{"installedVersion":"1"}}}}}})"},
    };
    for (const auto& c : frames) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(HelperLineCoding::decodeFrame(c.line).has_value()) << c.line;
    }
}

}  // namespace
}  // namespace marlowick
