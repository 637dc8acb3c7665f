#pragma once
// What a new simulated scanner holds: the factory settings and the set-up a scanner in use would
// have (names, addresses, an e-mail server, contacts, scan profiles, SFTP keys, counters).
//
// Every network address in here is a documentation address (192.0.2.x, 198.51.100.x, example.com
// and example.org names, 00:00:5E:00:53:xx hardware addresses): the records carry them as data,
// nothing ever connects to them.
//
// The USB-only model has no network, e-mail, address book, profiles or keys: those records are
// zero there.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IO/FCLDevice.h"
#include "IO/FCLSettings.h"

namespace sim {

// Size of the simulated non-volatile memory; reads and writes beyond it are refused.
constexpr std::size_t kNvramSize = 512;

struct ScannerContent {
  FCL_RS_PARAM_ALL paramAll{};        // as set up in use
  FCL_RS_PARAM_ALL factoryParamAll{}; // what a factory reset restores
  FCL_RS_ADDRESS_BOOK addressBook{};
  FCL_RS_PROFILE_ALL profiles{};
  FCL_CAP_HALVERN capabilities{};
  FCL_RS_FACTORY_DEFSETTING factoryDefaults{};
  FCL_LAMP_STATE lamp{};              // both lamp reads answer this record
  uint8_t language = 0;
  std::vector<uint8_t> nvram;         // kNvramSize bytes
  std::vector<std::string> clientKeys;
  std::vector<std::string> serverKeys;
};

// The serial number of a new scanner (its vendor string, NVRAM 104).
const char* factorySerial(bool networkModel);

// The content of a new scanner; `networkModel` false gives the USB-only model's.
std::unique_ptr<ScannerContent> makeScannerContent(bool networkModel);

// The SFTP key list as the scanner sends it: one 72-byte entry per name, the name cut to 71 bytes
// and NUL-filled.
std::vector<uint8_t> sftpKeyListBytes(const std::vector<std::string>& names);

}  // namespace sim
