#include "ScannerModel.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <arpa/inet.h>
#include <netinet/in.h>

#include "IO/FCLCodes.h"

namespace sim {

// ---------------------------------------------------------------------------------------------
// Record helpers

namespace {

template <typename T>
Bytes bytesOf(const T& record) {
  const auto* p = reinterpret_cast<const uint8_t*>(&record);
  return Bytes(p, p + sizeof record);
}

// The record read back from bytes: cut, or zero-filled when they are short.
template <typename T>
T recordFrom(const Bytes& bytes) {
  T record;
  std::memset(&record, 0, sizeof record);
  std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
  return record;
}

// A record that is a window onto the settings block.
struct BlockView {
  uint8_t dtc;
  uint16_t dtq;
  std::size_t offset;
  std::size_t size;
};

constexpr BlockView kBlockViews[] = {
    {FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, offsetof(FCL_RS_PARAM_ALL, sGeneral), sizeof(FCL_RS_PARAM_GENERAL)},
    {FCLC_RS_PARAM, FCLD_RS_PARAM_FILENAME, offsetof(FCL_RS_PARAM_ALL, sFilename), sizeof(FCL_RS_PARAM_FILENAME)},
    {FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2USB, offsetof(FCL_RS_PARAM_ALL, sScan2USB), sizeof(FCL_RS_PARAM_SCANPROFILE)},
    {FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2EMAIL, offsetof(FCL_RS_PARAM_ALL, sScan2Email),
     sizeof(FCL_RS_PARAM_SCANPROFILE)},
    {FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2PC, offsetof(FCL_RS_PARAM_ALL, sScan2PC), sizeof(FCL_RS_PARAM_SCANPROFILE)},
    {FCLC_RS_PARAM, FCLD_RS_PARAM_EMAIL, offsetof(FCL_RS_PARAM_ALL, sEmail), sizeof(FCL_RS_PARAM_EMAIL)},
    {FCLC_RS_PARAM, FCLD_RS_PARAM_NETSETTING, offsetof(FCL_RS_PARAM_ALL, sNetSetting),
     sizeof(FCL_RS_PARAM_NETWORK_SETTING)},
    {FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, offsetof(FCL_RS_PARAM_ALL, sWiredLAN), sizeof(FCL_RS_PARAM_NETWORK)},
    {FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRELESS, offsetof(FCL_RS_PARAM_ALL, sWirelessLAN),
     sizeof(FCL_RS_PARAM_NETWORK)},
};

const BlockView* blockView(uint8_t dtc, uint16_t dtq) {
  for (const BlockView& v : kBlockViews) {
    if (v.dtc == dtc && v.dtq == dtq) return &v;
  }
  return nullptr;
}

// The length a write to this record must have; 0 for records the scanner stores as they come.
std::size_t fixedWriteLength(const FCL_VENDOR_CMD& cmd) {
  if (const BlockView* v = blockView(cmd.byDTC, cmd.wDTQ)) return v->size;
  switch (cmd.byDTC) {
    case FCLC_RS_PARAM:
      return cmd.wDTQ == FCLD_RS_PARAM_ALL ? sizeof(FCL_RS_PARAM_ALL) : 0;
    case FCLC_RS_ADDRESS_BOOK:
      return cmd.wDTQ == FCLD_RS_ADDRESS_BOOK_ALL ? sizeof(FCL_RS_ADDRESS_BOOK) : 0;
    case FCLC_RS_PROFILE:
      if (cmd.byOPCode == FOP_WRITE) return sizeof(FCL_RS_PROFILE);
      return cmd.wDTQ == FCLD_RS_PROFILE_ALL ? sizeof(FCL_RS_PROFILE_ALL) : 0;
    case FCLC_LAMP:
      return (cmd.wDTQ == FCLD_LAMP_CRG1 || cmd.wDTQ == FCLD_LAMP_CRG2_SET || cmd.wDTQ == FCLD_LAMP_CRG2_CLEAR)
                 ? sizeof(FCL_LAMP_STATE)
                 : 0;
    case FCLC_LANGUAGE:
      return cmd.wDTQ == FCLD_LANGUAGE ? 1 : 0;
    case FCLC_SYSTEM_TIME:
      if (cmd.wDTQ == monitor::FCLD_SYSTEM_TIME_UTC) return sizeof(monitor::FCL_SYSTEM_TIME_UTC_DATA);
      return cmd.wDTQ == FCLD_SYSTEM_TIME_PC ? sizeof(FCL_PC_TIME) : 0;
    case FCLC_RS_SCANNER_LOCK:
      return (cmd.wDTQ == FCLD_RS_SCANNER_LOCK || cmd.wDTQ == FCLD_RS_SCANNER_UNLOCK) ? sizeof(FCL_LOCK_TEXT) : 0;
    case monitor::FCLC_RS_PCLIST:
      return (cmd.wDTQ == monitor::FCLD_RS_PCLIST_ADD || cmd.wDTQ == monitor::FCLD_RS_PCLIST_REMOVE)
                 ? sizeof(monitor::FCL_RS_PCLIST)
                 : 0;
    default:
      return 0;
  }
}

bool nvramRangeValid(const FCL_VENDOR_CMD& cmd) {
  return std::size_t{cmd.wDTQ} + std::size_t{cmd.dwDataLength} <= kNvramSize;
}

// Lock texts compare as NUL-terminated texts of at most 40 bytes.
bool sameLockText(const uint8_t* a, const uint8_t* b) {
  const std::size_t la = strnlen(reinterpret_cast<const char*>(a), sizeof(FCL_LOCK_TEXT));
  const std::size_t lb = strnlen(reinterpret_cast<const char*>(b), sizeof(FCL_LOCK_TEXT));
  return la == lb && std::memcmp(a, b, la) == 0;
}

const std::pair<uint8_t, uint16_t> kBlockKey{FCLC_RS_PARAM, FCLD_RS_PARAM_ALL};

// A counter reset: the scan count becomes the count at the reset.
void copyNvram(std::vector<uint8_t>& nvram, FCL_NVRAM_AREA from, FCL_NVRAM_AREA to) {
  std::copy_n(nvram.begin() + from.wOffset, std::min(from.dwLength, to.dwLength), nvram.begin() + to.wOffset);
}

}  // namespace

ScannerModel::ScannerModel(Kind kind) : m_kind(kind) { loadFactoryContent(); }

void ScannerModel::loadFactoryContent() {
  const auto content = makeScannerContent(m_kind == Kind::Qmx7315w);
  std::lock_guard lock(m_mutex);
  m_records.clear();
  m_records[kBlockKey] = bytesOf(content->paramAll);
  m_records[{FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL}] = bytesOf(content->addressBook);
  m_records[{FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL}] = bytesOf(content->profiles);
  m_records[{FCLC_CAPABILITY, FCLD_CAPABILITY_ALL}] = bytesOf(content->capabilities);
  m_records[{FCLC_RS_FACTORY_DEFSETTING, FCLD_RS_FACTORY_DEFSETTING}] = bytesOf(content->factoryDefaults);
  m_records[{FCLC_LAMP, FCLD_LAMP_CRG1}] = bytesOf(content->lamp);
  m_records[{FCLC_LAMP, FCLD_LAMP_CRG2_SET}] = bytesOf(content->lamp);
  m_records[{FCLC_LANGUAGE, FCLD_LANGUAGE}] = Bytes{content->language};
  const auto clientCount = static_cast<uint32_t>(content->clientKeys.size());
  const auto serverCount = static_cast<uint32_t>(content->serverKeys.size());
  m_records[{FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_CLIENT_KEY_COUNT}] = bytesOf(clientCount);
  m_records[{FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_CLIENT_KEY_LIST}] = sftpKeyListBytes(content->clientKeys);
  m_records[{FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_SERVER_KEY_COUNT}] = bytesOf(serverCount);
  m_records[{FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_SERVER_KEY_LIST}] = sftpKeyListBytes(content->serverKeys);
  m_nvram = content->nvram;
  m_factoryBlock = bytesOf(content->factoryParamAll);
  m_factoryDefaults = content->factoryDefaults;
  m_lock.reset();
  m_lastPCTime.reset();
  m_pcCapacity = kDefaultPCListCapacity;
  m_pcList.clear();
  m_lastAdded.reset();
  m_press.reset();
  m_lastUTCTime.reset();
}

std::string ScannerModel::modelName() const {
  return m_kind == Kind::Qmx7315w ? "QMX-7315W" : "QMX-7305";
}

std::optional<ScannerModel::Kind> ScannerModel::kindFromName(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "qmx7315w") return Kind::Qmx7315w;
  if (lower == "qmx7305") return Kind::Qmx7305;
  return std::nullopt;
}

