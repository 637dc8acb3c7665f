#include "IO/FCLRecords.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QUuid>
#include <cstring>

#include "platform/FixedText.h"

QString structVersionText(uint32_t dwStructVersion) {
  return QString::asprintf("%u.%u", fclStructVersionMajor(dwStructVersion),
                           fclStructVersionMinor(dwStructVersion));
}

// ---- PC clock ----------------------------------------------------------------------------------

FCL_PC_TIME makePCTime(const QDateTime& dateTime) {
  FCL_PC_TIME t;
  std::memset(&t, 0, sizeof t);  // padding and tm_zone travel as 0
  if (!dateTime.isValid()) return t;
  const QDate date = dateTime.date();
  const QTime time = dateTime.time();
  t.tm_sec = time.second();
  t.tm_min = time.minute();
  t.tm_hour = time.hour();
  t.tm_mday = date.day();
  t.tm_mon = date.month() - 1;
  t.tm_year = date.year() - 1900;
  t.tm_wday = date.dayOfWeek() % 7;  // Qt counts Monday 1 .. Sunday 7
  t.tm_yday = date.dayOfYear() - 1;
  t.tm_isdst = dateTime.isDaylightTime() ? 1 : 0;
  t.tm_gmtoff = dateTime.offsetFromUtc();
  return t;
}

FCL_PC_TIME currentPCTime() { return makePCTime(QDateTime::currentDateTime()); }

// ---- Lock text ---------------------------------------------------------------------------------

QString lockUuidText(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

FCL_LOCK_TEXT makeLockText(const QString& uuidText) {
  FCL_LOCK_TEXT lock;
  platform::textToField(lock.szUUID, uuidText);  // zero-fills the rest of the 40 bytes
  return lock;
}

FCL_LOCK_TEXT makeLockText(const QUuid& uuid) { return makeLockText(lockUuidText(uuid)); }

bool sameLockText(const FCL_LOCK_TEXT& a, const FCL_LOCK_TEXT& b) {
  return std::strncmp(a.szUUID, b.szUUID, sizeof a.szUUID) == 0;
}
