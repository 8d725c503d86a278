// Answers compared with the original script engine's, on both forms of a document: as parsed
// (read in place) and after an edit (the editable tree).
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "json/JsonDocument.h"
#include "json/JsonTree.h"
#include "json/PlainParser.h"

namespace lumora::test {
namespace {

constexpr double kInf = HUGE_VAL;

struct AnswerCase {
  const char* json;
  const char* path;
  const char* text;    // GetText
  const char* toText;  // ToText of the whole document
  double number;       // GetNumber
  int type;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(c.json)) << " @ " << c.path;
}

enum class Form { Parsed, Edited };

class JsonAnswers : public ::testing::TestWithParam<std::tuple<AnswerCase, Form>> {};

TEST_P(JsonAnswers, AsTheEngineGaveThem) {
  const auto& [c, form] = GetParam();
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(c.json));
  if (form == Form::Edited) {
    doc.Delete("absent");  // an edit that changes nothing but the form
    ASSERT_FALSE(doc.Engine()->tape);
  }
  // GetNumber first: on the parsed form nothing before it may have converted the document.
  EXPECT_EQ(doc.GetNumber(c.path), c.number);
  EXPECT_EQ(doc.GetText(c.path), c.text);
  EXPECT_EQ(doc.TypeOf(c.path), c.type);
  EXPECT_EQ(doc.ToText(), c.toText);
}

#define U_FFFD "\xEF\xBF\xBD"

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonAnswers,
    ::testing::Combine(
        ::testing::Values(
            // A path naming nothing reads as 0, at any depth.
            AnswerCase{R"({"a":1})", "b", "", R"({"a":1})", 0, 0},
            AnswerCase{R"({"a":{"b":1}})", "a.c.d", "", R"({"a":{"b":1}})", 0, 0},
            AnswerCase{"[1,2]", "[5]", "", "[1,2]", 0, 0},
            AnswerCase{"[[1]]", "[0][0][0]", "", "[[1]]", 0, 0},
            // Numbers beyond the double range are infinities, which JSON writes as null.
            AnswerCase{"[1e400]", "[0]", "Infinity", "[null]", kInf, 2},
            AnswerCase{"[-1e400]", "[0]", "-Infinity", "[null]", -kInf, 2},
            AnswerCase{"[1.8e308]", "[0]", "Infinity", "[null]", kInf, 2},
            AnswerCase{"[1e-400]", "[0]", "0", "[0]", 0, 2},
            // Integers below -2^63 keep their digits as all integers past 2^53 do.
            AnswerCase{"[-9223372036854775809]", "[0]", "-9223372036854775809",
                       "[-9223372036854775809]", -9223372036854775809.0, 2},
            AnswerCase{R"({"a":-9300000000000000000,"b":1e400,"c":"\ud800"})", "a",
                       "-9300000000000000000",
                       R"({"a":-9300000000000000000,"b":null,"c":"\ud800"})", -9.3e18, 2},
            // Unpaired surrogates are kept and written back as escapes; as text they are U+FFFD.
            AnswerCase{R"(["\ud800"])", "[0]", U_FFFD, R"(["\ud800"])", 0, 6},
            AnswerCase{R"(["\udc00"])", "[0]", U_FFFD, R"(["\udc00"])", 0, 6},
            AnswerCase{R"(["\ud800\u0041"])", "[0]", U_FFFD "A", R"(["\ud800A"])", 0, 6},
            AnswerCase{R"(["\uDBFF\uDBFF\uDFFF"])", "[0]", U_FFFD "\xF4\x8F\xBF\xBF",
                       "[\"\\udbff\xF4\x8F\xBF\xBF\"]", 0, 6},
            AnswerCase{R"({"\udc01":"x\ud83d\ude00"})", "", "[object Object]",
                       "{\"\\udc01\":\"x\xF0\x9F\x98\x80\"}", 0, 4},
            // Number() of values that are not numbers.
            AnswerCase{R"({"v":"12"})", "v", "12", R"({"v":"12"})", 12, 6},
            AnswerCase{R"({"v":true})", "v", "true", R"({"v":true})", 1, 1},
            AnswerCase{R"({"v":false})", "v", "false", R"({"v":false})", 0, 1},
            AnswerCase{R"({"v":null})", "v", "", R"({"v":null})", 0, 0},
            AnswerCase{R"({"v":[5]})", "v", "5", R"({"v":[5]})", 5, 5},
            AnswerCase{R"({"v":[[" 7 "]]})", "v", " 7 ", R"({"v":[[" 7 "]]})", 7, 5},
            AnswerCase{R"({"v":[]})", "v", "", R"({"v":[]})", 0, 5},
            AnswerCase{R"({"v":[1,2]})", "v", "1,2", R"({"v":[1,2]})", 0, 5},
            AnswerCase{R"({"v":{"a":1}})", "v", "[object Object]", R"({"v":{"a":1}})", 0, 4},
            AnswerCase{R"({"v":"0x10"})", "v", "0x10", R"({"v":"0x10"})", 16, 6},
            AnswerCase{R"({"v":"0XfF"})", "v", "0XfF", R"({"v":"0XfF"})", 255, 6},
            AnswerCase{R"({"v":" \t\n-12.5e1\r "})", "v", " \t\n-12.5e1\r ",
                       R"({"v":" \t\n-12.5e1\r "})", -125, 6},
            AnswerCase{"{\"v\":\"\xC2\xA0+.5\xE3\x80\x80\"}", "v", "\xC2\xA0+.5\xE3\x80\x80",
                       "{\"v\":\"\xC2\xA0+.5\xE3\x80\x80\"}", 0.5, 6},
            AnswerCase{R"({"v":"5."})", "v", "5.", R"({"v":"5."})", 5, 6},
            AnswerCase{R"({"v":""})", "v", "", R"({"v":""})", 0, 6},
            AnswerCase{R"({"v":"   "})", "v", "   ", R"({"v":"   "})", 0, 6},
            AnswerCase{R"({"v":"-Infinity"})", "v", "-Infinity", R"({"v":"-Infinity"})", -kInf, 6},
            AnswerCase{R"({"v":"1e400"})", "v", "1e400", R"({"v":"1e400"})", kInf, 6},
            // Texts that are not numbers to the engine read as 0.
            AnswerCase{R"({"v":"12abc"})", "v", "12abc", R"({"v":"12abc"})", 0, 6},
            AnswerCase{R"({"v":"1,5"})", "v", "1,5", R"({"v":"1,5"})", 0, 6},
            AnswerCase{R"({"v":"-0x10"})", "v", "-0x10", R"({"v":"-0x10"})", 0, 6},
            AnswerCase{R"({"v":"0x"})", "v", "0x", R"({"v":"0x"})", 0, 6},
            AnswerCase{R"({"v":"0b11"})", "v", "0b11", R"({"v":"0b11"})", 0, 6},
            AnswerCase{R"({"v":"infinity"})", "v", "infinity", R"({"v":"infinity"})", 0, 6},
            AnswerCase{R"({"v":"1e"})", "v", "1e", R"({"v":"1e"})", 0, 6},
            AnswerCase{R"({"v":"."})", "v", ".", R"({"v":"."})", 0, 6}),
        ::testing::Values(Form::Parsed, Form::Edited)));

