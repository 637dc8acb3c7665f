// The number and text helpers and the typing validators: everything a settings page runs on
// what the user typed or pasted, and the text in and out of the records' character fields.
//
// Input: one byte that picks how the rest becomes text (UTF-8, or raw UTF-16 units, which can
// hold lone surrogates), then the text.
//
// Checks: the number readings agree with Qt's own C-locale reading wherever the text is one
// decimal number; the typing filters keep a prefix that is a number (or nothing), and only
// digits; the range check accepts only digits whose value lies in the range; text put into a
// field of n bytes uses at most n-1 of them, ends in NUL, and reads back as a prefix of the text
// that ends on a whole character.
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <vector>

#include "Model/Utilities.h"
#include "Views/ScanOptionEditor.h"
#include "platform/FixedText.h"
#include "platform/NumberText.h"
#include "support/FuzzSupport.h"

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }

QString withoutBlanks(const QString& t) {
  qsizetype b = 0, e = t.size();
  while (b < e && isBlank(t[b])) ++b;
  while (e > b && isBlank(t[e - 1])) --e;
  return t.mid(b, e - b);
}

bool allAsciiDigits(const QString& t) {
  for (QChar c : t)
    if (c < u'0' || c > u'9') return false;
  return true;
}

bool validUtf16(const QString& t) {
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t[i].isHighSurrogate()) {
      if (i + 1 >= t.size() || !t[i + 1].isLowSurrogate()) return false;
      ++i;
    } else if (t[i].isLowSurrogate()) {
      return false;
    }
  }
  return true;
}

void numbers(const QString& t) {
  const double d = platform::doubleValue(t);
  const float f = platform::floatValue(t);
  if (std::isfinite(d) && std::fabs(d) <= 3.4028234663852886e38) FUZZ_CHECK(f == static_cast<float>(d));
  platform::intValue(t);

  if (platform::isDecimalNumber(t)) {
    bool ok = false;
    const double qt = QLocale::c().toDouble(withoutBlanks(t), &ok);
    if (ok) FUZZ_CHECK(qt == d);
  }
  // A sign and at most nine digits: no saturation can play a part.
  static const QRegularExpression small(QStringLiteral("^[+-]?[0-9]{1,9}$"));
  if (small.match(t).hasMatch()) FUZZ_CHECK(platform::intValue(t) == t.toInt());

  const QString filtered = platform::numericStringFromString(t);
  FUZZ_CHECK(t.startsWith(filtered));
  FUZZ_CHECK(filtered.isEmpty() || platform::isDecimalNumber(filtered));
  const QString option = ScanOptionEditor::numericStringFromString(t);
  FUZZ_CHECK(t.startsWith(option));
  FUZZ_CHECK(option.isEmpty() || option == QStringLiteral("-") || ScanOptionEditor::stringIsNumber(option));

  const QString digits = platform::digitsOnly(t);
  FUZZ_CHECK(allAsciiDigits(digits));
  FUZZ_CHECK(digits.size() <= t.size());

  for (const auto& [min, max] : {std::pair{0, 255}, std::pair{1, 65535}, std::pair{5, 90}}) {
    if (platform::isDigitsInRange(t, min, max)) {
      FUZZ_CHECK(!t.isEmpty() && allAsciiDigits(t));
      bool ok = false;
      const qulonglong v = t.toULongLong(&ok);
      if (ok) FUZZ_CHECK(v >= qulonglong(min) && v <= qulonglong(max));
    }
  }
}

void field(const QString& t) {
  for (const std::size_t n : {std::size_t(1), std::size_t(2), std::size_t(9), std::size_t(40), std::size_t(256)}) {
    std::vector<char> buffer(n + 1, '\x7f');  // one guard byte past the field
    platform::textToField(buffer.data(), n, t);
    FUZZ_CHECK(buffer[n] == '\x7f');
    FUZZ_CHECK(buffer[n - 1] == '\0');
    const QString back = platform::textFromField(buffer.data(), n);
    if (validUtf16(t) && !t.contains(QChar(0))) {
      // A prefix of the text, cut between whole characters.
      FUZZ_CHECK(t.startsWith(back));
      FUZZ_CHECK(validUtf16(back));
      FUZZ_CHECK(back.toUtf8().size() <= qsizetype(n - 1));
      if (t.toUtf8().size() <= qsizetype(n - 1)) FUZZ_CHECK(back == t);
    }
  }
}

void validators(const QString& t) {
  Utilities::validateNodeName(t);
  Utilities::validateEmail(t);
  if (Utilities::validateFileName(t)) FUZZ_CHECK(!t.isEmpty() && t.toUtf8().size() == t.size());
  if (Utilities::validateDigitNum(t)) FUZZ_CHECK(t.size() == 1 && t[0] >= u'1' && t[0] <= u'6');
  if (Utilities::validateInitNum(t)) FUZZ_CHECK(allAsciiDigits(t) && t.toInt() <= 999999);
  if (Utilities::validateHostAddr(t)) FUZZ_CHECK(!t.isEmpty() && t.toUtf8().size() == t.size());
  const QString stripped = Utilities::stripRemoveSpecialWordFrom(t);
  FUZZ_CHECK(!stripped.contains(u'&') && !stripped.contains(u'<') && !stripped.contains(u'>'));
  FUZZ_CHECK(!Utilities::stripRemovePointFrom(t).contains(u'.'));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::initProcess(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes input(data, size);
  const uint8_t form = input.byte();
  const QByteArray bytes = input.rest();
  QString t;
  if (form & 1) {
    t.resize(bytes.size() / 2);
    std::memcpy(static_cast<void*>(t.data()), bytes.constData(), static_cast<std::size_t>(t.size()) * 2);
  } else {
    t = QString::fromUtf8(bytes);
  }
  numbers(t);
  field(t);
  validators(t);
  return 0;
}
