// The resolver's checks, in their order, against scripted probes: target, data partition,
// file system, writability, mount, mount point, and the second target check.
#include <gtest/gtest.h>

#include "Files/MountedVolumeResolver.hpp"
#include "Files/ScriptedVolumeProbe.hpp"
#include "Block/FakeProbes.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Refusal = MountedVolumeRefusal;
using Verdict = TargetVerification::Verdict;

class MountedVolumeResolverTest : public ::testing::Test {
protected:
    MountedVolumeResolution resolve() {
        return MountedVolumeResolver::resolve(disk, *test::sampleWireLayout().ventoyLayout(), devices, volumes);
    }
    MountedVolumeResolution mounted() const { return {MountedVolume{"sdb", "sdb1", media}}; }
    static MountedVolumeResolution refused(Refusal::Case refusal) {
        return {MountedVolumeResolution::Refused{Refusal{std::move(refusal)}}};
    }

    test::FakeDeviceProbe devices{{test::usbStick()}};
    HelperDiskRef disk{test::usbStick()};
    test::ScriptedVolumeProbe volumes;
    const std::filesystem::path media = "/media/u/VENTOY";
};

TEST_F(MountedVolumeResolverTest, GivesAMountedDataPartitionServedByItsOwnDevice) {
    volumes.beforeMount = {PartitionVolumeInfo{"sdb2", 512000000 + 1048576, 33554432, "vfat", std::nullopt, true},
                           test::dataPartitionInfo(media)};
    volumes.nodes[media] = "/dev/sdb1";
    EXPECT_EQ(resolve(), mounted());
    EXPECT_TRUE(volumes.mountsAsked.empty());
    EXPECT_EQ(devices.asked, (std::vector<std::string>{"sdb", "sdb"}));
}

TEST_F(MountedVolumeResolverTest, MountsAnUnmountedPartitionAndDescribesItAgain) {
    volumes.beforeMount = {test::dataPartitionInfo(std::nullopt)};
    volumes.afterMount = {test::dataPartitionInfo(media)};
    volumes.nodes[media] = "/dev/sdb1";
    EXPECT_EQ(resolve(), mounted());
    EXPECT_EQ(volumes.mountsAsked, std::vector<std::string>{"sdb1"});
}

TEST_F(MountedVolumeResolverTest, RefusesATargetWithoutFingerprintEvenToList) {
    disk.fingerprint.reset();
    volumes.beforeMount = {test::dataPartitionInfo(media)};
    EXPECT_EQ(resolve(), refused(Refusal::Target{Verdict{Verdict::FingerprintMissing{"sdb"}}}));
    EXPECT_TRUE(volumes.partitionsAsked.empty());
}

TEST_F(MountedVolumeResolverTest, RefusesADriveSwappedDuringTheMount) {
    volumes.beforeMount = {test::dataPartitionInfo(std::nullopt)};
    volumes.afterMount = {test::dataPartitionInfo(media)};
    volumes.nodes[media] = "/dev/sdb1";
    volumes.onMount = [this] { devices.disks["sdb"].serialNumber = "ANOTHER"; };
    EXPECT_EQ(resolve(), refused(Refusal::Target{Verdict{
                             Verdict::FingerprintMismatch{"sdb", DeviceFingerprint::Field::serialNumber}}}));
}

struct PartitionCase {
    const char* name;
    std::vector<PartitionVolumeInfo> partitions;
    Refusal::Case refusal;
};

class ResolverRefusesPartitions : public MountedVolumeResolverTest, public ::testing::WithParamInterface<PartitionCase> {};

TEST_P(ResolverRefusesPartitions, BeforeAnyMount) {
    volumes.beforeMount = GetParam().partitions;
    EXPECT_EQ(resolve(), refused(GetParam().refusal));
    EXPECT_TRUE(volumes.mountsAsked.empty());
}

PartitionVolumeInfo with(PartitionVolumeInfo info, const std::function<void(PartitionVolumeInfo&)>& change) {
    change(info);
    return info;
}

INSTANTIATE_TEST_SUITE_P(
    Partitions, ResolverRefusesPartitions,
    ::testing::Values(
        PartitionCase{"none", {}, Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"oneSectorShort",
                      {with(test::dataPartitionInfo(std::nullopt), [](auto& p) { p.sizeBytes -= 512; })},
                      Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"noOffset",
                      {with(test::dataPartitionInfo(std::nullopt), [](auto& p) { p.offsetBytes.reset(); })},
                      Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"twoMatches",
                      {test::dataPartitionInfo(std::nullopt), test::dataPartitionInfo(std::nullopt, "sdb10")},
                      Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"suffixAfterDigits", {test::dataPartitionInfo(std::nullopt, "sdb1a")},
                      Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"anotherDisk", {test::dataPartitionInfo(std::nullopt, "sdba1")},
                      Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"pWithoutDigitEnding", {test::dataPartitionInfo(std::nullopt, "sdbp1")},
                      Refusal::DataPartitionNotFound{"sdb"}},
        PartitionCase{"hfs", {test::dataPartitionInfo(std::nullopt, "sdb1", "hfsplus")},
                      Refusal::NotExfat{"sdb1", "hfsplus"}},
        PartitionCase{"unknownKind", {test::dataPartitionInfo(std::nullopt, "sdb1", std::nullopt)},
                      Refusal::NotExfat{"sdb1", std::nullopt}},
        PartitionCase{"readOnly",
                      {with(test::dataPartitionInfo(std::nullopt), [](auto& p) { p.isWritable = false; })},
                      Refusal::ReadOnly{"sdb1"}}),
    test::CaseName{});

