#pragma once
// The program's one utility object: modal alerts, the masked debug log, text cleaning and
// validation, and the password check.
//
// Debug levels (bits of the mask and of the level argument):
//   0x01 discovery and connection, 0x02 errors, 0x20 command-layer trace, 0x40 page trace.
// The mask starts at 0; a line is written to the system log when (level & mask) != 0.
//
// debugMsg formats printf-style (see platform::formatText) only when the line will be written:
// with its level masked off the arguments are not even converted. Arguments are turned into
// values by toLogArg(), which an argument type may overload (found by argument-dependent lookup).

#include <QString>
#include <QVariant>
#include <atomic>
#include <cstdint>
#include <type_traits>

#include "platform/Localizer.h"

// The conversions of debugMsg's arguments.
inline QVariant toLogArg(const QString& s) { return s; }
inline QVariant toLogArg(const char* s) { return QString::fromUtf8(s); }
inline QVariant toLogArg(const std::string& s) { return QString::fromStdString(s); }
template <typename T, std::enable_if_t<std::is_arithmetic_v<T> || std::is_enum_v<T>, int> = 0>
QVariant toLogArg(T v) {
  if constexpr (std::is_enum_v<T>) return QVariant::fromValue(static_cast<long long>(v));
  else if constexpr (std::is_floating_point_v<T>) return QVariant(static_cast<double>(v));
  else if constexpr (std::is_signed_v<T>) return QVariant(static_cast<long long>(v));
  else return QVariant(static_cast<unsigned long long>(v));
}

class Utilities {
 public:
  // The process's instance, created on first use (thread-safe), never destroyed.
  static Utilities& sharedInstance();

  int32_t nDebugMask() const { return m_nDebugMask.load(std::memory_order_relaxed); }
  void setDebugMask(int32_t mask) { m_nDebugMask.store(mask, std::memory_order_relaxed); }

  // An alert with OK (first, default) and, when hasCancel, Cancel. YES when OK ended it; an
  // OK-only alert always answers YES.
  // Both alerts may be asked for from any thread: they are shown on the GUI thread
  // (platform::onMainThread) and the calling thread waits for the answer.
  bool message(const QString& message, const QString& information, bool hasCancel);
  // The import/export choice: Cancel (first, default) and Start, with the "address book only"
  // check box. 0 cancelled (whatever the box shows), 1 start, 2 start with the box on.
  uint32_t messageImportExport(const QString& message, const QString& information);

  template <typename... Args>
  void debugMsg(int32_t level, const QString& format, const Args&... args) {
    if ((level & nDebugMask()) == 0) return;
    debugMsg2(level, platform::formatText(format, {toLogArg(args)...}));
  }
  // Writes `text` as it is.
  void debugMsg2(int32_t level, const QString& text);

  static QString stripRemoveSpecialWordFrom(const QString& text);  // without "&", ">" and "<"
  static QString stripRemovePointFrom(const QString& text);        // without "."

  static bool validateNodeName(const QString& text);
  static bool validateEmail(const QString& text);
  static bool validateFileName(const QString& text);
  static bool validateDigitNum(const QString& text);
  static bool validateInitNum(const QString& text);
  // Letters, digits, ".", "-", "/" and a backslash only (a server address or host name).
  static bool validateHostAddr(const QString& text);

  // YES when the password is acceptable; otherwise shows its own alert and answers NO. In order:
  // an empty password, an empty confirmation (each IDS_CANNOT_EMPTY_ERR_MSG), a password shorter
  // than `atLeast` (IDS_PI_TOO_SHORT_MSG, naming the minimum), a mismatch (IDS_PI_ERROR_MSG).
  bool checkPassword(const QString& password, const QString& confirm, int32_t atLeast);

  Utilities(const Utilities&) = delete;
  Utilities& operator=(const Utilities&) = delete;

 private:
  Utilities() = default;
  // Read from any thread (the device window's status reads log from theirs).
  std::atomic<int32_t> m_nDebugMask{0};
};