FCL_DEVICE_STATUS ScannerModel::baseStatus() const {
  std::lock_guard lock(m_mutex);
  return m_status;
}

void ScannerModel::setBaseStatus(const FCL_DEVICE_STATUS& status) {
  std::lock_guard lock(m_mutex);
  m_status = status;
}

void ScannerModel::setFWInfo(uint16_t fwInfo) {
  std::lock_guard lock(m_mutex);
  m_status.wFWInfo = fwInfo;
}

void ScannerModel::setRecord(uint8_t dtc, uint16_t dtq, Bytes bytes) {
  std::lock_guard lock(m_mutex);
  if (const BlockView* v = blockView(dtc, dtq)) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), v->size), blockLocked().begin() + std::ptrdiff_t(v->offset));
    return;
  }
  m_records[{dtc, dtq}] = std::move(bytes);
}

std::optional<Bytes> ScannerModel::record(uint8_t dtc, uint16_t dtq) const {
  std::lock_guard lock(m_mutex);
  if (const BlockView* v = blockView(dtc, dtq)) {
    const auto it = m_records.find(kBlockKey);
    if (it == m_records.end()) return std::nullopt;
    Bytes slice(v->size, 0);
    if (it->second.size() > v->offset) {
      std::copy_n(it->second.begin() + std::ptrdiff_t(v->offset), std::min(v->size, it->second.size() - v->offset),
                  slice.begin());
    }
    return slice;
  }
  const auto it = m_records.find({dtc, dtq});
  if (it == m_records.end()) return std::nullopt;
  return it->second;
}

