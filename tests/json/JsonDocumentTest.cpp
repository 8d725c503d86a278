#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "json/JsonDocument.h"

namespace lumora::test {
namespace {

struct ReadCase {
  const char* json;
  const char* path;
  const char* text;    // GetText
  const char* toText;  // ToTextAt
  int type;
  int count;
  bool exists;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.json << " @ " << c.path; }

class JsonRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(JsonRead, AnswersLikeTheScriptEngine) {
  const ReadCase& c = GetParam();
  JsonDocument doc;
  doc.Parse(c.json);
  EXPECT_EQ(doc.GetText(c.path), c.text);
  EXPECT_EQ(doc.ToTextAt(c.path), c.toText);
  EXPECT_EQ(doc.GetText(c.path, true), c.toText);
  EXPECT_EQ(doc.TypeOf(c.path), c.type);
  EXPECT_EQ(doc.Count(c.path), c.count);
  EXPECT_EQ(doc.Exists(c.path), c.exists);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, JsonRead,
    ::testing::Values(
        // A leading subscript addresses an element of a root array.
        ReadCase{R"([{"id":7},{"id":8}])", "[0].id", "7", "7", 2, 0, true},
        ReadCase{R"([{"id":7},{"id":8}])", "[1]", "[object Object]", R"({"id":8})", 4, 0, true},
        // The empty path is the whole document; "da" names it too.
        ReadCase{R"({"a":[1,2]})", "", "[object Object]", R"({"a":[1,2]})", 4, 0, true},
        ReadCase{R"([1,[2,3],null,"x"])", "", "1,2,3,,x", R"([1,[2,3],null,"x"])", 5, 4, true},
        ReadCase{R"({"a":[1,2]})", "da.a", "1,2", "[1,2]", 5, 2, true},
        ReadCase{R"([5,6])", "da[1]", "6", "6", 2, 0, true},
        // "data" only begins with the root's name: still relative.
        ReadCase{R"({"data":[{"url":"http://h/a.mp3"}]})", "data[0].url", "http://h/a.mp3",
                 R"("http://h/a.mp3")", 6, 0, true},
        ReadCase{R"({"code":200})", "code", "200", "200", 2, 0, true},
        ReadCase{R"({"songs":[{"al":{"picUrl":"p"}}]})", "songs[0].al.picUrl", "p", R"("p")", 6, 0,
                 true},
        // Count is for arrays only.
        ReadCase{R"({"o":{"a":1},"s":"abc"})", "o", "[object Object]", R"({"a":1})", 4, 0, true},
        ReadCase{R"({"o":{"a":1},"s":"abc"})", "s", "abc", R"("abc")", 6, 0, true},
        ReadCase{R"({"b":true,"f":false})", "f", "false", "false", 1, 0, true},
        // null and missing nodes.
        ReadCase{R"({"n":null})", "n", "", "null", 0, 0, false},
        ReadCase{R"({"a":1})", "missing", "", "", 0, 0, false},
        ReadCase{R"({"a":1})", "missing.deeper[3]", "", "", 0, 0, false},
        ReadCase{R"({"a":[1]})", "a[1]", "", "", 0, 0, false},
        ReadCase{R"({"a":"str"})", "a.length", "", "", 0, 0, false},
        // An object subscript is a member name; integer-like names sort first.
        ReadCase{R"({"x":{"2":"b","1":"a"}})", "x[2]", "b", R"("b")", 6, 0, true},
        // Anything that is not names and decimal subscripts does not exist.
        ReadCase{R"({"a":[1,2]})", "a[01]", "", "", 0, 0, false},
        ReadCase{R"({"a":[1,2]})", "a[-1]", "", "", 0, 0, false},
        ReadCase{R"({"a":[1,2]})", "a[x]", "", "", 0, 0, false},
        ReadCase{R"({"a":{"b":1}})", "a..b", "", "", 0, 0, false},
        ReadCase{R"({"a":{"b":1}})", "a.b;", "", "", 0, 0, false},
        ReadCase{R"({"a b":1})", "a b", "", "", 0, 0, false},
        ReadCase{R"({"0":1})", "0", "", "", 0, 0, false},
        ReadCase{R"({"a":1})", "[0]", "", "", 0, 0, false}));

TEST(JsonDocument, ResolvePathRewritesToTheAbsoluteForm) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"code":200,"data":[{"url":"u"}],"da":{"x":1}})"));
  struct {
    const char* path;
    const char* absolute;
    bool exists;
  } cases[] = {{"", "da", true},
               {"[0]", "da[0]", false},
               {"code", "da.code", true},
               {"da.code", "da.code", true},
               {"data[0].url", "da.data[0].url", true},
               {"da.x", "da.da.x", true},
               {"da.missing", "da.da.missing", false},
               {"nope", "da.nope", false}};
  for (const auto& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(doc.ResolvePath(path), c.exists) << c.path;
    EXPECT_EQ(path, c.absolute) << c.path;
  }
}

