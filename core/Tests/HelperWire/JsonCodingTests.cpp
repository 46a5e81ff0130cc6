#include "HelperWire/JsonCoding.hpp"

#include <gtest/gtest.h>

#include "HelperWire/DeviceFingerprintJson.hpp"
#include "HelperWire/HelperAssetRefSet.hpp"
#include "HelperWire/HelperBlockError.hpp"
#include "HelperWire/HelperDiskRef.hpp"
#include "HelperWire/HelperVentoyLayout.hpp"
#include "HelperWire/WireRoundTrip.hpp"
#include "Support/TestSupport.hpp"

namespace marlowick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A small record with one field of each coded kind, so that a refusal shows the rule itself.
struct Probe {
    std::int32_t signature = 0;
    std::int64_t count = 0;
    bool flag = false;
    std::optional<std::string> label;
    std::vector<std::string> notes;
    bool operator==(const Probe&) const = default;
};

}  // namespace

template <>
struct JsonCoding<Probe> {
    static nlohmann::json encode(const Probe& p) {
        return JsonObjectWriter()
            .put("signature", p.signature)
            .put("count", p.count)
            .put("flag", p.flag)
            .putOptional("label", p.label)
            .put("notes", p.notes)
            .json();
    }
    static Probe decode(const nlohmann::json& json, const JsonPath& path) {
        const JsonObjectReader o(json, path);
        return Probe{o.required<std::int32_t>("signature"), o.required<std::int64_t>("count"), o.required<bool>("flag"),
                     o.optional<std::string>("label"), o.required<std::vector<std::string>>("notes")};
    }
};

namespace {

// An enumeration with an unlabelled payload and a case without payload, as commands and
// results use them.
struct ProbeOutcome {
    std::variant<HelperBlockError, std::monostate> value;  // failed(_0) / sourceOnTarget
    bool operator==(const ProbeOutcome&) const = default;
};

}  // namespace

template <>
struct JsonCoding<ProbeOutcome> {
    static constexpr std::array<std::string_view, 2> cases{"failed", "sourceOnTarget"};
    static nlohmann::json encode(const ProbeOutcome& o) {
        if (const auto* error = std::get_if<HelperBlockError>(&o.value)) return writeUnlabelledJsonCase("failed", *error);
        return writeJsonCase("sourceOnTarget");
    }
    static ProbeOutcome decode(const nlohmann::json& json, const JsonPath& path) {
        const JsonCase found = readJsonCase(json, path, cases);
        if (found.name == "failed") return {found.payload.required<HelperBlockError>("_0")};
        return {std::monostate{}};
    }
};

