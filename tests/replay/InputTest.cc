// The replay tool's input: every kind of bad line rejected with its exact reason (the list of
// refusals.txt, with the --show and --faps values refused), the accepted forms of units, numbers
// and flags, line splitting across read blocks, line ends, encodings and the longest line,
// expectations as read, the --faps list. (How an expectation is checked against the offers of a
// line is golden.text's: differs.jsonl.)

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Input.h"
#include "Options.h"
#include "ReplayFixture.h"
#include "Session.h"
#include "ShowFilter.h"

namespace {

using eedb::replay::LineParser;
using eedb::replay::LineReader;
using eedb::replay::LogLine;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ZuriErrm::InputError;

LogLine parse(std::string_view text) {
  return eedb::replay::testing::parseLine(text);
}

std::string rejection(std::string_view text) {
  try {
    parse(text);
  } catch (InputError const& e) {
    return e.what();
  }
  return "accepted";
}

// Every input of tests/replay/refusals.txt is refused by its reader with the message under it.
std::string refusal(std::string_view reader, std::string const& input) {
  try {
    if (reader == "[line]") {
      // The catalogue, the slower reader, reads each line as the direct one does.
      LineParser direct, catalogue(false);
      EXPECT_EQ(eedb::replay::testing::readAs(direct, input),
                eedb::replay::testing::readAs(catalogue, input));
      return rejection(input);
    }
    if (reader == "[show]") eedb::replay::ShowFilter().add(input);
    if (reader == "[faps]") eedb::replay::parseFapList(input);
  } catch (std::invalid_argument const& e) {
    return e.what();
  }
  return "accepted";
}

TEST(Refusals, EachInputOfTheListIsRefusedWithItsMessage) {
  std::ifstream list(EEDB_REPLAY_TESTS_DIR "/refusals.txt");
  ASSERT_TRUE(list.is_open());
  std::string reader, input, text;
  std::size_t number = 0, at = 0, checked = 0;
  while (std::getline(list, text)) {
    ++number;
    if (text.empty() || text.starts_with('#')) continue;
    if (text == "[line]" || text == "[show]" || text == "[faps]") {
      reader = text;
    } else if (!text.starts_with("=> ")) {
      input = text, at = number;
    } else {
      EXPECT_EQ(refusal(reader, input), text.substr(3)) << "refusals.txt:" << at << ": " << input;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 101u);
}

// The [line] inputs of refusals.txt.
std::vector<std::string> refusedLines() {
  std::ifstream list(EEDB_REPLAY_TESTS_DIR "/refusals.txt");
  std::vector<std::string> lines;
  std::string reader, text;
  while (std::getline(list, text)) {
    if (text.empty() || text.starts_with('#') || text.starts_with("=> ")) continue;
    if (text.starts_with('[') && text.ends_with(']') && text.find(' ') == std::string::npos) {
      reader = text;
    } else if (reader == "[line]") {
      lines.push_back(text);
    }
  }
  return lines;
}

// What each line of `data` reads to, read from a pipe in blocks of `block` bytes as the tool
// reads its input (blank lines left out, lines over 400 bytes refused unread); `ahead`: the
// reader's whole lines go to the parser at each read, so that it finds their structure at once.
std::vector<std::string> readStream(std::string const& data, std::size_t block, bool ahead) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  EXPECT_EQ(::write(fds[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
  ::close(fds[1]);
  LineReader reader(fds[0], {}, block, 400);
  LineParser parser;
  std::vector<std::string> lines;
  std::size_t reads = 0;
  std::string_view line;
  while (reader.next(line)) {
    if (ahead && reader.reads() != reads) {
      reads = reader.reads();
      parser.linesAhead(reader.wholeLines());
    }
    if (reader.overlong()) {
      lines.push_back(fmt::format("{}: <overlong>", reader.lineNumber()));
    } else if (line.find_first_not_of(" \t") != std::string_view::npos) {
      lines.push_back(fmt::format("{}: {}", reader.lineNumber(),
                                  eedb::replay::testing::readInPlace(parser, line)));
    }
  }
  ::close(fds[0]);
  return lines;
}

// Lines whose structure is found a block at a time read as each line alone does, whatever
// stands between usual lines: every refused line, a line of two values, a value over two lines,
// blank and white lines, an unclosed text that runs into the next line, bytes that are not
// UTF-8, a line too long, "\r\n" line ends, an unfinished value after a line's object (last in
// the stream too); blocks that cut lines or hold them all.
TEST(LineParser, ReadsLinesFoundABlockAtATimeAsEachAlone) {
  std::string const usual =
      R"({"table": "EedbOutrif", "unit": {"fap": 1, "instance": 0}, "delete": false, )"
      R"("entry": {"key": 7, "viewType": 1, "fodo": 2}})";
  std::vector<std::string> between = refusedLines();
  ASSERT_GT(between.size(), 50u);
  for (std::string text : std::initializer_list<std::string>{
           usual + " " + usual,
           R"({"table": "EedbOutrif", "entry": {)"
           "\n"
           R"("key": 1}})",
           std::string(),
           std::string(" \t "),
           "\r",
           " " + usual + "\t",
           R"({"table": "EedbOutrif", "entry": {"fodo": "1}})",
           R"({"table": "EedbOutrif", "entry": {"key": ")"
           "\xff"
           R"("}})",
           R"({"table": "EedbOutrif", "entry": {"key": 1}, "expect": {"refused": true}})",
           usual + std::string(400, ' '),
           usual + "\r",
           usual + "{{",
           usual + R"({"a": {})",
       }) {
    between.push_back(text);
  }
  for (std::string const& text : between) {
    // Between usual lines, and last.
    for (std::string const& data :
         {usual + "\n" + usual + "\n" + text + "\n" + usual + "\n" + usual,
          usual + "\n" + usual + "\n" + text}) {
      for (std::size_t block : {std::size_t{200}, std::size_t{4096}}) {
        EXPECT_EQ(readStream(data, block, true), readStream(data, block, false))
            << "block " << block << ": " << text;
      }
    }
  }
}