struct NumberCase {
  const char* json;
  const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.json; }

class JsonNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(JsonNumber, WritesNumbersAsTheEngineWithExactIntegers) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(std::string("{\"n\":") + GetParam().json + "}"));
  EXPECT_EQ(doc.GetText("n"), GetParam().text);
  EXPECT_EQ(doc.ToTextAt("n"), GetParam().text);
  EXPECT_EQ(doc.ToText(), std::string("{\"n\":") + GetParam().text + "}");
  EXPECT_EQ(doc.GetSubDocument("n").ToText(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, JsonNumber,
    ::testing::Values(NumberCase{"1", "1"}, NumberCase{"-0", "0"}, NumberCase{"-0.0", "0"},
                      NumberCase{"1.5", "1.5"}, NumberCase{"1.0", "1"}, NumberCase{"1e21", "1e+21"},
                      NumberCase{"1e20", "100000000000000000000"}, NumberCase{"1e-7", "1e-7"},
                      NumberCase{"1.5e-6", "0.0000015"}, NumberCase{"0.1", "0.1"},
                      NumberCase{"-2.5E+3", "-2500"}, NumberCase{"123456789.125", "123456789.125"},
                      NumberCase{"1.7976931348623157e308", "1.7976931348623157e+308"},
                      NumberCase{"5e-324", "5e-324"},
                      NumberCase{"9007199254740993", "9007199254740993"},
                      NumberCase{"-9223372036854775808", "-9223372036854775808"},
                      NumberCase{"18446744073709551615", "18446744073709551615"},
                      NumberCase{"123456789012345678901", "123456789012345678901"},
                      NumberCase{"-1234567890123456789012345678901234567890",
                                 "-1234567890123456789012345678901234567890"}));

TEST(JsonDocument, BigIntegersKeepTheirPlaceAmongOtherNumbers) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(
      R"({"a":1.5,"s":"99999999999999999999999","ids":[123456789012345678901,2,-98765432109876543210],"z":3})"));
  EXPECT_EQ(
      doc.ToText(),
      R"({"a":1.5,"s":"99999999999999999999999","ids":[123456789012345678901,2,-98765432109876543210],"z":3})");
  EXPECT_EQ(doc.GetText("ids"), "123456789012345678901,2,-98765432109876543210");
  EXPECT_DOUBLE_EQ(doc.GetNumber("ids[0]"), 123456789012345678901.0);
  // Members reordered or dropped while parsing keep their exact digits.
  ASSERT_TRUE(doc.Parse(
      R"({"b":9007199254740993,"1":{"x":123456789012345678901,"0":-9007199254740993},"b":18446744073709551615})"));
  EXPECT_EQ(doc.ToText(),
            R"({"1":{"0":-9007199254740993,"x":123456789012345678901},"b":18446744073709551615})");
  // Malformed big numbers still fail.
  EXPECT_FALSE(doc.Parse("[0123456789012345678901]"));
  EXPECT_EQ(doc.ToText(), "null");
  EXPECT_FALSE(doc.Parse("[123456789012345678901x]"));
}

