#include "platform/FixedText.h"

#include <QByteArray>
#include <QStringDecoder>
#include <cstring>

namespace platform {

void textToField(char* field, std::size_t n, const QString& text) {
  if (n == 0) return;
  std::memset(field, 0, n);
  const QByteArray utf8 = text.toUtf8();
  std::size_t len = std::min<std::size_t>(static_cast<std::size_t>(utf8.size()), n - 1);
  // Step back over continuation bytes so a code point is never split.
  if (len < static_cast<std::size_t>(utf8.size())) {
    while (len > 0 && (static_cast<unsigned char>(utf8[static_cast<qsizetype>(len)]) & 0xC0) == 0x80) --len;
  }
  std::memcpy(field, utf8.constData(), len);
}

QString textFromField(const char* field, std::size_t n) {
  const void* nul = std::memchr(field, 0, n);
  const std::size_t len = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : n;
  // A leading U+FEFF is part of the text, not a byte-order mark: keep it (QString::fromUtf8 drops it).
  QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
  return decoder.decode(QByteArrayView(field, static_cast<qsizetype>(len)));
}

}  // namespace platform
