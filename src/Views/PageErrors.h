#pragma once
// The page error codes a page's isDataError answers, and the alerts the main window shows for
// them. All alerts are Utilities::message with OK only.
//
//   code  meaning                              alert message / information
//   0     no error                             none
//   1     a required field is empty            IDS_CANNOT_EMPTY_ERR_MSG filled with the label of
//                                              the empty field (twice) / empty
//   2     out of range or malformed            IDS_CM_ERROR / IDS_OUT_OF_RANGE_ERR_MSG filled with
//                                              the label of the field and its range
//   3     malformed mail address               IDS_CM_ERROR / IDS_MAIL_FORMAT_ERR_MSG
//   4     a folder does not exist (no page     IDS_CM_ERROR / IDS_FOLDER_NOT_EXITS_MSG
//         answers it today)
//   5     the node name is empty (no page      IDS_CANNOT_EMPTY_ERR_MSG filled with the text of
//         answers it today: the LAN pages      IDS_N_NODE_NAME twice / empty
//         show the node name, not edit it)
//   999   the page already showed its alert    none
//
// For codes 1 and 2 the page reports which field it refused (PageController::failedField); the
// alert names that field. Any code not in the table counts as no error.

#include <QString>
#include <cstdint>

enum PageError : int32_t {
  kPageErrorNone = 0,
  kPageErrorEmpty = 1,
  kPageErrorOutOfRange = 2,
  kPageErrorMailFormat = 3,
  kPageErrorNoFolder = 4,
  kPageErrorEmptyNodeName = 5,
  kPageErrorShown = 999,
};

// The field a page refused: its label as the page shows it, without the colon, and the values it
// takes as rangeText writes them (empty for an empty field).
struct FailedField {
  QString label;
  QString range;
};

// Shows the alert of `code` (none for 0, 999 and unknown codes) and answers whether the code
// counts as an error (1 to 5 and 999). `field` names the field of codes 1 and 2; without a label,
// code 1 names the sleep time.
bool checkDataError(int32_t code, const FailedField& field = {});

// The alert texts that name a field, for the pages' and editors' own alerts too.
//   emptyFieldText: IDS_CANNOT_EMPTY_ERR_MSG filled with `label`.
//   outOfRangeText: IDS_OUT_OF_RANGE_ERR_MSG filled with the label and range of `field`.
QString emptyFieldText(const QString& label);
QString outOfRangeText(const FailedField& field);

// A range as every text writes it: "5–90" (an en dash), and with a negative bound
// "−2.0 to 2.0" (a minus sign, "to").
QString rangeText(const QString& low, const QString& high);
QString rangeText(int64_t low, int64_t high);