TEST(JsonDocument, StringsAreEscapedAsStringify) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"s":"q\"b\\s\/\b\f\n\r\t\u0001\u001f\u007f é中\ud83d\ude00"})"));
  EXPECT_EQ(doc.ToText(),
            "{\"s\":\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f \xC3\xA9\xE4\xB8\xAD"
            "\xF0\x9F\x98\x80\"}");
  EXPECT_EQ(doc.GetText("s"),
            "q\"b\\s/\b\f\n\r\t\x01\x1f\x7f \xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
}

TEST(JsonDocument, MembersInEngineOrder) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"b":1,"10":2,"a":3,"2":4,"01":5,"4294967295":6,"0":7,"b":8})"));
  EXPECT_EQ(doc.ToText(), R"({"0":7,"2":4,"10":2,"b":8,"a":3,"01":5,"4294967295":6})");
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(doc.MemberNames(names), 7);
  EXPECT_EQ(names, (std::vector<std::string>{"0", "2", "10", "b", "a", "01", "4294967295"}));
  doc.SetItem(5, "", "x");
  doc.SetValue("6", "not a name");
  doc.SetValue("c", "y");
  EXPECT_EQ(doc.ToText(),
            R"({"0":7,"2":4,"5":"x","10":2,"b":8,"a":3,"01":5,"4294967295":6,"c":"y"})");
  EXPECT_EQ(doc.MemberNames(names, "b"), 0);
  EXPECT_TRUE(names.empty());
}

TEST(JsonDocument, LargeObjectsWithRepeatedNames) {
  std::string json = "{";
  for (int i = 0; i < 3000; ++i)
    json += "\"k" + std::to_string(i % 1000) + "\":" + std::to_string(i) + ",";
  json.back() = '}';
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(json));
  std::vector<std::string> names;
  EXPECT_EQ(doc.MemberNames(names), 1000);
  EXPECT_EQ(names.front(), "k0");
  EXPECT_EQ(doc.GetText("k0"), "2000");
  EXPECT_EQ(doc.GetText("k999"), "2999");
}

struct ParseCase {
  const char* text;
  bool literal;
  bool ok;
  const char* toText;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(c.text)) << (c.literal ? " literal" : "");
}

class JsonParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(JsonParse, RootAfterParse) {
  const ParseCase& c = GetParam();
  JsonDocument doc;
  doc.SetValue("before", "1");
  EXPECT_EQ(doc.Parse(c.text, c.literal), c.ok);
  EXPECT_EQ(doc.ToText(), c.toText);
  EXPECT_FALSE(doc.Exists("before"));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonParse,
    ::testing::Values(
        // Empty text leaves the root undefined; rejected text leaves it null.
        ParseCase{"", false, false, ""}, ParseCase{" \n", false, false, ""},
        ParseCase{"", true, false, "null"}, ParseCase{"{", false, false, "null"},
        ParseCase{"{\"a\":1,}", false, false, "null"}, ParseCase{"[1 2]", false, false, "null"},
        ParseCase{"{\"a\":1} x", false, false, "null"}, ParseCase{"nul", false, false, "null"},
        ParseCase{"{'a':1}", false, false, "null"}, ParseCase{"01", false, false, "null"},
        ParseCase{"NaN", false, false, "null"}, ParseCase{"\"\x01\"", false, false, "null"},
        ParseCase{"\"\xff\"", false, false, "null"}, ParseCase{"alert(1)", false, false, "null"},
        ParseCase{"null", false, false, "null"},
        ParseCase{" {\"a\" : [ 1 , true ] } ", false, true, R"({"a":[1,true]})"},
        ParseCase{"42", false, true, "42"}, ParseCase{"true", false, true, "true"},
        // A root string is evaluated: only a number, true, false or null survive.
        ParseCase{"\"42\"", false, true, "42"}, ParseCase{"\" -1.5e3 \"", false, true, "-1500"},
        ParseCase{"\"true\"", false, true, "true"}, ParseCase{"\"null\"", false, false, "null"},
        ParseCase{"\"abc\"", false, false, "null"}, ParseCase{"\"[1]\"", false, false, "null"},
        ParseCase{"\"alert(1)\"", false, false, "null"},
        ParseCase{"\"abc\"", true, true, "\"abc\""}));

