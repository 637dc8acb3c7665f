#pragma once
// The trace lines every settings page and editor writes through Utilities::debugMsg:
//
//   enter  level 0x40  "<run of '>'> %@ ENTER"          with the operation's full name
//   end    level 0x40  "<run of '<'> %@ END <tail>"     tail "\n  " unless the page says otherwise
//   err    level 0x02  "========= %@ ERROR: %@\n"      with the operation's name and an error text
//
// The pages differ only in the length of the bracket run (nine on most pages, seven on some) and,
// on one page, in the end line's tail; a page keeps its own funcEnter/funcEnd/funcErr as thin
// calls of one PageTrace, so its lines stay exactly as they were.
//
// operationName builds the full name the lines carry: "-[Class selector]".

#include <QString>

class Utilities;

class PageTrace {
 public:
  static constexpr int32_t kTraceLevel = 0x40;
  static constexpr int32_t kErrorLevel = 0x02;

  // `brackets` angle brackets open the enter and end lines; `endTail` follows "END ".
  explicit PageTrace(int brackets = 9, QString endTail = QStringLiteral("\n  "));

  void enter(const QString& name) const;
  void end(const QString& name) const;
  void err(const QString& name, const QString& message) const;

  static QString operationName(const char* className, const char* selector);

 private:
  Utilities& ut;
  QString m_enterFormat;
  QString m_endFormat;
};
