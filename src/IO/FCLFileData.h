#pragma once
// The settings export files.
//
// All settings ("bin"): FCL_RS_FILE_DATA, 159840 bytes. Address book alone ("addr"): the 40-byte
// signature followed by the 114036-byte FCL_RS_ADDRESS_BOOK, 114076 bytes. Both are raw images
// of the scanner's records behind a signature that names the model and the kind of file (the
// 36-character text, then 4 NUL bytes, compared over all 40 bytes); there is no checksum and no
// version field.

#include <QString>
#include <cstddef>
#include <cstdint>

#include "IO/FCLRecords.h"

struct FCL_RS_FILE_DATA {
  char szIdentificator[40];        // the signature
  FCL_RS_PARAM_ALL paramAll;       // the settings block as read from the scanner
  FCL_RS_PROFILE_ALL profileAll;   // the 25 scan profiles
  FCL_RS_ADDRESS_BOOK addressBook; // every dwIsInShortcut 0
  FCL_LAMP_STATE lampState;        // as getLampState fills it (the two other words 0)
  char szDestFolder[260];          // "Location" of the driver's preference file, UTF-8, NUL-padded
  uint8_t bShowFolder;             // 1 when "IsOpen" is "1"
  uint8_t byPadding[3];
};
static_assert(sizeof(FCL_RS_FILE_DATA) == 159840);
static_assert(alignof(FCL_RS_FILE_DATA) == 8);
static_assert(offsetof(FCL_RS_FILE_DATA, szIdentificator) == 0);
static_assert(offsetof(FCL_RS_FILE_DATA, paramAll) == 40);
static_assert(offsetof(FCL_RS_FILE_DATA, profileAll) == 2624);
static_assert(offsetof(FCL_RS_FILE_DATA, addressBook) == 45524);
static_assert(offsetof(FCL_RS_FILE_DATA, lampState) == 159560);
static_assert(offsetof(FCL_RS_FILE_DATA, szDestFolder) == 159576);
static_assert(offsetof(FCL_RS_FILE_DATA, bShowFolder) == 159836);
static_assert(offsetof(FCL_RS_FILE_DATA, byPadding) == 159837);

constexpr std::size_t FCL_SIGNATURE_SIZE = 40;
constexpr std::size_t FCL_ADDRESS_FILE_SIZE = FCL_SIGNATURE_SIZE + sizeof(FCL_RS_ADDRESS_BOOK);
static_assert(FCL_ADDRESS_FILE_SIZE == 114076);

// The signature texts.
inline constexpr char kSignatureBntAllSettings[] = "E99B6D88-E38C-4368-B542-A49A6063E71D";
inline constexpr char kSignatureBntAddressBook[] = "71F16288-7413-475E-964C-5D7070B59EAD";
inline constexpr char kSignatureB[] = "0F9B476E-C652-4EC8-AFDC-397A417B4A9A";

// The signature for a file: the USB-only model has one for both kinds; the network model one for
// the address-book file and one for the all-settings file.
const char* exportSignature(bool onlyAddress, bool isBNT);
// The 40 signature bytes: the text, then NULs.
void putSignature(char (&field)[40], const char* signature);
bool hasSignature(const char* first40, const char* signature);

// The driver's per-device preference file, under the home folder:
//   USB-only model:          ~/Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist
//   network model over USB:  ~/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W/Setting_RemoteSetup.plist
//   network model over LAN:  ~/Library/Preferences/QMX-7315W/<twainName>/Setting_RemoteSetup.plist
// Empty (no preference file) over LAN when the TWAIN name is empty, ".", ".." or holds a "/".
QString preferenceFilePath(const QString& twainName, bool isBNT, bool isUSB);
