// What eedb-replay prints for people and scripts, beyond what golden.text and the example
// streams' goldens pin: untrusted text escaped in both forms, --verify values as numbers.

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ChipCheck.h"
#include "Escape.h"
#include "Printer.h"
#include "ReplayFixture.h"

namespace {

using ::testing::HasSubstr;

std::string jsonString(std::string_view text) {
  fmt::memory_buffer out;
  eedb::replay::appendJsonString(out, text);
  return fmt::to_string(out);
}

// Each character class once, in both forms. JSON keeps valid UTF-8 and replaces what is not;
// the text form shows every control character and every stray byte as an escape.
TEST(Escape, ControlCharactersQuotesAndStrayBytesInBothForms) {
  struct Case {
    std::string in;
    std::string json;
    std::string text;
  };
  Case const cases[] = {
      {"plain text", R"("plain text")", "plain text"},
      {"", R"("")", ""},
      {"a\"b\\c", R"("a\"b\\c")", "a\"b\\c"},
      {"one\ntwo\r\tend", R"("one\ntwo\r\tend")", R"(one\ntwo\r\tend)"},
      {"\x1b[31mred", R"("\u001b[31mred")", R"(\x1b[31mred)"},
      {std::string("nul\0after", 9), R"("nul\u0000after")", R"(nul\x00after)"},
      {"\b\f\x7f", R"("\b\f\u007f")", R"(\x08\x0c\x7f)"},
      {"csi\xc2\x9b", R"("csi\u009b")", R"(csi\u009b)"},  // C1 control, UTF-8 encoded
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"",
       "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"bad\xff", R"("bad\ufffd")", R"(bad\xff)"},
      {"cut\xe2\x82", R"("cut\ufffd\ufffd")", R"(cut\xe2\x82)"},
      {"overlong\xc0\xaf", R"("overlong\ufffd\ufffd")", R"(overlong\xc0\xaf)"},
      {"surrogate\xed\xa0\x80", R"("surrogate\ufffd\ufffd\ufffd")", R"(surrogate\xed\xa0\x80)"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(jsonString(c.in), c.json) << c.json;
    EXPECT_EQ(eedb::replay::escapedText(c.in), c.text) << c.json;
  }
}

// --verify in JSON: the place's numbers, each differing field as text (as before), as a value
// like the offers carry it, and, for an address field, as the address. The chip is sent another
// session's entry for the same place, so that it holds what this session's shadow does not.
TEST(VerifyReport, CarriesFieldValuesAsNumbersAndAddressesAsText) {
  using namespace eedb::replay;
  Session shadow(eedb::replay::testing::config());
  Session other(eedb::replay::testing::config());
  ChipCheck chip;
  auto const mine = eedb::replay::testing::parseLine(
      R"({"table": "EedbArpTable", "entry": {"key": 512, "viewType": 2, "l2Mac": "02:00:00:aa:bb:cc"}})");
  auto const theirs = eedb::replay::testing::parseLine(
      R"({"table": "EedbArpTable", "entry": {"key": 512, "viewType": 2, "l2Mac": "02:00:00:aa:bb:cd", "actionProfile": 1}})");
  for (auto const& r : shadow.offer(mine, false)) chip.execute(r.cmds);
  for (auto const& r : other.offer(theirs, false)) chip.execute(r.cmds);

  auto const json = makePrinter(Form::json);
  EXPECT_EQ(chip.report(shadow, *json), 1u);
  EXPECT_THAT(
      std::string(json->text()),
      HasSubstr(R"("fields": {"actionProfile": {"shadow": "0", "chip": "1"}, "l2Mac": )"
                R"({"shadow": "02:00:00:aa:bb:cc", "chip": "02:00:00:aa:bb:cd"}}, )"
                R"("values": {"actionProfile": {"shadow": 0, "chip": 1}, "l2Mac": )"
                R"({"shadow": 2199034444748, "chip": 2199034444749}}, "addresses": )"
                R"({"l2Mac": {"shadow": "02:00:00:aa:bb:cc", "chip": "02:00:00:aa:bb:cd"}}}})"));
  auto const text = makePrinter(Form::text);
  chip.report(shadow, *text);
  EXPECT_THAT(std::string(text->text()),
              HasSubstr("(actionProfile: shadow 0, chip 1; l2Mac: shadow "
                        "02:00:00:aa:bb:cc, chip 02:00:00:aa:bb:cd)\n"));
}

// An offer's record is written into room made once for it: texts that escape at their longest
// (six bytes for each one) and are long enough to outgrow any first guess come out whole, in
// every place an offer's record carries one.
TEST(OfferRecord, TextsThatEscapeAtTheirLongestComeOutWhole) {
  using namespace eedb::replay;
  std::string const control(700, '\x01');  // \u0001 each
  std::string const stray(700, '\xff');    // \ufffd each
  std::string const mixed = "a\"b\\" + control + stray;
  OfferResult r;
  r.util = mixed;
  r.name = control;
  r.applicable = false;
  r.reason = stray;
  r.sizeBits = 150;
  r.shadowRead = true;
  r.shadow.fap = 3;
  r.shadow.instance = 1;
  r.shadow.key = 4294967295u;
  r.shadow.present = false;
  r.shadow.format = stray;
  chip26_a0::layout::FieldValue::Words const wide{1, 2, 3, 0xfedcba98};
  r.shadow.fields.push_back({control, chip26_a0::layout::FieldValue(128, wide)});
  r.shadow.fields.push_back(
      {stray, chip26_a0::layout::FieldValue(32, {0x0a000001}), chip26_a0::layout::FieldKind::ipv4});
  r.shownUnder = control;
  ZuriAsicUtils::SchanCmd cmd;
  cmd.op = ZuriAsicUtils::SchanCmd::Op::clear;
  cmd.fapId = 128;
  cmd.memory = mixed;
  cmd.index = 1048575;
  cmd.sizeBits = 150;
  cmd.data = {5, 4, 3, 2, 1};
  r.cmds.push_back(cmd);
  r.cmds.push_back(cmd);

  auto const json = makePrinter(Form::json);
  json->fileIs(stray);
  json->offer(18446744073709551615u, r);
  std::string const command =
      R"({"op": "clear", "fap": 128, "instance": 0, "memory": )" + jsonString(mixed) +
      R"(, "index": 1048575, "type": 0, "sizeBits": 150, "data": "0x0000000100000002000000030000000400000005"})";
  std::string const expected =
      R"({"line": 18446744073709551615, "file": )" + jsonString(stray) + R"(, "util": )" +
      jsonString(mixed) + R"(, "name": )" + jsonString(control) +
      R"(, "applicable": false, "sizeBits": 150, "reason": )" + jsonString(stray) +
      R"(, "shadow": {"fap": 3, "instance": 1, "key": 4294967295, "present": false, "format": )" +
      jsonString(stray) + R"(, "fields": {)" + jsonString(control) +
      R"(: "0xfedcba98000000030000000200000001", )" + jsonString(stray) +
      R"(: 167772161}, "addresses": {)" + jsonString(stray) + R"(: "10.0.0.1"}, "shownUnder": )" +
      jsonString(control) + R"(}, "schan": [)" + command + ", " + command + "], \"error\": null}\n";
  EXPECT_EQ(std::string(json->text()), expected);
}

}  // namespace