// Expected field names are checked for a duplicate as they come, a few by a scan and many in a
// set: either way every duplicate is caught and quoted as an excerpt, and a line of 100,000
// distinct names is read in about the time of its bytes.
TEST(LineParser, ManyExpectedFieldsStayLinearAndDuplicatesAreCaught) {
  auto const line = [](std::size_t n, std::string const& last) {
    std::string text = R"({"table": "EedbOutrif", "expect": {"fields": {)";
    for (std::size_t i = 0; i < n; ++i) {
      fmt::format_to(std::back_inserter(text), R"("f{}": 1, )", i);
    }
    return text + fmt::format(R"("{}": 1}}}}}})", last);
  };
  std::string const longName = "f" + std::string(100, 'x');
  struct {
    std::size_t before;
    std::string last;
    std::string reason;  // empty: read
  } const cases[] = {
      {3, "f1", "duplicate member 'expect.fields.f1'"},
      {3, "f3", ""},
      {100'000, "f99998", "duplicate member 'expect.fields.f99998'"},
      {100'000, "f0", "duplicate member 'expect.fields.f0'"},
      {100'000, "last", ""},
  };
  for (auto const& c : cases) {
    std::string const text = line(c.before, c.last);
    if (c.reason.empty()) {
      EXPECT_EQ(parse(text).expect.fields.size(), c.before + 1) << c.before << " " << c.last;
    } else {
      EXPECT_EQ(rejection(text), c.reason);
    }
  }
  for (std::size_t const before : {0, 100}) {
    std::string text = line(before, longName);
    text.insert(text.size() - 3, fmt::format(R"(, "{}": 2)", longName));
    EXPECT_EQ(rejection(text),
              fmt::format("duplicate member 'expect.fields.{}...'", longName.substr(0, 40)));
  }
}

// SRv6 view data share one block: the entry's own view, given before or after viewType, is
// stored as given (data of another view are refused: refusals.txt).
TEST(LineParser, StoresSrv6DataOfTheEntrysOwnView) {
  LogLine const sid = parse(
      R"({"table": "EedbSrv6", "entry": {"etpsDataSid150": {"sid": "2001:db8::1"}, "viewType": 1}})");
  auto const& e = std::get<ZuriErrm::EedbSrv6LogEntry>(sid.entry);
  EXPECT_EQ(e.etpsDataSid150().sid(), *Plexo::IpGenAddr::parse("2001:db8::1"));
  LogLine const header = parse(
      R"({"table": "EedbSrv6", "entry": {"viewType": 0, "etpsSrv6150": {"nofSids": 3, "srhRoutingType": 4}}})");
  auto const& h = std::get<ZuriErrm::EedbSrv6LogEntry>(header.entry);
  EXPECT_EQ(h.etpsSrv6150().nofSids(), 3);
  EXPECT_EQ(h.etpsSrv6150().srhRoutingType(), 4);
}

// Input quoted in a reason is cut short (the names suggested for unknown ones: refusals.txt).
TEST(LineParser, QuotesInputShort) {
  std::string array = "[";
  for (int i = 0; i < 100000; ++i) array += "1234567,";
  array += "0]";
  for (std::string const& line :
       {R"({"table": "EedbOutrif", "entry": )" + array + "}",
        R"({"table": "EedbOutrif", "entry": {"fodo": )" + array + "}}",
        R"({"table": "EedbOutrif", "unit": {"fap": ")" + std::string(100000, 'x') + "\"}}",
        R"({"table": ")" + std::string(100000, 'x') + "\"}",
        R"({"table": "EedbOutrif", "entry": {")" + std::string(100000, 'x') + "\": 1}}"}) {
    std::string const reason = rejection(line);
    EXPECT_LT(reason.size(), 100u) << reason;
    EXPECT_THAT(reason, HasSubstr("...")) << reason;
  }
  EXPECT_EQ(rejection(R"({"table": "EedbOutrif", "entry": )" + array + "}"),
            "member 'entry': [1234567,1234567,1234567,1234567,1234567... is not an object");
}