namespace {

TEST(JsonCodingCases, UnlabelledPayloadSitsUnderUnderscoreZero) {
    const ProbeOutcome failed{HelperBlockError(BlockError::Closed{"read"})};
    test::expectWireRoundTrip(R"({"failed":{"_0":{"closed":{"operation":"read"}}}})", failed);
    test::expectWireRoundTrip(R"({"sourceOnTarget":{}})", ProbeOutcome{std::monostate{}});
    EXPECT_EQ(decodeJson<ProbeOutcome>(R"({"sourceOnTarget":{"ignored":1},"note":[]})"), ProbeOutcome{std::monostate{}});
    try {
        (void)decodeJson<ProbeOutcome>(R"({"failed":{"0":{}}})");
        FAIL() << "decoded a case without its payload";
    } catch (const JsonDecodingError& error) {
        EXPECT_EQ(error.path, "failed._0");
        EXPECT_EQ(error.problem, "required key is missing");
    }
    EXPECT_EQ(tryDecodeJson<ProbeOutcome>(R"({"failed":{"_0":{"closed":{"operation":"read"}}},"sourceOnTarget":{}})"),
              std::nullopt);
    EXPECT_EQ(tryDecodeJson<ProbeOutcome>(R"({"sourceOnTarget":[]})"), std::nullopt);
}

struct RefusalCase {
    const char* name;
    std::optional<std::string> (*decode)(std::string_view);  // the error text, or nullopt when it decoded
    const char* json;
    const char* problem;  // what the error text holds; "" when the value must decode
};

template <class T>
std::optional<std::string> errorOf(std::string_view text) {
    try {
        (void)decodeJson<T>(text);
        return std::nullopt;
    } catch (const JsonDecodingError& error) {
        return std::string(error.what());
    }
}

class JsonCodingRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(JsonCodingRefusals, RefuseTheWholeValueOrIgnoreUnknownKeys) {
    const RefusalCase& c = GetParam();
    const auto error = c.decode(c.json);
    if (std::string_view(c.problem).empty()) {
        EXPECT_EQ(error, std::nullopt) << c.json;
    } else {
        ASSERT_TRUE(error.has_value()) << "decoded " << c.json;
        EXPECT_NE(error->find(c.problem), std::string::npos) << *error;
    }
}

constexpr auto probe = &errorOf<Probe>;
constexpr auto blockError = &errorOf<HelperBlockError>;
constexpr auto disk = &errorOf<HelperDiskRef>;
constexpr auto assets = &errorOf<HelperAssetRefSet>;

INSTANTIATE_TEST_SUITE_P(
    Rules, JsonCodingRefusals,
    ::testing::Values(
        RefusalCase{"plainProbe", probe, R"({"signature":-2147483648,"count":9223372036854775807,"flag":false,"notes":[]})", ""},
        RefusalCase{"int32Overflow", probe, R"({"signature":2147483648,"count":0,"flag":false,"notes":[]})",
                    "signature: number 2147483648 does not fit a 32-bit integer"},
        RefusalCase{"int32Underflow", probe, R"({"signature":-2147483649,"count":0,"flag":false,"notes":[]})",
                    "does not fit a 32-bit integer"},
        RefusalCase{"int64Overflow", probe, R"({"signature":0,"count":9223372036854775808,"flag":false,"notes":[]})",
                    "count: number 9223372036854775808 does not fit a 64-bit integer"},
        RefusalCase{"fraction", probe, R"({"signature":0,"count":1.5,"flag":false,"notes":[]})",
                    "count: number is not a whole number"},
        RefusalCase{"wholeFloatAccepted", probe, R"({"signature":0,"count":2.0,"flag":false,"notes":[]})", ""},
        RefusalCase{"roundedFloat", probe, R"({"signature":0,"count":1e300,"flag":false,"notes":[]})",
                    "not a whole number"},
        RefusalCase{"booleanAsNumber", probe, R"({"signature":true,"count":0,"flag":false,"notes":[]})",
                    "signature: expected a number, found boolean"},
        RefusalCase{"numberAsBoolean", probe, R"({"signature":0,"count":0,"flag":1,"notes":[]})",
                    "flag: expected a Boolean, found number"},
        RefusalCase{"stringAsNumber", probe, R"({"signature":"1","count":0,"flag":false,"notes":[]})",
                    "expected a number, found string"},
        RefusalCase{"objectAsArray", probe, R"({"signature":0,"count":0,"flag":false,"notes":{}})",
                    "notes: expected an array"},
        RefusalCase{"badListElement", probe, R"({"signature":0,"count":0,"flag":false,"notes":["a",2]})",
                    "notes[1]: expected a string"},
        RefusalCase{"requiredMissing", probe, R"({"signature":0,"flag":false,"notes":[]})",
                    "count: required key is missing"},
        RefusalCase{"requiredNull", probe, R"({"signature":0,"count":null,"flag":false,"notes":[]})",
                    "count: required value is null"},
        RefusalCase{"optionalNull", probe, R"({"signature":0,"count":0,"flag":false,"label":null,"notes":[]})", ""},
        RefusalCase{"optionalWrongType", probe, R"({"signature":0,"count":0,"flag":false,"label":3,"notes":[]})",
                    "label: expected a string"},
        RefusalCase{"unknownKeysIgnored", probe,
                    R"({"signature":0,"count":0,"flag":false,"notes":[],"extra":{"deep":[1,2]},"Count":"x"})", ""},
        RefusalCase{"notAnObject", probe, R"([1,2])", "expected an object, found array"},
        RefusalCase{"notJson", probe, R"({"signature":0,)", "not a JSON document"},
        RefusalCase{"trailingBytes", probe, R"({"signature":0,"count":0,"flag":false,"notes":[]} x)",
                    "not a JSON document"},
        RefusalCase{"invalidUtf8", probe, "{\"signature\":0,\"count\":0,\"flag\":false,\"label\":\"\xc3\x28\",\"notes\":[]}",
                    "not a JSON document"},
        RefusalCase{"overlongUtf8", probe, "{\"signature\":0,\"count\":0,\"flag\":false,\"label\":\"\xc0\xaf\",\"notes\":[]}",
                    "not a JSON document"},
        RefusalCase{"noCaseKey", blockError, R"({})", "Invalid number of keys found, expected one."},
        RefusalCase{"twoCaseKeys", blockError,
                    R"({"closed":{"operation":"read"},"deviceFailure":{"operation":"x","detail":"y"}})",
                    "Invalid number of keys found, expected one."},
        RefusalCase{"onlyUnknownKeys", blockError, R"({"Closed":{"operation":"read"}})",
                    "Invalid number of keys found, expected one."},
        RefusalCase{"unknownKeyBesideCase", blockError, R"({"closed":{"operation":"read"},"note":1})", ""},
        RefusalCase{"caseValueNotObject", blockError, R"({"closed":"read"})",
                    "closed: expected an object, found string"},
        RefusalCase{"payloadFieldMissing", blockError, R"({"deviceFailure":{"operation":"read"}})",
                    "deviceFailure.detail: required key is missing"},
        RefusalCase{"sectorCountFraction", disk, R"({"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":1.5})",
                    "sectorCount: number is not a whole number"},
        RefusalCase{"escapedSlashes", disk, R"({"rawDevicePath":"\/dev\/sdb","sectorSize":512,"sectorCount":8})", ""},
        RefusalCase{"nulInDevicePath", disk,
                    R"({"rawDevicePath":"/dev/sdb\u0000x","sectorSize":512,"sectorCount":8})",
                    "rawDevicePath: path holds a NUL byte"},
        RefusalCase{"nulInAssetPath", assets,
                    R"({"version":"1.1.15","bootImgPath":"/a\u0000","coreImgPath":"/b","ventoyDiskImgPath":"/c"})",
                    "bootImgPath: path holds a NUL byte"},
        RefusalCase{"fingerprintWithoutSectorSize", disk,
                    R"({"rawDevicePath":"/dev/sdb","sectorSize":512,"sectorCount":8,)"
                    R"("fingerprint":{"capacityBytes":4096,"isRemovable":true,"isInternal":false}})",
                    "fingerprint.sectorSize: required key is missing"}),
    test::CaseName{});

TEST(JsonCodingBase64, RoundTripsEveryLengthAndRefusesLooseText) {
    for (std::size_t length = 0; length <= 7; ++length) {
        Bytes bytes(length);
        for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(0xF8 + i * 37);
        const std::string text = encodeBase64(bytes);
        EXPECT_EQ(decodeBase64(text), bytes) << text;
    }
    EXPECT_EQ(encodeBase64(Bytes{'M', 'a', 'n'}), "TWFu");
    EXPECT_EQ(encodeBase64(Bytes{'M', 'a'}), "TWE=");
    EXPECT_EQ(encodeBase64(Bytes{'M'}), "TQ==");
    EXPECT_EQ(encodeBase64(Bytes{0xFB, 0xFF}), "+/8=");

    for (const char* loose : {"TWE", "TQ", "TWFu\n", "TW Fu", "TWFu\r\n", "TQ=", "T===", "====", "TQ==TWFu", "TW=u",
                              "TWF-", "TWF_", "TWFu="}) {
        EXPECT_EQ(decodeBase64(loose), std::nullopt) << loose;
    }

    const auto error = errorOf<HelperSignedRegistry>(R"({"payload":"TWE","signature":""})");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, "payload: invalid base64 text");
}

TEST(JsonCodingEncoding, LeavesAbsentOptionalsOutAndRefusesInvalidUtf8) {
    const Probe plain{7, -1, true, std::nullopt, {"a/b"}};
    const auto text = encodeJson(plain);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(nlohmann::json::parse(*text), nlohmann::json::parse(R"({"signature":7,"count":-1,"flag":true,"notes":["a/b"]})"));
    EXPECT_EQ(decodeJson<Probe>(*text), plain);

    // A line break inside a text is escaped, so the document stays on one line.
    const Probe multiline{0, 0, false, "one\ntwo", {}};
    const auto escaped = encodeJson(multiline);
    ASSERT_TRUE(escaped.has_value());
    EXPECT_EQ(escaped->find('\n'), std::string::npos);
    EXPECT_EQ(decodeJson<Probe>(*escaped), multiline);

    // No reader would take a text that is not UTF-8 back, so nothing is written.
    EXPECT_EQ(encodeJson(Probe{0, 0, false, "\xff", {}}), std::nullopt);
}

}  // namespace
}  // namespace marlowick
