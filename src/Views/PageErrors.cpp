#include "Views/PageErrors.h"

#include "Model/Utilities.h"
#include "platform/Localizer.h"

namespace {

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

void showEmptyField(const QString& label) {
  Utilities::sharedInstance().message(emptyFieldText(label), QString(), false);
}

void showError(const QString& information) {
  Utilities::sharedInstance().message(text("IDS_CM_ERROR"), information, false);
}

}  // namespace

QString emptyFieldText(const QString& label) {
  return platform::formatText(text("IDS_CANNOT_EMPTY_ERR_MSG"), {label, label});
}

QString outOfRangeText(const FailedField& field) {
  return platform::formatText(text("IDS_OUT_OF_RANGE_ERR_MSG"), {field.label, field.range});
}

QString rangeText(const QString& low, const QString& high) {
  if (low.startsWith(u'-')) return QChar(0x2212) + low.mid(1) + QStringLiteral(" to ") + high;
  return low + QChar(0x2013) + high;
}

QString rangeText(int64_t low, int64_t high) { return rangeText(QString::number(low), QString::number(high)); }

bool checkDataError(int32_t code, const FailedField& field) {
  switch (code) {
    case kPageErrorEmpty: showEmptyField(field.label.isEmpty() ? text("IDS_GS_SLEEP_TIME") : field.label); return true;
    case kPageErrorOutOfRange: showError(outOfRangeText(field)); return true;
    case kPageErrorMailFormat: showError(text("IDS_MAIL_FORMAT_ERR_MSG")); return true;
    case kPageErrorNoFolder: showError(text("IDS_FOLDER_NOT_EXITS_MSG")); return true;
    case kPageErrorEmptyNodeName: showEmptyField(text("IDS_N_NODE_NAME")); return true;
    case kPageErrorShown: return true;
    default: return false;
  }
}
