#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mpris/DesktopEntry.h"
#include "mpris/ExecLine.h"

namespace tonvara::mpris {
namespace {

using ::testing::ElementsAre;
using Arguments = std::vector<std::string>;

const ExecFields kFields{"multimedia-player", "Music Player", "/apps/player.desktop"};

std::optional<Arguments> parse(std::string_view exec) { return parseExecLine(exec, kFields); }

TEST(ExecLineTest, SplitsWordsAndHonoursQuoting) {
  EXPECT_THAT(parse("player  --flag\tvalue"),
              ::testing::Optional(ElementsAre("player", "--flag", "value")));
  EXPECT_THAT(parse(R"(player "two words" "")"),
              ::testing::Optional(ElementsAre("player", "two words", "")));
  EXPECT_THAT(parse(R"(player "a\"b" "c\\d" "\$HOME" "\`x\`")"),
              ::testing::Optional(ElementsAre("player", "a\"b", "c\\d", "$HOME", "`x`")));
  // Quoted parts join the word around them, and reserved characters are plain text inside.
  EXPECT_THAT(parse(R"(player --title="a|b;c" "x"y)"),
              ::testing::Optional(ElementsAre("player", "--title=a|b;c", "xy")));
}

TEST(ExecLineTest, FillsInFieldCodesForALaunchWithoutFiles) {
  EXPECT_THAT(parse("player %f %F %u %U --open=%f"),
              ::testing::Optional(ElementsAre("player", "--open=")));
  EXPECT_THAT(parse("player %i %c %k 100%%"),
              ::testing::Optional(ElementsAre("player", "--icon", "multimedia-player",
                                              "Music Player", "/apps/player.desktop", "100%")));
  EXPECT_THAT(parse("player %d %D %n %N %v %m"), ::testing::Optional(ElementsAre("player")));
  EXPECT_THAT(parseExecLine("player %i", {}), ::testing::Optional(ElementsAre("player")));
  // Inside quotes a field code is plain text.
  EXPECT_THAT(parse(R"(player "%u")"), ::testing::Optional(ElementsAre("player", "%u")));
}

TEST(ExecLineTest, RefusesLinesThatWouldNeedAShell) {
  for (const char* line :
       {"player > log", "player | tee", "player & ", "player; rm x", "player $HOME", "player *.mp3",
        "player a?", "player #x", "player (x)", "player `id`", "player ~/x", "player 'quoted'",
        "player a\\ b", "player <in"}) {
    EXPECT_EQ(parse(line), std::nullopt) << line;
  }
}

TEST(ExecLineTest, RefusesMalformedLines) {
  for (const char* line :
       {R"(player "open)", R"(player "a\qb")", R"(player "$HOME")", R"(player "`id`")", "player %z",
        "player 100%", "", "   ", "%f %U", "VAR=1 player", R"("" --flag)"}) {
    EXPECT_EQ(parse(line), std::nullopt) << line;
  }
}

TEST(ExecLineTest, StringEscapesOfTheFileComeBeforeQuoting) {
  // In the file a quoted backslash takes four, and a quoted dollar "\\$".
  const auto entry = DesktopEntry::parse(
      "[Desktop Entry]\nType=Application\nExec=player \"a\\\\\\\\b\" \"\\\\$HOME\"\\s%U\n",
      "player.desktop", "/apps/player.desktop");
  ASSERT_TRUE(entry.has_value());
  EXPECT_THAT(parse(entry->exec), ::testing::Optional(ElementsAre("player", "a\\b", "$HOME")));
}

}  // namespace
}  // namespace tonvara::mpris
