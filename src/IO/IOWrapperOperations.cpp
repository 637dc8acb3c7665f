// The device operations of IOWrapper: one command exchange each, or a short fixed sequence.
#include <QStringList>
#include <QUuid>
#include <cstring>
#include <memory>
#include <vector>

#include "IO/FCLCodes.h"
#include "IO/FCLRecords.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "platform/FixedText.h"

namespace {
QString name(const char* selector) { return QStringLiteral("-[IOWrapper %1]").arg(QLatin1String(selector)); }
}  // namespace

bool IOWrapper::runSimple(const QString& op, uint8_t opcode, uint8_t dtc, uint16_t dtq, uint32_t length,
                          const void* data, const QString& error) {
  funcEnter(op);
  setVendorCmd(opcode, dtc, dtq, length);
  // execute only reads from the buffer of a write; the cast serves the one signature for both.
  if (!execute(const_cast<void*>(data))) {
    funcErr(op, error);
    return false;
  }
  funcEnd(op);
  return true;
}

// ---- Settings block and its records -----------------------------------------------------------

bool IOWrapper::getParamAll(FCL_RS_PARAM_ALL* p) {
  return runSimple(name("getParamAll:"), FOP_READ, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, sizeof *p, p,
                   " readCommand for ParamAll return False!");
}
bool IOWrapper::setParamAll(const FCL_RS_PARAM_ALL* p) {
  return runSimple(name("setParamAll:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, sizeof *p, p,
                   " setParamAll FAIL!");
}
bool IOWrapper::setGeneral(const FCL_RS_PARAM_GENERAL* p) {
  return runSimple(name("setGeneral:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, sizeof *p, p,
                   " setGeneral FAIL!");
}
bool IOWrapper::setFilename(const FCL_RS_PARAM_FILENAME* p) {
  return runSimple(name("setFilename:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_FILENAME, sizeof *p, p,
                   " setFilename FAIL!");
}
bool IOWrapper::setScan2USB(const FCL_RS_PARAM_SCANPROFILE* p) {
  return runSimple(name("setScan2USB:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2USB, sizeof *p, p,
                   " setScan2USB FAIL!");
}
bool IOWrapper::setScan2Email(const FCL_RS_PARAM_SCANPROFILE* p) {
  return runSimple(name("setScan2Email:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2EMAIL, sizeof *p, p,
                   " setScan2Email FAIL!");
}
bool IOWrapper::setScan2PC(const FCL_RS_PARAM_SCANPROFILE* p) {
  return runSimple(name("setScan2PC:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2PC, sizeof *p, p,
                   " setScan2PC FAIL!");
}
bool IOWrapper::setEmail(const FCL_RS_PARAM_EMAIL* p) {
  return runSimple(name("setEmail:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_EMAIL, sizeof *p, p,
                   " setEmail FAIL!");
}
bool IOWrapper::setNetSetting(const FCL_RS_PARAM_NETWORK_SETTING* p) {
  return runSimple(name("setNetSetting:"), FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_NETSETTING, sizeof *p, p,
                   " setNetSetting FAIL!");
}

// ---- Network interfaces, language, profiles ---------------------------------------------------

bool IOWrapper::getWiredLAN(FCL_RS_PARAM_NETWORK* p) {
  return runSimple(name("getWiredLAN:"), FOP_READ, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, sizeof *p, p,
                   " getWiredLAN FAIL!");
}
bool IOWrapper::setWiredLAN(const FCL_RS_PARAM_NETWORK* p) {
  return runSimple(name("setWiredLAN:"), FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, sizeof *p, p,
                   " setWiredLAN FAIL!");
}
bool IOWrapper::getWirelessLAN(FCL_RS_PARAM_NETWORK* p) {
  return runSimple(name("getWirelessLAN:"), FOP_READ, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRELESS, sizeof *p, p,
                   " getWirelessLAN FAIL!");
}
bool IOWrapper::setWirelessLAN(const FCL_RS_PARAM_NETWORK* p) {
  return runSimple(name("setWirelessLAN:"), FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRELESS, sizeof *p, p,
                   " setWirelessLAN FAIL!");
}
bool IOWrapper::getLanguage(uint8_t* language) {
  return runSimple(name("getLanguage:"), FOP_READ, FCLC_LANGUAGE, FCLD_LANGUAGE, 1, language,
                   " readCommand for language return False!");
}
bool IOWrapper::setLanguage(const uint8_t* language) {
  return runSimple(name("setLanguage:"), FOP_WRITE, FCLC_LANGUAGE, FCLD_LANGUAGE, 1, language,
                   " writeCommand for language return False!");
}
bool IOWrapper::getProfileAll(FCL_RS_PROFILE_ALL* p) {
  return runSimple(name("getProfileAll:"), FOP_READ, FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL, sizeof *p, p,
                   " readCommand return False!");
}
bool IOWrapper::setProfileAll(const FCL_RS_PROFILE_ALL* p) {
  return runSimple(name("setProfileAll:"), FOP_WRITE2, FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL, sizeof *p, p,
                   " writeCommand return False!");
}
bool IOWrapper::setProfile(const FCL_RS_PROFILE* p, uint16_t slot) {
  return runSimple(name("setProfile:index:"), FOP_WRITE, FCLC_RS_PROFILE, slot, sizeof *p, p,
                   " writeCommand return False!");
}

// ---- Device records ---------------------------------------------------------------------------

bool IOWrapper::getCapabilities(FCL_CAP_HALVERN* p) {
  return runSimple(name("getCapabilities:"), FOP_READ, FCLC_CAPABILITY, FCLD_CAPABILITY_ALL, sizeof *p, p,
                   "readCommand return False!");
}
bool IOWrapper::getDeviceStatus(FCL_DEVICE_STATUS* out) {
  if (!runSimple(name("getDeviceStatus:"), FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0, nullptr, " readCommand return False!"))
    return false;
  *out = status();
  return true;
}
bool IOWrapper::getNVRAM(void* buffer, uint16_t offset, uint32_t length) {
  return runSimple(name("getNVRAM:offset:length:"), FOP_READ, FCLC_NVRAM, offset, length, buffer,
                   " readCommand return False!");
}
bool IOWrapper::setNVRAM(const void* buffer, uint16_t offset, uint32_t length) {
  return runSimple(name("setNVRAM:offset:length:"), FOP_WRITE, FCLC_NVRAM, offset, length, buffer,
                   " writeCommand return False!");
}
bool IOWrapper::setPCTime() {
  const FCL_PC_TIME now = currentPCTime();
  return runSimple(name("setPCTime"), FOP_WRITE, FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_PC, sizeof now, &now,
                   platform::formatText(" WriteCommand return FALSE! (%lu)", {qulonglong(sizeof now)}));
}
bool IOWrapper::resetFactoryReset() {
  return runSimple(name("resetFactoryReset"), FOP_COMMAND, FCLC_RS_RESET, FCLD_RS_RESET_FACTORY, 0, nullptr,
                   " WriteCommand return FALSE!");
}
bool IOWrapper::resetScheduledMaintenance() {
  return runSimple(name("resetScheduledMaintenance"), FOP_COMMAND, FCLC_RS_RESET,
                   FCLD_RS_RESET_SCHEDULED_MAINTENANCE, 0, nullptr, " WriteCommand return FALSE!");
}
bool IOWrapper::resetPickupRoller() {
  return runSimple(name("resetPickupRoller"), FOP_COMMAND, FCLC_RS_RESET, FCLD_RS_RESET_PICKUP_ROLLER, 0, nullptr,
                   " WriteCommand return FALSE!");
}
bool IOWrapper::resetFileNameCounter() {
  return runSimple(name("resetFileNameCounter"), FOP_COMMAND, FCLC_RS_RESET, FCLD_RS_RESET_FILENAME_COUNTER, 0,
                   nullptr, " return FALSE!");
}
bool IOWrapper::getFactoryDefsetting(FCL_RS_FACTORY_DEFSETTING* p) {
  return runSimple(name("getFactoryDefsetting:"), FOP_READ, FCLC_RS_FACTORY_DEFSETTING, FCLD_RS_FACTORY_DEFSETTING,
                   sizeof *p, p, " readCommand return False!");
}
bool IOWrapper::getAddressBook(FCL_RS_ADDRESS_BOOK* p) {
  return runSimple(name("getAddressBook:"), FOP_READ, FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL, sizeof *p, p,
                   " readCommand return False!");
}
bool IOWrapper::setAddressBook(const FCL_RS_ADDRESS_BOOK* p) {
  return runSimple(name("setAddressBook:"), FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL, sizeof *p,
                   p, " writeCommand return False!");
}

// ---- Lamp (power) times -----------------------------------------------------------------------

bool IOWrapper::getLampState(FCL_LAMP_STATE* lamp) {
  const QString op = name("getLampState:");
  funcEnter(op);
  FCL_LAMP_STATE scratch{};
  setVendorCmd(FOP_READ, FCLC_LAMP, FCLD_LAMP_CRG1, sizeof scratch);
  if (!execute(&scratch)) {
    funcErr(op, " readCommand for lamp return False!");
    return false;
  }
  lamp->dwCrg1Lamp2 = scratch.dwCrg1Lamp2;
  setVendorCmd(FOP_READ, FCLC_LAMP, FCLD_LAMP_CRG2_SET, sizeof scratch);
  if (!execute(&scratch)) {
    funcErr(op, " readCommand for lamp return False!");
    return false;
  }
  lamp->dwCrg2Lamp2 = scratch.dwCrg2Lamp2;
  funcEnd(op);
  return true;
}

bool IOWrapper::setLampState(const FCL_LAMP_STATE* lamp) {
  const QString op = name("setLampState:");
  funcEnter(op);
  FCL_LAMP_STATE copy = *lamp;
  setVendorCmd(FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG1, sizeof copy);
  if (!execute(&copy)) {
    funcErr(op, " writeCommand for lamp return False!");
    return false;
  }
  setVendorCmd(FOP_WRITE, FCLC_LAMP, copy.dwCrg2Lamp2 != 0 ? FCLD_LAMP_CRG2_SET : FCLD_LAMP_CRG2_CLEAR, sizeof copy);
  if (!execute(&copy)) {
    funcErr(op, " writeCommand for lamp return False!");
    return false;
  }
  funcEnd(op);
  return true;
}

// ---- SFTP key lists ---------------------------------------------------------------------------

uint32_t IOWrapper::readKeyList(const QString& op, uint16_t countQualifier, uint16_t listQualifier,
                                QStringList& list) {
  funcEnter(op);
  uint32_t count = 0;
  setVendorCmd(FOP_READ, FCLC_RS_SFTP_KEY, countQualifier, sizeof count);
  if (!execute(&count)) {
    funcErr(op, " Read key count return False!");
    return 0;
  }
  if (count == 0) {
    funcEnd(op);
    return 0;
  }
  // The count comes from the scanner: refuse one that no scanner holds rather than allocating
  // and requesting whatever it says.
  if (count > kMaxSftpKeyCount) {
    funcErr(op, platform::formatText(" Key count %u is more than %u!", {count, kMaxSftpKeyCount}));
    return 0;
  }
  const uint64_t length = uint64_t(count) * sizeof(FCL_RS_SFTP_KEY_ENTRY);
  std::vector<FCL_RS_SFTP_KEY_ENTRY> entries(count);
  std::memset(entries.data(), 0, length);
  setVendorCmd(FOP_READ, FCLC_RS_SFTP_KEY, listQualifier, static_cast<uint32_t>(length));
  if (!execute(entries.data())) {
    funcErr(op, " Read key list return False!");
    return 0;
  }
  for (const FCL_RS_SFTP_KEY_ENTRY& e : entries) list << platform::textFromField(e.szKeyName);
  funcEnd(op);
  return count;
}

uint32_t IOWrapper::getSFTPClientKeyPair(QStringList& list) {
  return readKeyList(name("getSFTPClientKeyPair:"), FCLD_RS_SFTP_CLIENT_KEY_COUNT, FCLD_RS_SFTP_CLIENT_KEY_LIST, list);
}
uint32_t IOWrapper::getSFTPServerKeyPair(QStringList& list) {
  return readKeyList(name("getSFTPServerKeyPair:"), FCLD_RS_SFTP_SERVER_KEY_COUNT, FCLD_RS_SFTP_SERVER_KEY_LIST, list);
}

// ---- Counters and identifying texts -----------------------------------------------------------

bool IOWrapper::getMachineInfo(FCL_RS_MACHINE_INFO* info) {
  const QString op = name("getMachineInfo:");
  funcEnter(op);
  std::memset(info, 0, sizeof *info);
  struct Read {
    FCL_NVRAM_AREA area;
    const char* error;
  };
  static constexpr Read reads[] = {
      {FCL_NVRAM_SCAN_COUNT, " readCommand for Scan count return FALSE!"},
      {FCL_NVRAM_COUNT_AT_CLEAN, " readCommand for Count at clean return FALSE!"},
      {FCL_NVRAM_COUNT_AT_ROLLER, " readCommand for Count at roller return FALSE!"},
      {FCL_NVRAM_MAINT_CLEAN_VAL, " readCommand for Maint clean int return FALSE!"},
      {FCL_NVRAM_ROLLER_REPLACE_VAL, " readCommand for Maint roller replace interval return FALSE!"},
  };
  uint32_t values[5] = {};
  for (int i = 0; i < 5; ++i) {
    uint32_t scratch = 0;
    if (!getNVRAM(&scratch, reads[i].area.wOffset, reads[i].area.dwLength)) {
      funcErr(op, reads[i].error);
      return false;
    }
    values[i] = scratch;
  }
  info->dwScanCount = values[0];
  info->dwCountAtClean = values[1];
  info->dwCountAtRoller = values[2];
  info->dwMaintCleanVal = values[3] & 0xFFFF;
  info->dwRollerReplaceVal = values[4];
  funcEnd(op);
  return true;
}

std::optional<QString> IOWrapper::readNvramText(const QString& op, FCL_NVRAM_AREA area) {
  funcEnter(op);
  const uint32_t length = area.dwLength;
  char buffer[64] = {};
  static_assert(FCL_NVRAM_VENDOR_STRING.dwLength <= sizeof buffer && FCL_NVRAM_SERIAL_NUMBER.dwLength <= sizeof buffer);
  if (!getNVRAM(buffer, area.wOffset, length)) {
    funcErr(op, " readCommand return FALSE!");
    return std::nullopt;
  }
  // 8-bit text: each byte one character, up to the first NUL within the area.
  const void* nul = std::memchr(buffer, 0, length);
  const auto n = nul ? static_cast<qsizetype>(static_cast<const char*>(nul) - buffer) : qsizetype(length);
  funcEnd(op);
  return QString::fromLatin1(buffer, n);
}

std::optional<QString> IOWrapper::getVendorString() {
  return readNvramText(name("getVendorString"), FCL_NVRAM_VENDOR_STRING);
}
std::optional<QString> IOWrapper::getSerialNumber() {
  return readNvramText(name("getSerialNumber"), FCL_NVRAM_SERIAL_NUMBER);
}

// ---- Lock -------------------------------------------------------------------------------------

bool IOWrapper::lockScanner() {
  const QString op = name("lockScanner");
  setUuid(lockUuidText(QUuid::createUuid()));
  const FCL_LOCK_TEXT text = makeLockText(uuid());
  return runSimple(op, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, sizeof text, &text,
                   " WriteCommand return FALSE!");
}

bool IOWrapper::unlockScanner() {
  if (uuid().isEmpty()) return false;
  const FCL_LOCK_TEXT text = makeLockText(uuid());
  return runSimple(name("unlockScanner"), FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_UNLOCK, sizeof text, &text,
                   " WriteCommand return FALSE!");
}

bool IOWrapper::readLockedUUID() {
  if (uuid().isEmpty()) return false;
  const QString op = name("readLockedUUID");
  FCL_LOCK_TEXT reply{};
  if (!runSimple(op, FOP_READ, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK_UUID, sizeof reply, &reply,
                 " ReadCommand return FALSE!"))
    return false;
  const FCL_LOCK_TEXT kept = makeLockText(uuid());
  if (sameLockText(reply, kept)) return true;
  funcErr(op, platform::formatText(" szUUID[%s], uuid.UTF8[%s]", {platform::textFromField(reply.szUUID), uuid()}));
  return false;
}

std::optional<QString> IOWrapper::readLockHolder() {
  const QString op = name("readLockHolder");
  FCL_LOCK_TEXT reply{};
  const CommandOutcome read = judge([&] {
    return runSimple(op, FOP_READ, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK_UUID, sizeof reply, &reply,
                     " ReadCommand return FALSE!");
  });
  if (!read) return std::nullopt;
  return platform::textFromField(reply.szUUID);
}

// ---- Shortcut check ---------------------------------------------------------------------------

bool IOWrapper::isAddressInShortCut() {
  const QString op = name("isAddressInShortCut");
  funcEnter(op);
  auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  std::memset(book.get(), 0, sizeof *book);
  getAddressBook(book.get());  // a failed read leaves zeros or part of the book: checked as it is
  for (int slot = 0; slot < FCL_ADDRESS_BOOK_NODE_COUNT; ++slot) {
    if (book->sNode[slot].dwIsInShortcut == 1) {
      ut().debugMsg(0x01, "=== Node %d is in shortcut \n", slot);
      funcEnd(op);
      return true;
    }
  }
  funcEnd(op);
  return false;
}
