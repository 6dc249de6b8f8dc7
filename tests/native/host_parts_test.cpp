// The host's parts: hand sessions read from files (every step with its
// bounds; a bad line refuses the whole session with its line number), the PNG
// writer, the user information plug-ins read back, and the command line.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <iterator>
#include <sstream>

#include "base/png_writer.h"
#include "base/user_names.h"
#include "host/hand_session.h"
#include "host/host_arguments.h"
#include "host/user_info.h"

namespace scribly {
namespace {

// A step in one line: line, participant, action, element, point or "centre",
// second point, drag steps, value and text.
std::vector<std::string> stepsOf(const HandSession& s) {
  static const char* kActions[] = {"click", "rclick", "drag", "key",    "type",      "wait",
                                   "menu",  "open",   "save", "answer", "clip-text", "clip-pic"};
  std::vector<std::string> out;
  for (const HandStep& t : s.steps) {
    const auto n = [](int v) { return std::to_string(v); };
    out.push_back(n(t.line) + " p" + n(t.participant) + " " + kActions[int(t.action)] + " [" +
                  t.element + "] " + (t.atCentre ? "centre" : n(t.x1) + "," + n(t.y1)) + " " +
                  n(t.x2) + "," + n(t.y2) + " s" + n(t.steps) + " v" + n(int(t.value)) + " [" +
                  t.text + "]");
  }
  return out;
}

TEST(HandSession, StepsReadWithTheirParticipantDefaultsAndFilesBesideTheSessionABadLineRefusesAll) {
  const HandSession s = parseHandSession(
      "\xEF\xBB\xBF# the hand of participant 1\n"
      "click rect\r\n"
      "  click \"view wnd\" 12 -3\n"
      "\n"
      "as 2\n"
      "rclick \"scribly color pick panel\" 5 6\n"
      "drag \"view wnd\" 10 10 110 60\n"
      "drag pad 0 0 1 1 3\n"
      "key \"view wnd\" 0x54\n"
      "type   Hello \"there\"  \n"
      "type \" spaced \"\n"
      "wait 250\n");
  ASSERT_TRUE(s.ok()) << s.error;
  EXPECT_EQ(
      stepsOf(s),
      (std::vector<std::string>{
          "2 p1 click [rect] centre 0,0 s0 v0 []", "3 p1 click [view wnd] 12,-3 0,0 s0 v0 []",
          "6 p2 rclick [scribly color pick panel] 5,6 0,0 s0 v0 []",
          "7 p2 drag [view wnd] 10,10 110,60 s10 v0 []", "8 p2 drag [pad] 0,0 1,1 s3 v0 []",
          "9 p2 key [view wnd] centre 0,0 s0 v84 []",
          "10 p2 type [] centre 0,0 s0 v0 [Hello \"there\"]",
          "11 p2 type [] centre 0,0 s0 v0 [ spaced ]", "12 p2 wait [] centre 0,0 s0 v250 []"}));

  // A bad line refuses the whole session with its number.
  const std::pair<const char*, std::string_view> cases[] = {
      {"click rect\npoke rect\n", "line 2: unknown step"},
      {"click\n", "line 1: an element name is expected"},
      {"click \"view wnd 1 2\n", "line 1: an element name is expected"},
      {"click \"view\"wnd\n", "line 1: an element name is expected"},
      {"\"unclosed\n", "line 1: unclosed or misplaced quote"},
      {"click rect 5\n", "line 1: a point X Y is expected"},
      {"click rect 5 6 7\n", "line 1: unexpected words at the end"},
      {"click rect 10001 0\n", "line 1: a point X Y is expected"},
      {"click rect 0x10 0\n", "line 1: a point X Y is expected"},
      {"drag pad 1 2 3\n", "line 1: drag: X1 Y1 X2 Y2 are expected"},
      {"drag pad 1 2 3 4 0\n", "line 1: drag: steps from 1 to 1000 are expected"},
      {"drag pad 1 2 3 4 1001\n", "line 1: drag: steps from 1 to 1000 are expected"},
      {"key pad 0\n", "line 1: key: a virtual key from 1 to 254 is expected"},
      {"key pad 0x100\n", "line 1: key: a virtual key from 1 to 254 is expected"},
      {"key pad 99999999999999999999\n", "line 1: key: a virtual key from 1 to 254 is expected"},
      {"type\n", "line 1: type: text is expected"},
      {"type \"\"\n", "line 1: type: text is expected"},
      {"menu 64\n", "line 1: menu: an item from 0 to 63 is expected"},
      {"open-file\n", "line 1: a file of at most 259 bytes is expected"},
      {"clip-text \"\"\n", "line 1: clip-text: text is expected"},
      {"answer maybe\n", "line 1: answer: yes, no, ok or cancel is expected"},
      {"answer yes no\n", "line 1: unexpected words at the end"},
      {"wait -1\n", "line 1: wait: milliseconds from 0 to 60000 are expected"},
      {"wait 60001\n", "line 1: wait: milliseconds from 0 to 60000 are expected"},
      {"as 0\n", "line 1: as: a participant from 1 to 16 is expected"},
      {"as 2 3\n", "line 1: unexpected words at the end"},
  };
  for (const auto& [text, error] : cases) {
    const HandSession refused = parseHandSession(text);
    EXPECT_EQ(refused.error, error) << text;
    EXPECT_TRUE(refused.steps.empty()) << text;
  }

  // Files are read whole, relative ones beside the session, and long ones refused.
  HandSession files = parseHandSession(
      "menu 4\n"
      "clip-text Greetings, \"Ben\"\n"
      "clip-picture pictures/sun set.bmp\n"
      "open-file \"C:\\photos\\hills.bmp\"\n"
      "open-file /tmp/hills.bmp\n"
      "save-file saved/page.bmp\n"
      "answer no\n");
  ASSERT_TRUE(files.ok()) << files.error;
  resolveHandFiles(files, "Z:\\work\\host\\", '\\');
  EXPECT_EQ(stepsOf(files),
            (std::vector<std::string>{
                "1 p1 menu [] centre 0,0 s0 v4 []",
                "2 p1 clip-text [] centre 0,0 s0 v0 [Greetings, \"Ben\"]",
                "3 p1 clip-pic [] centre 0,0 s0 v0 [Z:\\work\\host\\pictures\\sun set.bmp]",
                "4 p1 open [] centre 0,0 s0 v0 [C:\\photos\\hills.bmp]",
                "5 p1 open [] centre 0,0 s0 v0 [/tmp/hills.bmp]",
                "6 p1 save [] centre 0,0 s0 v0 [Z:\\work\\host\\saved\\page.bmp]",
                "7 p1 answer [] centre 0,0 s0 v7 []"}));  // IDNO
  EXPECT_FALSE(parseHandSession("open-file " + std::string(kMaxHandFileBytes + 1, 'f')).ok());

  // Long names, texts and sessions are refused.
  const std::string longName(kMaxHandNameBytes + 1, 'n');
  EXPECT_FALSE(parseHandSession("click " + longName + "\n").ok());
  EXPECT_TRUE(parseHandSession("click " + longName.substr(1) + "\n").ok());
  const std::string longText(kMaxHandTextBytes + 1, 't');
  EXPECT_FALSE(parseHandSession("type " + longText + "\n").ok());
  EXPECT_TRUE(parseHandSession("type " + longText.substr(1) + "\n").ok());
  std::string huge;
  while (huge.size() <= kMaxHandSessionBytes) huge += "wait 1\n";
  EXPECT_EQ(parseHandSession(huge).error, "the session is longer than 1 MiB");
}

// Decodes with libpng as RGB; empty on any failure.
std::vector<uint8_t> decodeRgb(const std::vector<uint8_t>& png, uint32_t& w, uint32_t& h) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return {};
  }
  w = image.width;
  h = image.height;
  return rgb;
}