TEST(JsonDocument, NestingBeyondTheLimitFailsCleanly) {
  JsonDocument doc;
  std::string deep(100000, '[');
  EXPECT_FALSE(doc.Parse(deep + std::string(100000, ']')));
  EXPECT_EQ(doc.ToText(), "null");
  EXPECT_FALSE(doc.Parse(deep));
  std::string ok = std::string(1000, '[') + std::string(1000, ']');
  EXPECT_TRUE(doc.Parse(ok));
  EXPECT_EQ(doc.ToText(), ok);
  // Edits cannot grow the tree past the limit either.
  JsonDocument nest;
  for (int i = 0; i < 30; ++i) nest.SetValue("x", "{\"x\":" + nest.ToText() + "}", true);
  EXPECT_LE(nest.ToText().size(), 6u * 1030);
  EXPECT_TRUE(nest.Parse(nest.ToText()));
}

TEST(JsonDocument, SubDocuments) {
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(
      R"({"code":200,"account":{"id":123456789012345678901,"vipType":0},"s":"12","t":"x","f":false,"n":null})"));
  EXPECT_EQ(doc.GetSubDocument("code").ToText(), "200");
  EXPECT_EQ(doc.GetText("code"), "200");
  EXPECT_EQ(doc.GetSubDocument("account.id").ToText(), "123456789012345678901");
  EXPECT_EQ(doc.GetSubDocument("account").GetText("vipType"), "0");
  EXPECT_EQ(doc.GetSubDocument("account").ToText(), R"({"id":123456789012345678901,"vipType":0})");
  EXPECT_EQ(doc.GetSubDocument("s").ToText(), "12");
  EXPECT_EQ(doc.GetSubDocument("t").ToText(), "null");
  EXPECT_EQ(doc.GetSubDocument("f").ToText(), "false");
  EXPECT_EQ(doc.GetSubDocument("n").ToText(), "null");
  EXPECT_EQ(doc.GetSubDocument("missing").ToText(), "");
  EXPECT_EQ(doc.GetSubDocument("").ToText(), doc.ToText());
  // The sub-document is its own: editing it leaves the original alone.
  JsonDocument sub = doc.GetSubDocument("account");
  sub.SetNumber("vipType", 11);
  EXPECT_EQ(doc.GetText("account.vipType"), "0");
}

TEST(JsonDocument, CopiesShareTheDocumentUntilAParse) {
  JsonDocument a;
  a.Parse(R"({"x":1})");
  JsonDocument b = a;
  JsonDocument c(a.Engine());
  b.SetValue("y", "two");
  EXPECT_EQ(a.GetText("y"), "two");
  EXPECT_EQ(c.GetText("y"), "two");
  EXPECT_EQ(a.Engine(), b.Engine());
  b.Parse("[1]");
  EXPECT_EQ(a.ToText(), R"({"x":1,"y":"two"})");
  EXPECT_EQ(b.ToText(), "[1]");
  a.Clear();
  EXPECT_EQ(c.ToText(), "{}");
}