TEST_F(MountedVolumeResolverTest, AcceptsFatAndExfatWhateverTheirCase) {
    for (const char* kind : {"vfat", "EXFAT", "exfat"}) {
        SCOPED_TRACE(kind);
        volumes.beforeMount = {test::dataPartitionInfo(media, "sdb1", kind)};
        volumes.nodes[media] = "/dev/sdb1";
        EXPECT_EQ(resolve(), mounted());
    }
}

TEST_F(MountedVolumeResolverTest, NamesPartitionsOfDisksEndingInADigitWithP) {
    for (const auto& [whole, partition, matches] : std::vector<std::tuple<std::string, std::string, bool>>{
             {"nvme0n1", "nvme0n1p1", true}, {"loop3", "loop3p1", true}, {"loop3", "loop31", false},
             {"sdb", "sdb12", true}, {"sdb", "sdb", false}, {"nvme0n1", "nvme0n1p", false}, {"sdb", "sdb1 ", false}}) {
        EXPECT_EQ(MountedVolumeResolver::isPartitionName(partition, whole), matches) << whole << " " << partition;
    }
}

TEST_F(MountedVolumeResolverTest, ReportsMountFailuresAndMismatches) {
    volumes.beforeMount = {test::dataPartitionInfo(std::nullopt)};
    volumes.mountAnswer = VolumeMountAttempt{VolumeMountAttempt::Failed{"udisks did not answer within 120 s"}};
    EXPECT_EQ(resolve(), refused(Refusal::MountFailed{"sdb1", "udisks did not answer within 120 s"}));

    // Mounted, but the partition disappeared or changed its name meanwhile.
    volumes.mountAnswer = VolumeMountAttempt{VolumeMountAttempt::Mounted{}};
    volumes.mounted = false;
    volumes.afterMount = {test::dataPartitionInfo(media, "sdb2")};
    EXPECT_EQ(resolve(), refused(Refusal::DataPartitionNotFound{"sdb"}));

    // Mounted, yet no mount point is reported.
    volumes.mounted = false;
    volumes.afterMount = {test::dataPartitionInfo(std::nullopt)};
    EXPECT_EQ(resolve(), refused(Refusal::NotMounted{"sdb1"}));

    // A folder served by another device, or one that cannot be examined.
    volumes.mounted = false;
    volumes.beforeMount = {test::dataPartitionInfo(media)};
    volumes.nodes[media] = "/dev/sdc1";
    EXPECT_EQ(resolve(), refused(Refusal::MountPointMismatch{"sdb1", "/dev/sdc1"}));
    volumes.nodes.erase(media);
    EXPECT_EQ(resolve(), refused(Refusal::MountPointMismatch{"sdb1", std::nullopt}));
}

TEST(MountedVolumeRefusal, RendersItsPlainTextForm) {
    EXPECT_EQ(render(Refusal{Refusal::ReadOnly{"sdb1"}}), "readOnly(partitionBSDName: \"sdb1\")");
    EXPECT_EQ(render(Refusal{Refusal::MountPointMismatch{"sdb1", std::nullopt}}),
              "mountPointMismatch(partitionBSDName: \"sdb1\", observedDeviceNode: nil)");
    EXPECT_EQ(render(Refusal{Refusal::NotExfat{"sdb1", "hfsplus"}}),
              "notExfat(partitionBSDName: \"sdb1\", volumeKind: Optional(\"hfsplus\"))");
    EXPECT_EQ(render(Refusal{Refusal::MountFailed{"sdb1", "busy"}}),
              "mountFailed(partitionBSDName: \"sdb1\", detail: \"busy\")");
    EXPECT_EQ(render(Refusal{Refusal::DataPartitionNotFound{"sdb"}}), "dataPartitionNotFound(wholeDiskBSDName: \"sdb\")");
    EXPECT_EQ(render(Refusal{Refusal::NotMounted{"sdb1"}}), "notMounted(partitionBSDName: \"sdb1\")");
    EXPECT_EQ(render(Refusal{Refusal::Target{Verdict{Verdict::DeviceNotFound{"sdb"}}}}),
              "target(deviceNotFound(bsdName: \"sdb\"))");
}

}  // namespace
}  // namespace marlowick
