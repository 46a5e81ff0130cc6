#include "Assets/TarReader.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "Assets/ToolWorkspace.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One 512-byte header block with only the fields the reader looks at filled in.
Bytes header(const std::string& name, const std::string& sizeField) {
    Bytes block(512, 0);
    std::memcpy(block.data(), name.data(), std::min<std::size_t>(name.size(), 100));
    std::memcpy(block.data() + 124, sizeField.data(), std::min<std::size_t>(sizeField.size(), 12));
    return block;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::optional<TarError::Case> errorOf(const Bytes& archive) {
    try {
        (void)TarReader::members(archive);
        return std::nullopt;
    } catch (const TarError& error) {
        EXPECT_EQ(std::string(error.what()), render(error.value));
        return error.value;
    }
}

// What `tar -tvf` lists: each member's name (a link's target cut off) and size.
std::vector<std::pair<std::string, std::int64_t>> listedByTar(const std::string& listing) {
    std::vector<std::pair<std::string, std::int64_t>> listed;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string mode, owner, date, time, name;
        std::int64_t size = 0;
        fields >> mode >> owner >> size >> date >> time;
        std::getline(fields >> std::ws, name);
        if (const auto arrow = name.find(" -> "); arrow != std::string::npos) name.resize(arrow);
        listed.emplace_back(name, size);
    }
    return listed;
}

class TarReaderToolArchives : public ::testing::TestWithParam<const char*> {};

// Archives as each format of the tar tool writes them. pax adds an extended header before
// every entry; the reader returns those as members of their own, under names no tar
// listing shows, so they are set aside before the lists are compared.
TEST_P(TarReaderToolArchives, ReadsBackExactlyWhatTarListsWithTheirBytes) {
    MARLOWICK_REQUIRE_TOOL("tar");
    const std::string format = GetParam();
    test::ToolWorkspace workspace;
    const std::map<std::string, Bytes> files{
        {"rel/boot/boot.img", test::patternedBytes(512, 1)},
        {"rel/boot/core.img.xz", test::patternedBytes(1000, 2)},
        {"rel/ventoy/ventoy.disk.img.xz", test::patternedBytes(1536, 3)},
        {"rel/empty", {}},
    };
    for (const auto& [name, bytes] : files) workspace.write(name, bytes);
    ASSERT_NO_FATAL_FAILURE(workspace.mustRun("ln -s boot/boot.img rel/link && tar --format=" + format +
                                              " --sort=name -cf out.tar rel"));
    const test::CommandOutput listing = workspace.run("tar -tvf out.tar");
    ASSERT_EQ(listing.exitCode, 0) << listing.output;

    std::vector<std::pair<std::string, std::int64_t>> read;
    for (const TarMember& member : TarReader::members(workspace.read("out.tar"))) {
        if (format == "pax" && member.name.find("PaxHeaders/") != std::string::npos) continue;
        read.emplace_back(member.name, static_cast<std::int64_t>(member.data.size()));
        if (const auto file = files.find(member.name); file != files.end()) {
            EXPECT_TRUE(member.data == file->second) << member.name;
        }
    }
    EXPECT_EQ(read, listedByTar(listing.output));
}

INSTANTIATE_TEST_SUITE_P(Formats, TarReaderToolArchives, ::testing::Values("gnu", "ustar", "pax"));

// Names longer than the 100-byte field come back as their raw headers, in each format's
// own way; none of them is turned into the long name.
TEST(TarReader, ReturnsTheRawHeadersOfALongName) {
    MARLOWICK_REQUIRE_TOOL("tar");
    test::ToolWorkspace workspace;
    const std::string folder = "rel/" + std::string(60, 'd');
    const std::string file = std::string(60, 'f');
    workspace.write(folder + "/" + file, {'h', 'i'});
    const std::string longName = folder + "/" + file;

    ASSERT_NO_FATAL_FAILURE(workspace.mustRun("tar --format=gnu -cf gnu.tar " + longName));
    const auto gnu = TarReader::members(workspace.read("gnu.tar"));
    ASSERT_EQ(gnu.size(), 2u);
    EXPECT_EQ(gnu[0].name, "././@LongLink");
    EXPECT_EQ(std::string(gnu[0].data.begin(), gnu[0].data.end()), longName + '\0');
    EXPECT_EQ(gnu[1].name, longName.substr(0, 100));
    EXPECT_TRUE(gnu[1].data == (Bytes{'h', 'i'}));

    ASSERT_NO_FATAL_FAILURE(workspace.mustRun("tar --format=ustar -cf ustar.tar " + longName));
    const auto ustar = TarReader::members(workspace.read("ustar.tar"));
    ASSERT_EQ(ustar.size(), 1u);
    EXPECT_EQ(ustar[0].name, file) << "the folder stands in the prefix field, which is not read";
}

