#pragma once
// What the main window holds for its pages: its copies of the scanner's records, its command
// layer, the SFTP key names and the device texts. The main window owns one of these for its
// life; a page sees it only during a call of the page contract (PageController.h) and keeps
// copies of what it needs, never a pointer into it.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "IO/FCLRecords.h"

class IOWrapper;

struct MainWindowState {
  FCL_RS_PARAM_ALL sParamAll{};              // the settings block; pages use its sub-records
  FCL_LAMP_STATE sLampState{};               // sleep and power-off times
  uint8_t byLanguage = 0;                    // the panel-language byte
  FCL_RS_FACTORY_DEFSETTING sFactoryDef{};   // factory defaults
  FCL_RS_MACHINE_INFO sMachineInfo{};        // counters
  FCL_CAP_HALVERN sCapabilities{};           // capabilities and versions
  FCL_DEVICE_STATUS sDeviceStatus{};         // the last whole reply to a status inquiry

  // Which of the records the pages write back hold what the scanner sent: a read fills a record
  // only when it completed and the scanner accepted it, and the flag says whether the last read
  // did. A record whose flag is false (never read, or its reload failed) is never written.
  bool bParamAllRead = false;                // sParamAll
  bool bLampStateRead = false;               // sLampState
  bool bLanguageRead = false;                // byLanguage

  // The main window's one command layer (not owned here; the main window owns it). Pages that
  // are handed it may run device operations through it during the contract call they got it in,
  // and the pages that keep it (address book, scan profiles, LAN pages, scan file name, machine
  // information) may use it until the main window goes away.
  IOWrapper* ioWrapper = nullptr;

  QStringList clientKeyList;                 // SFTP client key-pair names, refreshed at each load
  QStringList serverKeyList;                 // SFTP server public-key names

  bool bIsB = false;                         // true for the USB-only model (module code "B")

  QString serialString;                      // the vendor string read at each load
  QString deviceUUID;
  QString deviceTWAINName;
  QString deviceInterface;                   // "USB" or the network interface text
};
