#include "Views/PageErrors.h"

#include "Model/Utilities.h"
#include "platform/Localizer.h"

namespace {

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

void showEmptyField(const char* fieldKey) {
  const QString field = text(fieldKey);
  Utilities::sharedInstance().message(platform::formatText(text("IDS_CANNOT_EMPTY_ERR_MSG"), {field, field}),
                                      QString(), false);
}

void showError(const char* informationKey) {
  Utilities::sharedInstance().message(text("IDS_CM_ERROR"), text(informationKey), false);
}

}  // namespace

bool checkDataError(int32_t code) {
  switch (code) {
    case kPageErrorEmpty: showEmptyField("IDS_GS_SLEEP_TIME"); return true;
    case kPageErrorOutOfRange: showError("IDS_OUT_OF_RANGE_ERR_MSG"); return true;
    case kPageErrorMailFormat: showError("IDS_MAIL_FORMAT_ERR_MSG"); return true;
    case kPageErrorNoFolder: showError("IDS_FOLDER_NOT_EXITS_MSG"); return true;
    case kPageErrorEmptyNodeName: showEmptyField("IDS_N_NODE_NAME"); return true;
    case kPageErrorShown: return true;
    default: return false;
  }
}