void ScannerModel::clearRecords() {
  std::lock_guard lock(m_mutex);
  m_records.clear();
}

void ScannerModel::setHandler(uint8_t dtc, uint16_t dtq, Handler handler) {
  std::lock_guard lock(m_mutex);
  m_handlers[{dtc, dtq}] = std::move(handler);
}

std::optional<ScannerModel::Handler> ScannerModel::handlerFor(const FCL_VENDOR_CMD& cmd) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_handlers.find({cmd.byDTC, cmd.wDTQ});
  if (it == m_handlers.end()) return std::nullopt;
  return it->second;  // a copy: the handler runs without the lock, so it may call back into us
}

uint32_t ScannerModel::command(const FCL_VENDOR_CMD& cmd) {
  if (const auto h = handlerFor(cmd); h && h->command) return h->command(cmd);
  std::lock_guard lock(m_mutex);
  return scannerCommandLocked(cmd);
}

uint32_t ScannerModel::read(const FCL_VENDOR_CMD& cmd, Bytes& out) {
  if (const auto h = handlerFor(cmd); h && h->read) return h->read(cmd, out);
  std::lock_guard lock(m_mutex);
  uint32_t err = 0;
  if (scannerReadLocked(cmd, out, &err)) return err;
  const auto it = m_records.find({cmd.byDTC, cmd.wDTQ});
  if (it != m_records.end()) {
    std::copy_n(it->second.begin(), std::min(it->second.size(), out.size()), out.begin());
  }
  return 0;
}

uint32_t ScannerModel::acceptWrite(const FCL_VENDOR_CMD& cmd) {
  if (const auto h = handlerFor(cmd); h && h->acceptWrite) return h->acceptWrite(cmd);
  std::lock_guard lock(m_mutex);
  return scannerAcceptWriteLocked(cmd);
}

uint32_t ScannerModel::write(const FCL_VENDOR_CMD& cmd, const Bytes& in) {
  if (const auto h = handlerFor(cmd); h && h->write) return h->write(cmd, in);
  std::lock_guard lock(m_mutex);
  uint32_t err = 0;
  if (scannerWriteLocked(cmd, in, &err)) return err;
  m_records[{cmd.byDTC, cmd.wDTQ}] = in;
  return 0;
}

FCL_DEVICE_STATUS ScannerModel::statusFor(uint32_t lastErr) const {
  std::lock_guard lock(m_mutex);
  FCL_DEVICE_STATUS status = m_status;
  if (m_lock) status.wFWInfo = FCL_FWINFO_LOCKED;
  if (lastErr != 0) status.dwLastErr = lastErr;
  return status;
}