// The expectation is read even from a line refused afterwards (a malformed one: refusals.txt).
TEST(LineParser, ReadsExpectations) {
  LogLine line;
  LineParser parser;
  std::string text =
      R"({"expect": {"rejected": "unknown field"}, "table": "EedbOutrif", "entry": {"x": 1}})";
  text.append(simdjson::SIMDJSON_PADDING, ' ');
  EXPECT_THROW(parser.parse(std::string_view(text).substr(0, text.size() - 64), line), InputError);
  ASSERT_TRUE(line.hasExpect);
  EXPECT_EQ(line.expect.rejected, "unknown field");
  EXPECT_EQ(line.expect.written, R"({"rejected":"unknown field"})");

  line = parse(
      R"({"table": "EedbIpTunnel", "expect": {"util": "EedbIpTunnelUtil", "applicable": true,)"
      R"( "present": true, "fields": {"fodo": 7, "dip": "0x20010db8000000000000000000000001"}}})");
  ASSERT_TRUE(line.hasExpect);
  EXPECT_EQ(line.expect.util, "EedbIpTunnelUtil");
  EXPECT_EQ(line.expect.applicable, true);
  EXPECT_EQ(line.expect.present, true);
  ASSERT_EQ(line.expect.fields.size(), 2u);
  EXPECT_THAT(line.expect.fields[1].words, ElementsAre(1u, 0u, 0u, 0x20010db8u));
  EXPECT_FALSE(parse(R"({"table": "EedbOutrif"})").hasExpect);
}

// Hex text at a field's and a unit's limits, both flags, the defaults of what is left out, and
// fields in any order (writers have an order of their own) giving the same entry.
TEST(LineParser, ReadsUnitFlagsAndNumbersInEveryForm) {
  struct {
    char const* storageOrder;
    char const* otherOrder;
  } const same[] = {
      {R"({"table": "EedbOutrif", "entry": {"key": 7, "fodo": 3, "viewType": 1, "forwardQosModel": 1, "remarkProfile": 4, "mtuProfile": 5}})",
       R"({"table": "EedbOutrif", "entry": {"mtuProfile": 5, "remarkProfile": 4, "forwardQosModel": 1, "viewType": 1, "fodo": 3, "key": 7}})"},
      {R"({"table": "EedbIpTunnel", "entry": {"lifAhp": 2, "key": {"outlif": 9, "dipOutlif": 8}, "viewType": 2, "dip": "2001:db8::1"}})",
       R"({"table": "EedbIpTunnel", "entry": {"dip": "2001:db8::1", "viewType": 2, "key": {"dipOutlif": 8, "outlif": 9}, "lifAhp": 2}})"},
  };
  for (auto const& c : same) {
    EXPECT_EQ(ZuriErrm::describe(parse(c.storageOrder).entry),
              ZuriErrm::describe(parse(c.otherOrder).entry))
        << c.otherOrder;
  }
  LogLine line = parse(
      R"({"table": "EedbOutrif", "unit": {"fap": "0x80", "instance": 7}, "delete": true,)"
      R"( "tableDelete": true, "entry": {"key": "0xffffffff", "viewType": 1, "fodo": "32767"}})");
  EXPECT_EQ(line.unitId.value(), 0x8007);
  EXPECT_EQ(line.flags, eedb::replay::kDeleteFlag | eedb::replay::kTableDeleteFlag);
  auto const& rif = std::get<ZuriErrm::EedbOutrifLogEntry>(line.entry);
  EXPECT_EQ(rif.key().value(), 0xFFFFFFFFu);
  EXPECT_EQ(rif.fodo(), 32767);
  EXPECT_EQ(rif.mtuProfile(), 0);

  line = parse(R"({"table": "EedbOutrif", "unitId": 65535, "delete": false})");
  EXPECT_EQ(line.unitId.value(), 0xFFFF);
  EXPECT_EQ(line.flags, 0);
  EXPECT_EQ(line.entry, line.table->newEntry());
  EXPECT_EQ(parse(R"({"table": "EedbOutrif"})").unitId.value(), 0);
}

