// The pages' shared trace lines: the bracket run and the end line's tail are the page's own.
#include <gtest/gtest.h>

#include "Model/Utilities.h"
#include "Views/PageTrace.h"
#include "support/LogCapture.h"

TEST(PageTrace, LinesOfEachBracketRunAndTail) {
  Utilities& ut = Utilities::sharedInstance();
  const int32_t previous = ut.nDebugMask();
  ut.setDebugMask(0x42);
  struct Case {
    PageTrace trace;
    const char* enter;
    const char* end;
  };
  const Case cases[] = {
      {PageTrace(), ">>>>>>>>> -[Page op:] ENTER", "<<<<<<<<< -[Page op:] END \n  "},
      {PageTrace(7), ">>>>>>> -[Page op:] ENTER", "<<<<<<< -[Page op:] END \n  "},
      {PageTrace(7, QStringLiteral("\n ")), ">>>>>>> -[Page op:] ENTER", "<<<<<<< -[Page op:] END \n "},
  };
  const QString name = PageTrace::operationName("Page", "op:");
  for (const Case& c : cases) {
    LogCapture log;
    c.trace.enter(name);
    c.trace.end(name);
    c.trace.err(name, QStringLiteral("it failed"));
    EXPECT_EQ(log.lines(), QStringList({QString::fromLatin1(c.enter), QString::fromLatin1(c.end),
                                        QStringLiteral("========= -[Page op:] ERROR: it failed\n")}));
  }
  // Below the mask, nothing is written.
  ut.setDebugMask(0);
  LogCapture quiet;
  PageTrace().enter(name);
  PageTrace().err(name, QStringLiteral("x"));
  EXPECT_TRUE(quiet.lines().isEmpty());
  ut.setDebugMask(previous);
}