// ---------------------------------------------------------------------------------------------
// The scanner's behaviour (m_mutex held)

Bytes& ScannerModel::blockLocked() {
  Bytes& block = m_records[kBlockKey];
  if (block.size() < sizeof(FCL_RS_PARAM_ALL)) block.resize(sizeof(FCL_RS_PARAM_ALL), 0);
  return block;
}

void ScannerModel::setLampWordLocked(std::size_t offset, uint32_t value) {
  for (uint16_t q : {FCLD_LAMP_CRG1, FCLD_LAMP_CRG2_SET}) {
    Bytes& lamp = m_records[{FCLC_LAMP, q}];
    if (lamp.size() < sizeof(FCL_LAMP_STATE)) lamp.resize(sizeof(FCL_LAMP_STATE), 0);
    std::memcpy(lamp.data() + offset, &value, sizeof value);
  }
}

uint32_t ScannerModel::scannerCommandLocked(const FCL_VENDOR_CMD& cmd) {
  if (cmd.byOPCode == FOP_COMMAND && cmd.byDTC == monitor::FCLC_RS_EVENT_CHECKING) {
    m_press.reset();  // the event clear
    return 0;
  }
  if (cmd.byOPCode != FOP_COMMAND || cmd.byDTC != FCLC_RS_RESET) return 0;
  switch (cmd.wDTQ) {
    case FCLD_RS_RESET_FACTORY:
      m_records[kBlockKey] = m_factoryBlock;
      setLampWordLocked(offsetof(FCL_LAMP_STATE, dwCrg1Lamp2), m_factoryDefaults.dwDefSleepTime);
      setLampWordLocked(offsetof(FCL_LAMP_STATE, dwCrg2Lamp2), m_factoryDefaults.dwDefAutoOffTime);
      m_records[{FCLC_LANGUAGE, FCLD_LANGUAGE}] = Bytes{static_cast<uint8_t>(m_factoryDefaults.dwDefPanelLang)};
      break;
    case FCLD_RS_RESET_SCHEDULED_MAINTENANCE:
      copyNvram(m_nvram, FCL_NVRAM_SCAN_COUNT, FCL_NVRAM_COUNT_AT_CLEAN);
      break;
    case FCLD_RS_RESET_PICKUP_ROLLER:
      copyNvram(m_nvram, FCL_NVRAM_SCAN_COUNT, FCL_NVRAM_COUNT_AT_ROLLER);
      break;
    case FCLD_RS_RESET_FILENAME_COUNTER: {
      const uint32_t zero = 0;
      std::memcpy(blockLocked().data() + offsetof(FCL_RS_PARAM_ALL, sFilename) +
                      offsetof(FCL_RS_PARAM_FILENAME, dwBALLScanCount),
                  &zero, sizeof zero);
      break;
    }
    default:
      break;
  }
  return 0;
}

bool ScannerModel::scannerReadLocked(const FCL_VENDOR_CMD& cmd, Bytes& out, uint32_t* err) {
  if (cmd.byDTC == monitor::FCLC_RS_PCLIST) {
    Bytes answer;
    switch (cmd.wDTQ) {
      case monitor::FCLD_RS_PCLIST_MAX_COUNT: answer = bytesOf(m_pcCapacity); break;
      case monitor::FCLD_RS_PCLIST_CUR_COUNT: answer = bytesOf(static_cast<uint32_t>(m_pcList.size())); break;
      case monitor::FCLD_RS_PCLIST_ALL:
        for (const auto& e : m_pcList) {
          const Bytes b = bytesOf(e);
          answer.insert(answer.end(), b.begin(), b.end());
        }
        break;
      default: return false;
    }
    std::copy_n(answer.begin(), std::min(answer.size(), out.size()), out.begin());
    return true;
  }
  if (cmd.byDTC == monitor::FCLC_RS_EVENT_CHECKING) {
    monitor::FCL_RS_EVENT_INFO event{};
    if (m_press) event = *m_press;
    const Bytes b = bytesOf(event);
    std::copy_n(b.begin(), std::min(b.size(), out.size()), out.begin());
    return true;
  }
  if (cmd.byDTC == FCLC_NVRAM) {
    if (!nvramRangeValid(cmd)) {
      *err = kErrOutOfRange;  // `out` stays zeros
      return true;
    }
    std::copy_n(m_nvram.begin() + cmd.wDTQ, out.size(), out.begin());
    return true;
  }
  if (cmd.byDTC == FCLC_RS_SCANNER_LOCK && cmd.wDTQ == FCLD_RS_SCANNER_LOCK_UUID) {
    if (m_lock) std::copy_n(m_lock->szUUID, std::min(out.size(), sizeof m_lock->szUUID), out.begin());
    return true;
  }
  if (const BlockView* v = blockView(cmd.byDTC, cmd.wDTQ)) {
    const Bytes& block = blockLocked();
    std::copy_n(block.begin() + std::ptrdiff_t(v->offset), std::min(out.size(), v->size), out.begin());
    return true;
  }
  return false;
}