// Writes `data` into a pipe and reads it back in blocks of `block` bytes: its lines cut with the
// given maximum, an overlong one shown as "<overlong N>". Each line comes with its number, and
// the hook before a read runs.
std::vector<std::string> readLimited(std::string const& data, std::size_t block,
                                     std::size_t maxLine) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  EXPECT_EQ(::write(fds[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
  ::close(fds[1]);
  int reads = 0;
  LineReader reader(
      fds[0], [&] { ++reads; }, block, maxLine);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) {
    lines.push_back(reader.overlong() ? fmt::format("<overlong {}>", reader.overlongLength())
                                      : std::string(line));
    EXPECT_EQ(reader.lineNumber(), lines.size());
  }
  ::close(fds[0]);
  EXPECT_GE(reads, 1);
  return lines;
}

// Lines cut across blocks; a byte-order mark is skipped (split across reads too); CR LF and
// CR-only files read as LF files do; the first line end decides.
TEST(LineReader, CutsLinesAcrossBlocksAndReadsEveryLineEnd) {
  struct {
    std::string data;
    std::vector<std::string> lines;
  } const cases[] = {
      {"{\"a\": 1}\r\n\nline three is longer than a block\nlast",
       {"{\"a\": 1}", "", "line three is longer than a block", "last"}},
      {"", {}},
      {"one\n", {"one"}},
      {"\xEF\xBB\xBF{}\n{}", {"{}", "{}"}},
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB\xBF\xEF\xBB\xBFx", {"\xEF\xBB\xBFx"}},  // one mark only
      {"\xEF\xBBx\n", {"\xEF\xBBx"}},
      {"a\r\nb\r\n\r\nc", {"a", "b", "", "c"}},
      {"a\rb\r\rc\r", {"a", "b", "", "c"}},
      {"a\rb\nc\r", {"a", "b\nc"}},
      {"a\nb\rc\n", {"a", "b\rc"}},
      {"ab\r", {"ab"}},
      {"\r\n", {""}},
  };
  for (auto const& c : cases) {
    for (std::size_t block : {1, 2, 3, 7, 1024}) {
      EXPECT_EQ(readLimited(c.data, block, 100), c.lines) << "block " << block;
    }
  }
  for (std::string data : {"\xFF\xFE{\0}\0", "\xFE\xFF\0{\0}"}) {
    EXPECT_THROW(readLimited(data, 1024, 100), InputError);
  }
}

// `text` as one gzip member, compressed by zlib as the gzip tool does.
std::string gzipped(std::string const& text) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, text.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Input that starts with gzip's magic bytes is decompressed, in blocks of any size, member after
// member; the text inside is read as any text is (its byte-order mark, its line ends). A first
// byte like gzip's alone is text; a damaged or cut stream is an input error that says so.
TEST(LineReader, DecompressesGzipInputToldByItsMagicBytes) {
  std::string const text = "{\"a\": 1}\n{\"b\": 2}\n";
  std::string const member = gzipped(text);
  std::string damaged = member;
  damaged[2] = 7;  // the compression method
  struct {
    std::string data;
    std::vector<std::string> lines;
    std::string error;
  } const cases[] = {
      {member, {"{\"a\": 1}", "{\"b\": 2}"}, ""},
      {gzipped("\xEF\xBB\xBFone\r\ntwo"), {"one", "two"}, ""},
      {member + gzipped("") + gzipped("last"), {"{\"a\": 1}", "{\"b\": 2}", "last"}, ""},
      {gzipped(""), {}, ""},
      {"\x1f", {"\x1f"}, ""},
      {"\x1f\x8c\n", {"\x1f\x8c"}, ""},
      {member.substr(0, member.size() - 4),
       {},
       "the gzip stream ends early: the file is cut short"},
      {member.substr(0, 1) + member.substr(1, 1),
       {},
       "the gzip stream ends early: the file is cut short"},
      {damaged, {}, "the gzip stream is damaged: unknown compression method"},
      {member + "trailing", {}, "the gzip stream is damaged: incorrect header check"},
  };
  for (auto const& c : cases) {
    for (std::size_t block : {1, 2, 5, 1024}) {
      SCOPED_TRACE(fmt::format("case {} block {}", &c - cases, block));
      if (c.error.empty()) {
        EXPECT_EQ(readLimited(c.data, block, 100), c.lines);
        continue;
      }
      try {
        readLimited(c.data, block, 100);
        ADD_FAILURE() << "read without an error";
      } catch (InputError const& e) {
        EXPECT_EQ(e.message(), c.error);
      }
    }
  }
  // A long stream through small blocks: every line, in order.
  std::string many;
  for (int i = 0; i < 2000; ++i) many += fmt::format("{{\"n\": {}}}\n", i);
  auto const lines = readLimited(gzipped(many), 7, 100);
  ASSERT_EQ(lines.size(), 2000u);
  EXPECT_EQ(lines.back(), "{\"n\": 1999}");
}

// A line longer than the maximum is handed out empty with its length, and the lines after it
// are read as usual; the maximum counts the line without its line end.
TEST(LineReader, SkipsLinesLongerThanTheMaximum) {
  std::string const ten(10, 'x');
  std::string const eleven(11, 'y');
  std::string const long_(1000, 'z');
  for (std::size_t block : {1, 4, 7, 64}) {
    EXPECT_THAT(
        readLimited(ten + "\n" + eleven + "\n" + ten + "\r\n" + long_ + "\nz\n" + long_, block, 10),
        ElementsAre(ten, "<overlong 11>", ten, "<overlong 1000>", "z", "<overlong 1000>"))
        << "block " << block;
    EXPECT_THAT(readLimited(long_ + "\r" + ten + "\r" + eleven, block, 10),
                ElementsAre("<overlong 1000>", ten, "<overlong 11>"))
        << "block " << block;
  }
}

// One long line costs time linear in its length: bytes already searched for the line end are
// not searched again on every read.
TEST(LineReader, ReadsALongLineInLinearTime) {
  char path[] = "/tmp/eedb-long-line-XXXXXX";
  int const fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  std::string const line(std::size_t{32} << 20, 'x');
  ASSERT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  ASSERT_EQ(::write(fd, "\nend\n", 5), 5);
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  auto const start = std::chrono::steady_clock::now();
  LineReader reader(fd, {}, 4096, line.size());
  std::string_view text;
  ASSERT_TRUE(reader.next(text));
  EXPECT_EQ(text.size(), line.size());
  ASSERT_TRUE(reader.next(text));
  EXPECT_EQ(text, "end");
  // Searching again from the line's start on each of 8192 reads: 128 GiB, minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ::close(fd);
  ::unlink(path);
}

TEST(FapList, ReadsIdsAndRanges) {
  using eedb::replay::parseFapList;
  EXPECT_THAT(parseFapList("0-3,7"), ElementsAre(0, 1, 2, 3, 7));
  EXPECT_THAT(parseFapList("7,1,0-1"), ElementsAre(0, 1, 7));
  EXPECT_THAT(parseFapList("128"), ElementsAre(128));
  auto const error = [&](char const* text) -> std::string {
    try {
      parseFapList(text);
    } catch (std::invalid_argument const& e) {
      return e.what();
    }
    return "accepted";
  };
  EXPECT_EQ(error(""), "'' is not a FAP id or range");  // the others: refusals.txt
}

}  // namespace
