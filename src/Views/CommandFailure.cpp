#include "Views/CommandFailure.h"

#include "platform/Localizer.h"

using platform::Localizer;

namespace {
QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }
}  // namespace

std::optional<QString> deviceConditionText(uint32_t dwLastErr) {
  switch (dwLastErr) {
    case FCLE_MISFEED: return text("IDS_DD_MISFEED");
    case FCLE_PAPER_JAM:
    case FCLE_PAPER_JAM_2: return text("IDS_DD_PAPER_JAM");
    case FCLE_MULTI_FEED: return text("IDS_DD_MULTI_FEED");
    case FCLE_HATCH_OPEN: return text("IDS_DD_HATCH_OPEN");
    case FCLE_SCAN_CANCELLED:
    case FCLE_SCAN_CANCELLED_2: return text("IDS_DD_SCAN_CANCELLED");
    default: return std::nullopt;
  }
}

QString outcomeText(const CommandOutcome& outcome) {
  switch (outcome.kind) {
    case CommandOutcome::Kind::Accepted:
    case CommandOutcome::Kind::Failed: return QString();
    case CommandOutcome::Kind::ShortStatus: return text("IDS_CM_SHORT_STATUS");
    case CommandOutcome::Kind::Refused:
      if (const auto condition = deviceConditionText(outcome.deviceError)) {
        return platform::formatText(text("IDS_CM_DEVICE_CONDITION"), {*condition});
      }
      return platform::formatText(text("IDS_CM_DEVICE_ERROR_CODE"),
                                  {QStringLiteral("0x") + QStringLiteral("%1").arg(outcome.deviceError, 4, 16, QLatin1Char('0')).toUpper()});
  }
  return QString();
}

QString withOutcome(const QString& information, const CommandOutcome& outcome) {
  const QString extra = outcomeText(outcome);
  if (extra.isEmpty()) return information;
  if (information.isEmpty()) return extra;
  return information + QLatin1Char('\n') + extra;
}

QString deviceStatusText(const FCL_DEVICE_STATUS& status) {
  if (const auto condition = deviceConditionText(status.dwLastErr)) return *condition;
  switch (status.wFWInfo) {
    case FCL_FWINFO_READY: return text("IDS_DD_READY");
    case FCL_FWINFO_INITIALIZING: return text("IDS_DD_INITIALIZE");
    case FCL_FWINFO_PROCESSING:
    case FCL_FWINFO_PROCESSING_2: return text("IDS_DD_PROCESSING");
    case FCL_FWINFO_LOCKED: return text("IDS_DD_BUSY");
    case FCL_FWINFO_SLEEP: return text("IDS_DD_SLEEP");
    case FCL_FWINFO_UPDATE: return text("IDS_DD_UPDATE");
    case FCL_FWINFO_AUTO_START_SCAN: return text("IDS_DD_AUTO_START_SCAN");
    default: return text("IDS_DD_UNKNOWN_ERROR");
  }
}

QString statusConditionText(const FCL_DEVICE_STATUS& status) {
  if (status.dwLastErr != 0 && !deviceConditionText(status.dwLastErr)) {
    return outcomeText(CommandOutcome::refused(status.dwLastErr));
  }
  return platform::formatText(text("IDS_CM_DEVICE_STATE"), {deviceStatusText(status)});
}

HoldStatus judgeHoldStatus(const CommandOutcome& inquiry, const FCL_DEVICE_STATUS& status, uint16_t expectedFWInfo) {
  if (inquiry.noAnswer()) return HoldStatus::NoAnswer;
  if (status.dwLastErr != 0) return HoldStatus::NotReady;
  if (status.wFWInfo == expectedFWInfo) return HoldStatus::Held;
  if (expectedFWInfo == FCL_FWINFO_LOCKED && status.wFWInfo == FCL_FWINFO_READY) return HoldStatus::ReservationGone;
  return HoldStatus::NotReady;
}