uint32_t ScannerModel::scannerAcceptWriteLocked(const FCL_VENDOR_CMD& cmd) const {
  if (cmd.byDTC == FCLC_NVRAM) return nvramRangeValid(cmd) ? 0 : kErrOutOfRange;
  // A full list refuses an add before its entry arrives (the status goes first); one that
  // replaces an entry of the same computer is refused as well then.
  if (cmd.byDTC == monitor::FCLC_RS_PCLIST && cmd.wDTQ == monitor::FCLD_RS_PCLIST_ADD &&
      cmd.dwDataLength == sizeof(monitor::FCL_RS_PCLIST) && m_pcList.size() >= m_pcCapacity)
    return kErrListFull;
  if (cmd.byDTC == FCLC_RS_PROFILE && cmd.wDTQ >= FCL_PROFILE_COUNT) return kErrOutOfRange;
  const std::size_t length = fixedWriteLength(cmd);
  if (length != 0 && cmd.dwDataLength != length) return kErrBadLength;
  if (cmd.byDTC == FCLC_RS_SCANNER_LOCK && cmd.wDTQ == FCLD_RS_SCANNER_LOCK) {
    // The text has not arrived yet: any holder makes this a refusal.
    if (m_refuseRemoteSetup) return FCLE_FW_REJECT_RS;
    if (m_lock) return kErrLockHeld;
  }
  return 0;
}

uint32_t ScannerModel::lockWriteLocked(uint16_t dtq, const Bytes& in, bool afterData) {
  FCL_LOCK_TEXT text{};
  std::memcpy(text.szUUID, in.data(), sizeof text.szUUID);
  const auto* textBytes = reinterpret_cast<const uint8_t*>(text.szUUID);
  const bool holder = m_lock && sameLockText(reinterpret_cast<const uint8_t*>(m_lock->szUUID), textBytes);
  if (dtq == FCLD_RS_SCANNER_LOCK) {
    if (m_refuseRemoteSetup) return FCLE_FW_REJECT_RS;
    if (holder) return afterData ? 0 : kErrLockHeld;
    if (m_lock) return kErrLockHeld;
    m_lock = text;
    return 0;
  }
  if (holder) {
    m_lock.reset();
    return 0;
  }
  return m_lock ? kErrLockHeld : 0;
}