TEST(JsonDocument, BackslashConventionOfSetValue) {
  JsonDocument doc;
  doc.SetValue("p", "a\\b");
  EXPECT_EQ(doc.ToText(), R"({"p":"a\b"})");
  EXPECT_EQ(doc.GetText("p"), "a\\b");
  EXPECT_EQ(doc.ToTextAt("p"), R"("a\b")");
  // The text is already-escaped JSON string content.
  doc.SetValue("u", "\\u4e2d");
  EXPECT_EQ(doc.ToTextAt("u"), R"("\u4e2d")");
  EXPECT_EQ(doc.GetSubDocument("u").ToText(), "null");
  doc.SetValue("q", "it's \"x\"\r\n");
  EXPECT_EQ(doc.GetText("q"), "it's \"x\"\r\n");
  EXPECT_EQ(doc.ToTextAt("q"), R"("it's \"x\"\r\n")");
  // Parsed text carries no marks.
  doc.Parse(R"({"p":"a\\b"})");
  EXPECT_EQ(doc.ToText(), R"({"p":"a\\b"})");
  EXPECT_EQ(doc.GetText("p"), "a\\b");
}

TEST(JsonDocument, SetValueAndSetExpression) {
  JsonDocument doc;
  EXPECT_EQ(doc.ToText(), "{}");
  doc.SetValue("obj", R"({"a":"x","n":1,"o":{"k":1},"l":[1]})", true);
  doc.SetValue("obj", R"({"a":"y","n":2,"o":{"j":2},"l":[2],"new":true})", true);
  EXPECT_EQ(doc.ToTextAt("obj"), R"({"a":"y","n":2,"o":{"k":1,"j":2},"l":[1,2],"new":true})");
  doc.SetValue("e", "", true);
  EXPECT_EQ(doc.ToTextAt("e"), "{}");
  doc.SetValue("bad", "{nope", true);
  EXPECT_FALSE(doc.Exists("bad"));
  doc.SetValue("missing.child", "x");
  EXPECT_FALSE(doc.Exists("missing"));
  doc.SetExpression("num", "\"7\"");
  EXPECT_EQ(doc.ToTextAt("num"), "7");
  doc.SetExpression("code", "alert(1)");
  EXPECT_FALSE(doc.Exists("code"));
  doc.SetNumber("d", 0.1);
  doc.SetNumber("obj.n", -3);
  EXPECT_EQ(doc.GetText("d"), "0.1");
  EXPECT_DOUBLE_EQ(doc.GetNumber("obj.n"), -3);
  EXPECT_EQ(doc.GetNumber("obj.a"), 0);
  EXPECT_EQ(doc.GetNumber("nothing"), 0);
  // An absolute path is used only when it exists; otherwise "da" is a member name.
  doc.SetValue("da.x", "1");
  EXPECT_FALSE(doc.Exists("x"));
  doc.SetValue("da.d", "text");
  EXPECT_EQ(doc.GetText("d"), "text");
  // The root is an object, so a JSON value is merged into it.
  doc.SetValue("", "[1,2]", true);
  EXPECT_EQ(doc.GetText("da[1]"), "2");
  doc.SetExpression("", "[1,2]");
  EXPECT_EQ(doc.ToText(), "[1,2]");
  doc.Delete("[0]");
  EXPECT_EQ(doc.ToText(), "[null,2]");
}

TEST(JsonDocument, ArrayItems) {
  JsonDocument doc;
  doc.AddItem("list", "b");
  doc.AddItem("list", "a", false, true);
  doc.AddItem("list", R"({"id":5})", true);
  doc.AddItem("list", "it\\'s\\u4e2d");
  doc.AddItem("list", "unterminated'");
  doc.AddItem("list", "{bad", true);
  EXPECT_EQ(doc.ToTextAt("list"), "[\"a\",\"b\",{\"id\":5},\"it's\xE4\xB8\xAD\"]");
  EXPECT_EQ(doc.Count("list"), 4);
  EXPECT_EQ(doc.GetItemText(1, "list"), "b");
  EXPECT_EQ(doc.GetItemText(2, "list"), "");
  EXPECT_EQ(doc.GetItemText(2, "list", true), R"({"id":5})");
  EXPECT_EQ(doc.GetItemDocument(2, "list").GetText("id"), "5");
  EXPECT_EQ(doc.GetItemDocument(9, "list").ToText(), "");
  doc.SetItem(0, "list", "z");
  doc.SetItem(5, "list", "true", true);
  EXPECT_EQ(doc.ToTextAt("list"), "[\"z\",\"b\",{\"id\":5},\"it's\xE4\xB8\xAD\",null,true]");
  doc.RemoveItem(-1, "list");
  doc.RemoveItem(1, "list");
  doc.RemoveItem(99, "list");
  EXPECT_EQ(doc.ToTextAt("list"), "[\"z\",{\"id\":5},\"it's\xE4\xB8\xAD\",null]");
  doc.SetValue("s", "text");
  doc.AddItem("s", "1", true);  // a non-array becomes an array first
  EXPECT_EQ(doc.ToTextAt("s"), "[1]");
  doc.AddItem("no.such", "1", true);
  EXPECT_FALSE(doc.Exists("no"));
  doc.Delete("s");
  EXPECT_FALSE(doc.Exists("s"));
  doc.SetItem(3, "", "three");
  EXPECT_EQ(doc.GetItemText(3, ""), "three");
  doc.SetItem(1, "list", "[1]", true);
  std::vector<std::string> values{"stale"};
  EXPECT_EQ(doc.NodeValues(values, "list"), 3);
  EXPECT_EQ(values, (std::vector<std::string>{"z", "1", "it's\xE4\xB8\xAD"}));
  EXPECT_EQ(doc.NodeValues(values, "list", false), 2);
  EXPECT_EQ(values, (std::vector<std::string>{"z", "it's\xE4\xB8\xAD"}));
  EXPECT_EQ(doc.NodeValues(values, "nothing"), 0);
  EXPECT_TRUE(values.empty());
}

}  // namespace
}  // namespace lumora::test