// What our own ToText writes, Parse reads back to the same document.
TEST(JsonDocument, WrittenTextReadsBack) {
  for (const char* json : {R"({"a":-9.3e18,"b":1})", R"({"a":1e308,"b":-1e-300})",
                           R"(["\ud800","\udfff",{"\udbff":[-18446744073709551617]}])"}) {
    SCOPED_TRACE(json);
    JsonDocument doc;
    ASSERT_TRUE(doc.Parse(json));
    std::string once = doc.ToText();
    JsonDocument again;
    ASSERT_TRUE(again.Parse(once));
    EXPECT_EQ(again.ToText(), once);
  }
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"a":-9.3e18,"b":1})"));
  EXPECT_EQ(doc.ToText(), R"({"a":-9300000000000000000,"b":1})");
}

// The texts simdjson refuses for a number or a string are read by a second parser, which must be
// as strict about everything else, members and nesting included.
TEST(JsonDocument, SecondParserIsStrictJson) {
  const char* bad[] = {R"(["\ud800",01])",
                       R"(["\ud800" 1])",
                       R"(["\ud800\x"])",
                       R"(["\ud800)",
                       R"(["\ud800\u12"])",
                       R"(["\ud800\u12g4"])",
                       "[\"\\ud800\",\"\xFF\"]",
                       "[\"\\ud800\",\"\xED\xA0\x80\"]",
                       "[\"\\ud800\",\"\xC0\xAF\"]",
                       "[\"\\ud800\",\"\xF4\x90\x80\x80\"]",
                       "[\"\\ud800\",\"a\x01\"]",
                       R"([1e400,])",
                       R"([-])",
                       R"([1e400,1.])",
                       R"([1e400,.5])",
                       R"([1e400,+1])",
                       R"([1e400] x)",
                       R"({"\ud800":1,})",
                       R"({"\ud800"})",
                       R"({"\ud800":1 "b":2})",
                       R"([1e400,tru])",
                       R"([1e400,nulls])",
                       R"(["\ud800",'a'])",
                       R"([1e400,1e])",
                       R"([1e400,1e+])",
                       R"([1e400,-01])",
                       R"([1e400,NaN])",
                       R"([1e400,Infinity])"};
  for (const char* json : bad) {
    SCOPED_TRACE(json);
    JsonDocument doc;
    EXPECT_FALSE(doc.Parse(json));
    EXPECT_EQ(doc.ToText(), "null");
    // simdjson may refuse some of these for another reason first: ask the second parser too.
    JsonTree tree;
    EXPECT_FALSE(json_detail::PlainParse(json, tree));
  }
  JsonDocument doc;
  ASSERT_TRUE(
      doc.Parse(R"( { "b" : 1 , "1":2,"b":[ 3 ,true,false,null,{}, []],"x":"\ud800\/" } )"));
  EXPECT_EQ(doc.ToText(), R"({"1":2,"b":[3,true,false,null,{},[]],"x":"\ud800/"})");
  EXPECT_EQ(doc.GetText("b"), "3,true,false,,[object Object],");

  std::string deep = "[\"\\ud800\"," + std::string(1023, '[') + std::string(1023, ']') + "]";
  ASSERT_TRUE(doc.Parse(deep));
  EXPECT_EQ(doc.ToText(), deep);
  std::string tooDeep = "[\"\\ud800\"," + std::string(1024, '[') + std::string(1024, ']') + "]";
  EXPECT_FALSE(doc.Parse(tooDeep));
  EXPECT_FALSE(doc.Parse("[1e400," + std::string(100000, '[') + std::string(100000, ']') + "]"));
}

}  // namespace
}  // namespace lumora::test