TEST(TarReader, ReadsTheSizeFieldAsOctalText) {
    struct Row {
        const char* name;
        std::string sizeField;
        std::optional<std::size_t> size;  // nullopt: the field does not parse
    };
    const Row rows[] = {
        {"eleven digits and a zero byte", std::string("00000001000") + '\0', 512},
        {"spaces, 17 and a space", "   17 ", 15},
        {"zero bytes, then 17", std::string("\0\0\0" "17", 5), 15},
        {"twelve digits, no terminator", "000000007777", 4095},
        {"a single zero", std::string("0") + '\0', 0},
        {"eleven spaces and a zero byte", std::string(11, ' ') + '\0', std::nullopt},
        {"all zero bytes", std::string(12, '\0'), std::nullopt},
        {"the digit 8", "00000000008", std::nullopt},
        {"the digit 9 after a number", "19", std::nullopt},
        {"a letter after the number", "17x", std::nullopt},
        {"base-256 binary", std::string("\x80\0\0\0\0\0\0\0\0\0\0\x10", 12), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t size = row.size.value_or(0);
        Bytes content(size, 0x5A);
        content.resize((size + 511) / 512 * 512, 0);  // padded to whole blocks
        const Bytes archive = concat({header("entry", row.sizeField), content, Bytes(512, 0)});
        if (!row.size) {
            EXPECT_EQ(errorOf(archive), TarError::Case(TarError::UnparseableSize{"entry"}));
            continue;
        }
        const std::vector<TarMember> expected{{"entry", Bytes(size, 0x5A)}};
        EXPECT_EQ(TarReader::members(archive), expected);
    }
}

TEST(TarReader, WalksBlocksAndNamesByTheRules) {
    const std::string hundred(100, 'n');
    const Bytes content(512, 0xC3);
    // 512 bytes of content take exactly one block: the next header follows at 1024.
    const Bytes archive = concat({header("first", "00000001000"), content, header(hundred, "3"), Bytes{1, 2, 3},
                                  Bytes(509, 0), header(std::string("caf\xE9\xFF", 5), "0"), Bytes(512, 0),
                                  header("after the end", "0")});
    const auto members = TarReader::members(archive);
    const std::vector<TarMember> expected{
        {"first", content},
        {hundred, {1, 2, 3}},  // a 100-byte name without a zero byte is taken whole
        {"caf\xEF\xBF\xBD\xEF\xBF\xBD", {}},  // invalid UTF-8 becomes U+FFFD
    };
    EXPECT_EQ(members, expected);
    EXPECT_EQ(TarReader::members(Bytes(512, 0)), std::vector<TarMember>{}) << "one zero block";
}

TEST(TarReader, RefusesAStreamThatEndsTooEarly) {
    const Bytes entry = concat({header("a", "1000"), Bytes(512, 9)});  // 0o1000 = 512
    struct Row {
        const char* name;
        Bytes archive;
    };
    const Row rows[] = {
        {"empty", {}},
        {"511 bytes", Bytes(511, 0)},
        {"the last content cut short", concat({entry, header("b", "1000"), Bytes(100, 9)})},
        {"no zero block after the last member", entry},
        {"half a zero block", concat({entry, Bytes(256, 0)})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(errorOf(row.archive), TarError::Case(TarError::UnexpectedEnd{}));
    }
}

}  // namespace
}  // namespace marlowick