bool ScannerModel::scannerWriteLocked(const FCL_VENDOR_CMD& cmd, const Bytes& in, uint32_t* err) {
  if (cmd.byDTC == FCLC_NVRAM) {
    if (!nvramRangeValid(cmd) || in.size() != cmd.dwDataLength) {
      *err = kErrOutOfRange;
      return true;
    }
    std::copy(in.begin(), in.end(), m_nvram.begin() + cmd.wDTQ);
    return true;
  }
  const std::size_t length = fixedWriteLength(cmd);
  if (length == 0) return false;  // the plain store
  if (in.size() != length) {
    *err = kErrBadLength;
    return true;
  }
  if (const BlockView* v = blockView(cmd.byDTC, cmd.wDTQ)) {
    std::copy(in.begin(), in.end(), blockLocked().begin() + std::ptrdiff_t(v->offset));
    return true;
  }
  switch (cmd.byDTC) {
    case monitor::FCLC_RS_PCLIST: {
      const auto entry = recordFrom<monitor::FCL_RS_PCLIST>(in);
      auto same = [&](const monitor::FCL_RS_PCLIST& e) {
        return std::memcmp(e.szPCUUID, entry.szPCUUID, sizeof e.szPCUUID) == 0;
      };
      if (cmd.wDTQ == monitor::FCLD_RS_PCLIST_ADD) {
        const auto it = std::find_if(m_pcList.begin(), m_pcList.end(), same);
        if (it != m_pcList.end()) {
          *it = entry;
        } else if (m_pcList.size() >= m_pcCapacity) {
          *err = kErrListFull;
          return true;
        } else {
          m_pcList.push_back(entry);
        }
        std::array<char, 40> id{};
        std::memcpy(id.data(), entry.szPCUUID, id.size());
        m_lastAdded = id;
      } else {
        m_pcList.erase(std::remove_if(m_pcList.begin(), m_pcList.end(), same), m_pcList.end());
      }
      return true;
    }
    case FCLC_LAMP: {
      const auto lamp = recordFrom<FCL_LAMP_STATE>(in);
      if (cmd.wDTQ == FCLD_LAMP_CRG1) {
        setLampWordLocked(offsetof(FCL_LAMP_STATE, dwCrg1Lamp2), lamp.dwCrg1Lamp2);
      } else {
        setLampWordLocked(offsetof(FCL_LAMP_STATE, dwCrg2Lamp2),
                          cmd.wDTQ == FCLD_LAMP_CRG2_SET ? lamp.dwCrg2Lamp2 : 0);
      }
      return true;
    }
    case FCLC_SYSTEM_TIME:
      if (cmd.wDTQ == monitor::FCLD_SYSTEM_TIME_UTC)
        m_lastUTCTime = recordFrom<monitor::FCL_SYSTEM_TIME_UTC_DATA>(in);
      else
        m_lastPCTime = recordFrom<FCL_PC_TIME>(in);
      return true;
    case FCLC_RS_SCANNER_LOCK:
      *err = lockWriteLocked(cmd.wDTQ, in, cmd.byOPCode == FOP_WRITE2);
      return true;
    case FCLC_RS_PROFILE:
      if (cmd.byOPCode != FOP_WRITE) return false;  // the whole list: the store
      if (cmd.wDTQ >= FCL_PROFILE_COUNT) {
        *err = kErrOutOfRange;
        return true;
      }
      {
        Bytes& list = m_records[{FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL}];
        if (list.size() < sizeof(FCL_RS_PROFILE_ALL)) list.resize(sizeof(FCL_RS_PROFILE_ALL), 0);
        std::copy(in.begin(), in.end(), list.begin() + std::ptrdiff_t(cmd.wDTQ * sizeof(FCL_RS_PROFILE)));
      }
      return true;
    default:
      return false;  // the right length: stored as it came
  }
}

// ---------------------------------------------------------------------------------------------
// Content accessors

FCL_RS_PARAM_ALL ScannerModel::paramAll() const {
  std::lock_guard lock(m_mutex);
  const auto it = m_records.find(kBlockKey);
  return recordFrom<FCL_RS_PARAM_ALL>(it == m_records.end() ? Bytes{} : it->second);
}

void ScannerModel::setParamAll(const FCL_RS_PARAM_ALL& block) {
  std::lock_guard lock(m_mutex);
  m_records[kBlockKey] = bytesOf(block);
}

FCL_RS_PARAM_ALL ScannerModel::factoryParamAll() const {
  std::lock_guard lock(m_mutex);
  return recordFrom<FCL_RS_PARAM_ALL>(m_factoryBlock);
}

FCL_RS_ADDRESS_BOOK ScannerModel::addressBook() const {
  return recordFrom<FCL_RS_ADDRESS_BOOK>(record(FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL).value_or(Bytes{}));
}

void ScannerModel::setAddressBook(const FCL_RS_ADDRESS_BOOK& book) {
  setRecord(FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL, bytesOf(book));
}

FCL_RS_PROFILE_ALL ScannerModel::profiles() const {
  return recordFrom<FCL_RS_PROFILE_ALL>(record(FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL).value_or(Bytes{}));
}

void ScannerModel::setProfiles(const FCL_RS_PROFILE_ALL& profiles) {
  setRecord(FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL, bytesOf(profiles));
}

uint8_t ScannerModel::language() const {
  const Bytes b = record(FCLC_LANGUAGE, FCLD_LANGUAGE).value_or(Bytes{});
  return b.empty() ? 0 : b[0];
}