TEST(PngWriter, PixelsComeBackAsRgbFromPaddedRowsAndImpossibleSizesAreRefused) {
  const uint32_t w = 300, h = 100;
  const size_t stride = w * 3 + 2;  // padded rows must not leak into the image
  std::vector<uint8_t> bgr(stride * h, 0xEE);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      bgr[y * stride + 3 * x] = static_cast<uint8_t>(x);      // blue
      bgr[y * stride + 3 * x + 1] = static_cast<uint8_t>(y);  // green
      bgr[y * stride + 3 * x + 2] = 7;                        // red
    }
  auto png = encodePng(w, h, bgr.data(), stride);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(0, memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
  EXPECT_LT(png.size(), w * 3 * h / 4);  // compressed, not stored
  uint32_t rw = 0, rh = 0;
  auto rgb = decodeRgb(png, rw, rh);
  EXPECT_EQ(rw, w);
  EXPECT_EQ(rh, h);
  ASSERT_EQ(rgb.size(), w * 3 * h);
  const uint8_t* px = &rgb[57 * w * 3 + 3 * 201];  // row 57, column 201
  EXPECT_EQ(px[0], 7);
  EXPECT_EQ(px[1], 57);
  EXPECT_EQ(px[2], 201);
  EXPECT_EQ(rgb.back(), static_cast<uint8_t>(w - 1));  // the last row is whole

  const uint8_t tiny[3] = {};
  EXPECT_TRUE(encodePng(0, 1, tiny, 3).empty());
  EXPECT_TRUE(encodePng(1, 1, nullptr, 3).empty());
  EXPECT_TRUE(encodePng(2, 1, tiny, 3).empty());  // stride shorter than a row
}