namespace lumora::test {
namespace {

// A parsed answer is read in place until something needs the editable tree (ToText converts
// it); both forms must answer every read alike, in any order of paths.
TEST(JsonDocument, ReadsBeforeAndAfterConversionAgree) {
  std::string json = R"({"code":200,"data":[{"url":"u"}],"big":{)";
  for (int i = 0; i < 40; ++i) json += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  json += R"("dup":1,"7":"seven","s":"a\"b\\c \u2400 d","n":null,"t":true,"f":false,)"
          R"("i":9007199254740993,"u":18446744073709551615,"neg":-9007199254740993,)"
          R"("d":1.5e300,"z":-0.0,"num":"12","arr":[1,[2,3],"x",null],"dup":{"x":2}},"list":[)";
  for (int i = 0; i < 30; ++i) {
    if (i) json += ',';
    json += R"({"id":)" + std::to_string(1900000000000 + i) + R"(,"name":"song )" +
            std::to_string(i) + R"(","ar":[{"name":"a"},{"name":"b"}]})";
  }
  json += "]}";
  const std::vector<std::string> paths = {"",
                                          "da",
                                          "code",
                                          "da.code",
                                          "data",
                                          "data[0].url",
                                          "da.data[0].url",
                                          "big",
                                          "big.k3",
                                          "big.k39",
                                          "big.dup",
                                          "big.dup.x",
                                          "big.7",
                                          "big[7]",
                                          "big.s",
                                          "big.n",
                                          "big.t",
                                          "big.f",
                                          "big.i",
                                          "big.u",
                                          "big.neg",
                                          "big.d",
                                          "big.z",
                                          "big.num",
                                          "big.arr",
                                          "big.arr[1]",
                                          "big.arr[1][1]",
                                          "big.k3.x",
                                          "big.missing",
                                          "list[20]",
                                          "list[5].name",
                                          "list[1]",
                                          "list[12].name",
                                          "list[12].id",
                                          "list[12].ar[1].name",
                                          "list[1].ar[0].name",
                                          "list[29].id",
                                          "list[30]",
                                          "list[01]",
                                          "list.x",
                                          "list[2].name.x",
                                          "[0]",
                                          "bad path!",
                                          "da.list[3].id"};
  JsonDocument tape;
  ASSERT_TRUE(tape.Parse(json));
  JsonDocument tree;
  ASSERT_TRUE(tree.Parse(json));
  tree.ToText();
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t k = 0; k < paths.size(); ++k) {
      const std::string& path = pass ? paths[paths.size() - 1 - k] : paths[k];
      SCOPED_TRACE(path);
      EXPECT_EQ(tape.GetText(path), tree.GetText(path));
      EXPECT_EQ(tape.TypeOf(path), tree.TypeOf(path));
      EXPECT_EQ(tape.Exists(path), tree.Exists(path));
      EXPECT_EQ(tape.Count(path), tree.Count(path));
      EXPECT_EQ(tape.GetNumber(path), tree.GetNumber(path));
      EXPECT_EQ(tape.GetSubDocument(path).ToText(), tree.GetSubDocument(path).ToText());
      EXPECT_EQ(tape.GetItemText(1, path), tree.GetItemText(1, path));
      EXPECT_EQ(tape.GetItemDocument(7, path).ToText(), tree.GetItemDocument(7, path).ToText());
      std::string a = path;
      std::string b = path;
      EXPECT_EQ(tape.ResolvePath(a), tree.ResolvePath(b));
      EXPECT_EQ(a, b);
    }
  }
  // Spot checks that both agree on the right answer, not only with each other.
  EXPECT_EQ(tape.GetText("big.dup.x"), "2");
  EXPECT_EQ(tape.GetText("big.s"), "a\"b\\c \\ d");
  EXPECT_EQ(tape.GetSubDocument("big.u").ToText(), "18446744073709551615");
  EXPECT_EQ(tape.GetSubDocument("list[29].id").ToText(), "1900000000029");
  EXPECT_EQ(tape.GetText("list[12].ar[1].name"), "b");
  EXPECT_EQ(tape.GetText("big.arr"), "1,2,3,x,");
  EXPECT_EQ(tape.Count("list"), 30);
  // The first edit converts in place, so the copies sharing the document see it.
  JsonDocument copy = tape;
  copy.SetValue("list[3].name", "edited");
  EXPECT_EQ(tape.GetText("list[3].name"), "edited");
  EXPECT_EQ(tape.ToText(), copy.ToText());
}