void ScannerModel::setLanguage(uint8_t language) { setRecord(FCLC_LANGUAGE, FCLD_LANGUAGE, Bytes{language}); }

uint32_t ScannerModel::sleepTime() const {
  return recordFrom<FCL_LAMP_STATE>(record(FCLC_LAMP, FCLD_LAMP_CRG1).value_or(Bytes{})).dwCrg1Lamp2;
}

uint32_t ScannerModel::autoPowerOffTime() const {
  return recordFrom<FCL_LAMP_STATE>(record(FCLC_LAMP, FCLD_LAMP_CRG2_SET).value_or(Bytes{})).dwCrg2Lamp2;
}

Bytes ScannerModel::nvram(std::size_t offset, std::size_t length) const {
  std::lock_guard lock(m_mutex);
  if (offset >= m_nvram.size()) return {};
  const std::size_t n = std::min(length, m_nvram.size() - offset);
  return Bytes(m_nvram.begin() + std::ptrdiff_t(offset), m_nvram.begin() + std::ptrdiff_t(offset + n));
}

void ScannerModel::setNvram(std::size_t offset, const Bytes& bytes) {
  std::lock_guard lock(m_mutex);
  if (offset >= m_nvram.size()) return;
  std::copy_n(bytes.begin(), std::min(bytes.size(), m_nvram.size() - offset), m_nvram.begin() + std::ptrdiff_t(offset));
}

uint32_t ScannerModel::nvramWord(std::size_t offset) const {
  const Bytes b = nvram(offset, 4);
  uint32_t value = 0;
  std::memcpy(&value, b.data(), b.size());
  return value;
}

void ScannerModel::setNvramWord(std::size_t offset, uint32_t value) { setNvram(offset, bytesOf(value)); }

// ---------------------------------------------------------------------------------------------
// Serial number

namespace {
constexpr std::size_t kSerialOffset = 104;
constexpr std::size_t kSerialField = ScannerModel::kMaxSerialLength + 1;
}  // namespace

std::string ScannerModel::serial() const {
  const Bytes field = nvram(kSerialOffset, kSerialField);
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return std::string(field.begin(), end);
}

bool ScannerModel::setSerial(const std::string& serial) {
  if (serial.empty() || serial.size() > kMaxSerialLength) return false;
  Bytes field(kSerialField, 0);
  std::copy(serial.begin(), serial.end(), field.begin());
  setNvram(kSerialOffset, field);
  return true;
}

std::string ScannerModel::serialForAddress(Kind kind, const std::string& address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
    return factorySerial(kind == Kind::Qmx7315w);
  }
  const uint32_t host = ntohl(parsed.s_addr);
  char text[kSerialField];
  std::snprintf(text, sizeof text, "%s%03u%03u%03u%03u", kind == Kind::Qmx7315w ? "ZRQ7315W-A" : "ZRQ7305-B",
                (host >> 24) & 0xFFu, (host >> 16) & 0xFFu, (host >> 8) & 0xFFu, host & 0xFFu);
  return text;
}

void ScannerModel::setSftpClientKeys(const std::vector<std::string>& names) {
  setRecord(FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_CLIENT_KEY_COUNT, bytesOf(static_cast<uint32_t>(names.size())));
  setRecord(FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_CLIENT_KEY_LIST, sftpKeyListBytes(names));
}

void ScannerModel::setSftpServerKeys(const std::vector<std::string>& names) {
  setRecord(FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_SERVER_KEY_COUNT, bytesOf(static_cast<uint32_t>(names.size())));
  setRecord(FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_SERVER_KEY_LIST, sftpKeyListBytes(names));
}

bool ScannerModel::isLocked() const {
  std::lock_guard lock(m_mutex);
  return m_lock.has_value();
}

FCL_LOCK_TEXT ScannerModel::lockHolder() const {
  std::lock_guard lock(m_mutex);
  return m_lock.value_or(FCL_LOCK_TEXT{});
}

std::string ScannerModel::lockHolderText() const {
  const FCL_LOCK_TEXT t = lockHolder();
  return std::string(t.szUUID, strnlen(t.szUUID, sizeof t.szUUID));
}