// What the host writes must be what plug-ins read back as the name.
TEST(HostUserInfo, PluginsReadBackTheNameEvenWithMarkupInIt) {
  EXPECT_EQ(userNameFromInfo(userInfoXml(1, "Ann")), "Ann");
  EXPECT_EQ(userNameFromInfo(userInfoXml(7, "Ben <&> \"Co\"")), "Ben <&> \"Co\"");
  EXPECT_EQ(userNameFromInfo(userInfoXml(2, "")), "");
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(HostArguments, RelayModeReadsEveryValueAndRefusesAnythingMalformed) {
  HostArguments a;
  std::string error;
  ASSERT_TRUE(parseHostArguments(
      words("--verify --server-address 127.0.0.1:7001,10.0.0.2:65535 --conference Room_1-a "
            "--token 00ff --token A0b1c2 --first-user 5 --record x.rec"),
      a, error))
      << error;
  EXPECT_TRUE(a.server && a.verify);
  EXPECT_EQ(a.relays, (std::vector<net::RelayAddress>{{"127.0.0.1", 7001}, {"10.0.0.2", 65535}}));
  EXPECT_EQ(a.conference, "Room_1-a");
  EXPECT_EQ(a.tokens, (std::vector<std::vector<uint8_t>>{{0x00, 0xFF}, {0xA0, 0xB1, 0xC2}}));
  EXPECT_EQ(a.participants, 2);
  EXPECT_EQ(a.firstUser, 5u);
  EXPECT_EQ(a.record, "x.rec");

  const std::string relay = "--server-address 127.0.0.1:7001 --conference c ";
  for (const char* line : {
           "--participants 5", "--participants 2x", "--participants", "--bogus", "--script",
           "--conference c --token 00",  // relay options without a relay
           "--first-user 3", "--server-address 127.0.0.1 --conference c --token 00",
           "--server-address 127.0.0.1:7001, --conference c --token 00",
           "--server-address localhost:7001 --conference c --token 00",
           "--server-address 127.0.0.1:0 --conference c --token 00",
           "--server-address 127.0.0.1:7001 --token 00",  // no conference
       })
    EXPECT_FALSE(parseHostArguments(words(line), a, error)) << line;
  for (const char* rest : {
           "--token 0",  // odd hex
           "--token 0g",
           "--token -1",
           "--token 00 --participants 2",  // one token short
           "--token 00 --first-user 0",
           "--token 00 --first-user 2147483647",
           "--token 00 --first-user -1",
           "--token 00 --conference d",
       })
    EXPECT_FALSE(parseHostArguments(words(relay + rest), a, error)) << rest;
  EXPECT_FALSE(parseHostArguments(
      words("--server-address 127.0.0.1:1 --conference " + std::string(65, 'a') + " --token 00"), a,
      error));
  EXPECT_FALSE(parseHostArguments(words(relay + "--token " + std::string(2050, 'a')), a, error));
  EXPECT_FALSE(parseHostArguments(words("--server-address 127.0.0.1:1 --conference a.b --token 00"),
                                  a, error));
}

}  // namespace
}  // namespace scribly
