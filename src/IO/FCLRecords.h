#pragma once
// Every record the scanner exchanges with this system, and the few helpers that build or read
// the records whose content this system makes itself.
//
//   FCLCommand.h   command block, status block, opcodes
//   FCLSettings.h  the settings block FCL_RS_PARAM_ALL and its sub-records
//   FCLDevice.h    address book, profiles, lamp, capabilities, counters, factory defaults,
//                  SFTP key entry, PC clock, lock text
//   FCLCodes.h     command classes and qualifiers
//
// Text in char[n] fields goes through platform::textToField / platform::textFromField.

#include <cstdint>

#include "IO/FCLCommand.h"
#include "IO/FCLDevice.h"
#include "IO/FCLSettings.h"

class QDateTime;
class QString;
class QUuid;

// ---- Structure version -------------------------------------------------------------------------
// "major.minor" in decimal ("%u.%u" of the high and low 16 bits): 57 gives "0.57".
QString structVersionText(uint32_t dwStructVersion);

// ---- PC clock ----------------------------------------------------------------------------------
// The record for the given date and time as it reads in its own time zone (its date, time, UTC
// offset and daylight-saving state); padding and tm_zone are 0. An invalid date-time gives an
// all-zero record.
FCL_PC_TIME makePCTime(const QDateTime& dateTime);
// The record for this computer's local time now.
FCL_PC_TIME currentPCTime();

// ---- Lock text ---------------------------------------------------------------------------------
// The UUID's text as the lock uses it: 36 characters, upper-case hexadecimal, without braces.
QString lockUuidText(const QUuid& uuid);
// The lock text for a UUID's 36-character text: those characters, then NULs to 40 bytes. A longer
// text is cut so that the last byte stays NUL.
FCL_LOCK_TEXT makeLockText(const QString& uuidText);
FCL_LOCK_TEXT makeLockText(const QUuid& uuid);
// True when the two hold the same NUL-terminated text of at most 40 bytes; bytes after a NUL do
// not count, and a text without NUL is compared over all 40 bytes and no further.
bool sameLockText(const FCL_LOCK_TEXT& a, const FCL_LOCK_TEXT& b);