// The last path's steps are reused only where the new path really shares them.
TEST(JsonDocument, PathsSharingPrefixes) {
  JsonDocument doc;
  std::string json = R"({"ab":{"c":1},"abc":{"c":2},"l":[)";
  for (int i = 0; i < 20; ++i)
    json += std::string(i ? "," : "") + R"({"v":)" + std::to_string(i) + "}";
  json += "]}";
  ASSERT_TRUE(doc.Parse(json));
  EXPECT_EQ(doc.GetText("ab.c"), "1");
  EXPECT_EQ(doc.GetText("abc.c"), "2");
  EXPECT_EQ(doc.GetText("ab.c"), "1");
  EXPECT_EQ(doc.GetText("l[1].v"), "1");
  EXPECT_EQ(doc.GetText("l[12].v"), "12");
  EXPECT_EQ(doc.GetText("l[1].v"), "1");
  EXPECT_EQ(doc.GetText("l[19].v"), "19");
  EXPECT_EQ(doc.GetText("l[1].w"), "");
  EXPECT_EQ(doc.GetText("l[1]#"), "");
  EXPECT_EQ(doc.GetText("l[1].v"), "1");
  EXPECT_EQ(doc.GetText("da.l[2].v"), "2");
  EXPECT_EQ(doc.GetText("l[2].v"), "2");
  ASSERT_TRUE(doc.Parse(R"({"ab":{"c":3}})"));
  EXPECT_EQ(doc.GetText("ab.c"), "3");
  EXPECT_EQ(doc.GetText("l[1].v"), "");
}

}  // namespace
}  // namespace lumora::test
