#pragma once
// The page error codes a page's isDataError answers, and the alerts the main window shows for
// them. All alerts are Utilities::message with OK only.
//
//   code  meaning                              alert message / information
//   0     no error                             none
//   1     a required field is empty            IDS_CANNOT_EMPTY_ERR_MSG filled with the text of
//                                              IDS_GS_SLEEP_TIME twice / empty
//   2     out of range or malformed            IDS_CM_ERROR / IDS_OUT_OF_RANGE_ERR_MSG
//   3     malformed mail address               IDS_CM_ERROR / IDS_MAIL_FORMAT_ERR_MSG
//   4     a folder does not exist (no page     IDS_CM_ERROR / IDS_FOLDER_NOT_EXITS_MSG
//         answers it today)
//   5     the node name is empty               IDS_CANNOT_EMPTY_ERR_MSG filled with the text of
//                                              IDS_N_NODE_NAME twice / empty
//   999   the page already showed its alert    none
//
// Code 1 always names the sleep-time field: the general setup page reports every empty field
// with it. Any code not in the table counts as no error.

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

// Shows the alert of `code` (none for 0, 999 and unknown codes) and answers whether the code
// counts as an error (1 to 5 and 999).
bool checkDataError(int32_t code);
