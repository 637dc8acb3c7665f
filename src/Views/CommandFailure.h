#pragma once
// What the user is told when the scanner did not do what was asked (CommandOutcome.h): the
// pending device condition by name when it is one the device window knows (paper jam, open
// cover, ...), the scanner's error code otherwise, or that its answer was incomplete.

#include <QString>
#include <cstdint>
#include <optional>

#include "IO/CommandOutcome.h"
#include "IO/FCLCommand.h"

// The name of a device condition reported in dwLastErr (the device window's status texts), or
// nothing for a code that is not one of them.
std::optional<QString> deviceConditionText(uint32_t dwLastErr);

// The sentence that explains `outcome`: empty for Accepted and Failed (the alert's own text says
// it all), the condition or the code for Refused, the incomplete answer for ShortStatus.
QString outcomeText(const CommandOutcome& outcome);

// `information`, followed by outcomeText(outcome) on a line of its own when there is one.
QString withOutcome(const QString& information, const CommandOutcome& outcome);

// The device window's text for a status block: the pending condition by name, otherwise the
// state wFWInfo reports (ready, asleep, busy, ...).
QString deviceStatusText(const FCL_DEVICE_STATUS& status);

// The sentence that names what a status block reports: the named condition or the state, or
// the scanner's error code when dwLastErr is one without a name.
QString statusConditionText(const FCL_DEVICE_STATUS& status);

// What the status inquiry before a write says about the scanner this computer holds.
enum class HoldStatus : uint8_t {
  Held,             // a whole answer, no pending condition, wFWInfo as expected
  NoAnswer,         // no answer, or a status block shorter than 32 bytes
  ReservationGone,  // the answer says ready where this computer's reservation gives
                    // FCL_FWINFO_LOCKED: the scanner was restarted, or the lock was given up
  NotReady,         // any other answer than the expected one (a pending condition, another state)
};
// Judges the inquiry (`inquiry` its verdict, `status` the block it brought) against the wFWInfo
// this computer expects (FCL_FWINFO_READY or FCL_FWINFO_LOCKED).
HoldStatus judgeHoldStatus(const CommandOutcome& inquiry, const FCL_DEVICE_STATUS& status, uint16_t expectedFWInfo);
