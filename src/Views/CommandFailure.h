#pragma once
// What the user is told when the scanner did not do what was asked (CommandOutcome.h): the
// pending device condition by name when it is one the device window knows (paper jam, open
// cover, ...), the scanner's error code otherwise, or that its answer was incomplete.

#include <QString>
#include <cstdint>
#include <optional>

#include "IO/CommandOutcome.h"

// The name of a device condition reported in dwLastErr (the device window's status texts), or
// nothing for a code that is not one of them.
std::optional<QString> deviceConditionText(uint32_t dwLastErr);

// The sentence that explains `outcome`: empty for Accepted and Failed (the alert's own text says
// it all), the condition or the code for Refused, the incomplete answer for ShortStatus.
QString outcomeText(const CommandOutcome& outcome);

// `information`, followed by outcomeText(outcome) on a line of its own when there is one.
QString withOutcome(const QString& information, const CommandOutcome& outcome);