void ScannerModel::forceLock(const std::string& text) {
  std::lock_guard lock(m_mutex);
  if (text.empty()) {
    m_lock.reset();
    return;
  }
  FCL_LOCK_TEXT t{};
  std::memcpy(t.szUUID, text.data(), std::min(text.size(), sizeof t.szUUID - 1));
  m_lock = t;
}

void ScannerModel::setRefuseRemoteSetup(bool refuse) {
  std::lock_guard lock(m_mutex);
  m_refuseRemoteSetup = refuse;
}

std::optional<FCL_PC_TIME> ScannerModel::lastPCTime() const {
  std::lock_guard lock(m_mutex);
  return m_lastPCTime;
}

}  // namespace sim

namespace sim {

// ---------------------------------------------------------------------------------------------
// PC list, scan button, monitor clock

uint32_t ScannerModel::pcListCapacity() const {
  std::lock_guard lock(m_mutex);
  return m_pcCapacity;
}

void ScannerModel::setPCListCapacity(uint32_t capacity) {
  std::lock_guard lock(m_mutex);
  m_pcCapacity = capacity;
}

std::vector<monitor::FCL_RS_PCLIST> ScannerModel::pcList() const {
  std::lock_guard lock(m_mutex);
  return m_pcList;
}

void ScannerModel::setPCList(std::vector<monitor::FCL_RS_PCLIST> entries) {
  std::lock_guard lock(m_mutex);
  m_pcList = std::move(entries);
}

monitor::FCL_RS_PCLIST ScannerModel::pcEntry(const std::string& name, const std::string& pcuuid, uint32_t connectType) {
  monitor::FCL_RS_PCLIST e{};
  std::memcpy(e.szPCName, name.data(), std::min(name.size(), sizeof e.szPCName - 1));
  std::memcpy(e.szPCUUID, pcuuid.data(), std::min(pcuuid.size(), sizeof e.szPCUUID - 1));
  e.dwConnectType = connectType;
  return e;
}

bool ScannerModel::pressLocked(const monitor::FCL_RS_PCLIST& entry, const std::string& shortcut) {
  monitor::FCL_RS_EVENT_INFO event{};
  event.dwEventType = monitor::kEventTypeScanToPC;
  std::memcpy(event.szShortCutString, shortcut.data(), std::min(shortcut.size(), sizeof event.szShortCutString));
  std::memcpy(event.szPCUUID, entry.szPCUUID, sizeof event.szPCUUID);
  m_press = event;
  return true;
}

bool ScannerModel::pressScanButton(const std::string& pcuuid, const std::string& shortcut) {
  std::lock_guard lock(m_mutex);
  for (const auto& e : m_pcList) {
    if (std::string(e.szPCUUID, strnlen(e.szPCUUID, sizeof e.szPCUUID)) == pcuuid) return pressLocked(e, shortcut);
  }
  return false;
}

bool ScannerModel::pressScanButtonAt(std::size_t index, const std::string& shortcut) {
  std::lock_guard lock(m_mutex);
  if (index >= m_pcList.size()) return false;
  return pressLocked(m_pcList[index], shortcut);
}

bool ScannerModel::pressScanButton() {
  std::lock_guard lock(m_mutex);
  if (m_lastAdded) {
    for (const auto& e : m_pcList) {
      if (std::memcmp(e.szPCUUID, m_lastAdded->data(), sizeof e.szPCUUID) == 0) return pressLocked(e, "SCAN");
    }
  }
  if (m_pcList.empty()) return false;
  return pressLocked(m_pcList.back(), "SCAN");
}

monitor::FCL_RS_EVENT_INFO ScannerModel::pendingEvent() const {
  std::lock_guard lock(m_mutex);
  return m_press.value_or(monitor::FCL_RS_EVENT_INFO{});
}

bool ScannerModel::eventPending() const {
  std::lock_guard lock(m_mutex);
  return m_press.has_value();
}

void ScannerModel::setEventHold(std::chrono::milliseconds limit) {
  std::lock_guard lock(m_mutex);
  m_eventHold = limit;
}

std::chrono::milliseconds ScannerModel::eventHold() const {
  std::lock_guard lock(m_mutex);
  return m_eventHold;
}

std::optional<monitor::FCL_SYSTEM_TIME_UTC_DATA> ScannerModel::lastUTCTime() const {
  std::lock_guard lock(m_mutex);
  return m_lastUTCTime;
}

}  // namespace sim
