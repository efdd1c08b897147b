#include "cli/formats/json_writer.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "cli/formats/json_reader.h"

namespace cli {
namespace {

TEST(JsonWriterTest, NestedDocumentParsesBack) {
    JsonWriter w;
    w.BeginObject();
    w.Key("empty");
    w.BeginObject();
    w.EndObject();
    w.Key("list");
    w.BeginArray();
    w.Integer(-3);
    w.Unsigned(18446744073709551615ull);
    w.Bool(true);
    w.Null();
    w.BeginArray();
    w.EndArray();
    w.EndArray();
    w.Key("text");
    w.String("a");
    w.EndObject();

    const json::Value doc = json::Parse(w.Text());
    EXPECT_TRUE(doc["empty"].AsObject().empty());
    ASSERT_EQ(doc["list"].AsArray().size(), 5u);
    EXPECT_EQ(doc["list"][0].AsNumber(), -3);
    EXPECT_TRUE(doc["list"][2].AsBool());
    EXPECT_TRUE(doc["list"][3].IsNull());
    EXPECT_EQ(doc["text"].AsString(), "a");
    EXPECT_NE(w.Text().find("\"list\": [\n    -3,"), std::string::npos);  // indented two per level
    EXPECT_EQ(w.Text().back(), '\n');
}

TEST(JsonWriterTest, NumbersRoundTripAndNonFiniteBecomesNull) {
    const double values[] = {5.0, 219.9023255552, 117.28124029610666, 6.893489829316614, 1e-300,
                             1099511627776.0, -0.5};
    JsonWriter w;
    w.BeginArray();
    for (const double v : values) w.Number(v);
    w.Number(std::numeric_limits<double>::infinity());
    w.Number(std::nan(""));
    w.EndArray();

    const json::Value doc = json::Parse(w.Text());
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(doc[i].AsNumber(), values[i]);  // bit-exact, not approximately
    }
    EXPECT_TRUE(doc[std::size(values)].IsNull());
    EXPECT_TRUE(doc[std::size(values) + 1].IsNull());
    EXPECT_NE(w.Text().find("1099511627776"), std::string::npos);
}

TEST(JsonWriterTest, StringsAreEscapedAndMalformedUtf8Replaced) {
    std::string out;
    AppendJsonString(out, "q\"b\\n\nt\t\x01\x7F");
    EXPECT_EQ(out, "\"q\\\"b\\\\n\\nt\\t\\u0001\\u007F\"");

    out.clear();  // terminal controls above ASCII too: C1's CSI, the right-to-left override
    AppendJsonString(out, "\xC2\x9B\xE2\x80\xAE");
    EXPECT_EQ(out, "\"\\u009B\\u202E\"");

    out.clear();
    AppendJsonString(out, "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 \xC2\xB7 \xE2\x80\xA6");
    EXPECT_EQ(out, "\"Ошибка · …\"");  // valid UTF-8 passes through unescaped

    // A lone continuation byte, a truncated sequence, an overlong slash, a surrogate.
    for (std::string_view bad : {"\x80", "\xD0", "\xC0\xAF", "\xED\xA0\x80"}) {
        out.clear();
        AppendJsonString(out, bad);
        EXPECT_EQ(out.find_first_of("\x80\xC0\xD0\xED"), std::string::npos) << out;
        EXPECT_NE(out.find("\xEF\xBF\xBD"), std::string::npos);
    }
}

TEST(JsonReaderTest, RefusesWhatIsNotStrictJson) {
    for (const char* bad : {"01", "1.", ".5", "-", "+1", "1e", "1e+", "0x10", "1e999", "[1,]", "{\"a\":1,}", "tru",
                            "\"\\ud800\"", "\"\\x41\"", "\"a\nb\"", "\"\xC0\xAF\"", "\"\xFF\"", "[] []"}) {
        EXPECT_THROW(json::Parse(bad), std::runtime_error) << bad;
    }
    EXPECT_EQ(json::Parse("-0.5e+2").AsNumber(), -50.0);
    EXPECT_EQ(json::Parse("\"\\ud83d\\ude00\xD0\x96\"").AsString(), "\xF0\x9F\x98\x80\xD0\x96");
    EXPECT_NO_THROW(json::Parse(std::string(64, '[') + std::string(64, ']')));
    EXPECT_THROW(json::Parse(std::string(65, '[') + std::string(65, ']')), std::runtime_error);
}

TEST(JsonWriterTest, MisuseIsRefusedInsteadOfWritingInvalidJson) {
    JsonWriter w;
    w.BeginObject();
    EXPECT_THROW(w.Integer(1), std::logic_error);  // member without a key
    w.Key("a");
    EXPECT_THROW(w.EndObject(), std::logic_error);  // key without a value
    w.Integer(1);
    EXPECT_THROW(w.EndArray(), std::logic_error);
    w.EndObject();
    EXPECT_THROW(w.Integer(2), std::logic_error);  // a second document
}

}  // namespace
}  // namespace cli
