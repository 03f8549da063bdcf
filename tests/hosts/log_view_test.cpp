#include "hosts/log_view.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/close_question.hpp"

namespace talvero {
namespace {

std::vector<std::string> LinesOf(const LogView& view) {
  return {view.Lines().begin(), view.Lines().end()};
}

TEST(LogView, ASeparatedLineBringsItsEmptyLine) {
  LogView view;
  view.Append("a", false);
  view.Append("b", true);
  EXPECT_EQ(LinesOf(view), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(view.EndIndex(), 3u);
}

TEST(LogView, TheTickClearsAViewOfMoreThan1000LinesOnly) {
  LogView view;
  for (int i = 0; i < 1000; ++i) {
    view.Append("line", false);
  }
  EXPECT_FALSE(view.AutoClear());
  EXPECT_EQ(view.Lines().size(), 1000u);

  view.Append("one more", false);
  EXPECT_TRUE(view.AutoClear());
  EXPECT_EQ(LinesOf(view), std::vector<std::string>{" Automatically cleared ..\r\n"});
  EXPECT_EQ(view.FirstIndex(), 1001u);
  EXPECT_EQ(view.EndIndex(), 1002u);
}

TEST(LogView, KeepsTheNewestLinesWhenItIsFull) {
  LogView view;
  for (size_t i = 0; i < LogView::kMaxLines + 5; ++i) {
    view.Append(std::to_string(i), false);
  }
  EXPECT_EQ(view.Lines().size(), LogView::kMaxLines);
  EXPECT_EQ(view.Lines().front(), "5");
  EXPECT_EQ(view.FirstIndex(), 5u);
  EXPECT_EQ(view.EndIndex(), LogView::kMaxLines + 5);
}

TEST(CloseQuestion, CountsEveryQueuedLineUnlessALoneHeartbeatIsAll) {
  const std::string heartbeat(kHeartbeatLine);
  EXPECT_EQ(CloseQuestion({}), "Close application?");
  EXPECT_EQ(CloseQuestion({heartbeat}), "Close application?");
  const std::string twoUnsent =
      "There are 2 unsent messages in Internal Buffer.\r\nIf you close this application, unsent "
      "messages will be lost.\r\nDo you still want to close the application?";
  EXPECT_EQ(CloseQuestion({"5077 181234E13001005", heartbeat}), twoUnsent);
  EXPECT_EQ(CloseQuestion({heartbeat, heartbeat}), twoUnsent);
}

}  // namespace
}  // namespace talvero
