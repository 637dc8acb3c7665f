// The scanner's replies to every read of the command layer (IOWrapper over USB, through the
// scripted scanner of FuzzSupport.h: no sockets).
//
// Input: one byte that picks the operation, then the scanner's replies (each a shape byte and
// its bytes, FuzzSupport.h). For the control-pipe lock the five reply bytes come first.
//
// Checks, per operation, what the command layer promises: a verdict that matches the status
// block that arrived; the record filled only by its own read; key lists never longer than the
// count answered nor longer than the cap, and the list untouched on failure; texts cut at the
// field's end; the machine counters all zero after a failure; the lamp words that are not read
// left alone; the lock taken only on the scanner's own "granted".
#include <QStringList>
#include <cstring>
#include <memory>

#include "IO/FCLCodes.h"
#include "IO/FCLRecords.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "platform/FixedText.h"
#include "support/FuzzSupport.h"

namespace {

template <typename T>
std::unique_ptr<T> zeroed() {
  auto p = std::make_unique<T>();
  std::memset(static_cast<void*>(p.get()), 0, sizeof(T));
  return p;
}

// Every record read: runs the read under judge() and checks the verdict against the status.
template <typename T>
void readRecord(IOWrapper& io, bool (IOWrapper::*read)(T*)) {
  auto record = zeroed<T>();
  bool completed = false;
  const CommandOutcome verdict = io.judge([&] { return completed = (io.*read)(record.get()); });
  if (verdict.ok()) {
    FUZZ_CHECK(completed);
    FUZZ_CHECK(io.lastStatusBytes() == sizeof(FCL_DEVICE_STATUS));
    FUZZ_CHECK(io.lastError() == 0);
  }
  if (completed && io.lastStatusBytes() < sizeof(FCL_DEVICE_STATUS)) FUZZ_CHECK(!verdict.ok());
}

void keyList(IOWrapper& io, bool client) {
  QStringList list{QStringLiteral("kept")};
  const uint32_t n = client ? io.getSFTPClientKeyPair(list) : io.getSFTPServerKeyPair(list);
  FUZZ_CHECK(n <= 1024);
  FUZZ_CHECK(list.size() == 1 + qsizetype(n));
  FUZZ_CHECK(list.front() == QStringLiteral("kept"));
  for (qsizetype i = 1; i < list.size(); ++i) FUZZ_CHECK(list[i].size() <= 72);
}

void nvramText(const std::optional<QString>& text, qsizetype field) {
  if (!text) return;
  FUZZ_CHECK(text->size() <= field);
  FUZZ_CHECK(!text->contains(QChar(0)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::initProcess(false);
  fuzz::scanner();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes input(data, size);
  fuzz::ScriptedScanner& scanner = fuzz::scanner();
  const uint8_t op = input.byte();
  if (op % 24 == 23) {
    const QByteArray reply = input.take(5);
    scanner.host.device(scanner.index).controlReply.assign(reply.begin(), reply.end());
  }
  scanner.begin(&input);

  IOWrapper io;
  FUZZ_CHECK(io.openScanner(QString()));
  switch (op % 24) {
    case 0: readRecord(io, &IOWrapper::getParamAll); break;
    case 1: readRecord(io, &IOWrapper::getWiredLAN); break;
    case 2: readRecord(io, &IOWrapper::getWirelessLAN); break;
    case 3: readRecord(io, &IOWrapper::getLanguage); break;
    case 4: readRecord(io, &IOWrapper::getProfileAll); break;
    case 5: readRecord(io, &IOWrapper::getCapabilities); break;
    case 6: readRecord(io, &IOWrapper::getFactoryDefsetting); break;
    case 7: readRecord(io, &IOWrapper::getAddressBook); break;
    case 8: {
      FCL_DEVICE_STATUS status;
      std::memset(&status, 0xA5, sizeof status);
      if (io.getDeviceStatus(&status)) {
        FUZZ_CHECK(std::memcmp(&status, &io.status(), sizeof status) == 0);
      } else {
        FCL_DEVICE_STATUS untouched;
        std::memset(&untouched, 0xA5, sizeof untouched);
        FUZZ_CHECK(std::memcmp(&status, &untouched, sizeof status) == 0);
      }
      break;
    }
    case 9: {
      FCL_LAMP_STATE lamp;
      std::memset(&lamp, 0x5A, sizeof lamp);
      FCL_LAMP_STATE before = lamp;
      io.getLampState(&lamp);
      FUZZ_CHECK(lamp.dwCrg1Lamp1 == before.dwCrg1Lamp1);
      FUZZ_CHECK(lamp.dwCrg2Lamp1 == before.dwCrg2Lamp1);
      break;
    }
    case 10: keyList(io, true); break;
    case 11: keyList(io, false); break;
    case 12: {
      FCL_RS_MACHINE_INFO info;
      std::memset(&info, 0x77, sizeof info);
      if (!io.getMachineInfo(&info)) {
        FCL_RS_MACHINE_INFO zero;
        std::memset(&zero, 0, sizeof zero);
        FUZZ_CHECK(std::memcmp(&info, &zero, sizeof info) == 0);
      } else {
        FUZZ_CHECK(info.dwMaintCleanVal <= 0xFFFF);
      }
      break;
    }
    case 13: nvramText(io.getVendorString(), 24); break;
    case 14: nvramText(io.getSerialNumber(), 14); break;
    case 15: {
      // The lock: take it (its status comes from the input), then ask whether it is still ours.
      const bool sent = io.lockScanner();
      FUZZ_CHECK(io.uuid().size() == 36);
      if (sent) io.readLockedUUID();
      break;
    }
    case 16: {
      const std::optional<QString> holder = io.readLockHolder();
      if (holder) {
        FUZZ_CHECK(holder->size() <= 40);
        FUZZ_CHECK(!holder->contains(QChar(0)));
        FUZZ_CHECK(io.lastError() == 0);
      }
      break;
    }
    case 17: io.isAddressInShortCut(); break;
    case 18: {
      const uint16_t offset = input.u16();
      const uint32_t length = input.byte();
      std::vector<uint8_t> buffer(length + 8, 0xEE);
      io.getNVRAM(buffer.data(), offset, length);
      for (uint32_t i = length; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == 0xEE);
      break;
    }
    case 19: {
      // A command-only exchange and a write: the reply is only a status block.
      const CommandOutcome v = io.judge([&] { return io.resetFileNameCounter(); });
      if (v.ok()) FUZZ_CHECK(io.lastError() == 0);
      uint8_t language = 3;
      io.judge([&] { return io.setLanguage(&language); });
      break;
    }
    case 20: {
      // The structure version of a settings block that came from the scanner.
      auto all = zeroed<FCL_RS_PARAM_ALL>();
      if (io.getParamAll(all.get())) {
        const QString version = structVersionText(all->dwStructVersion);
        FUZZ_CHECK(version.count(QLatin1Char('.')) == 1);
      }
      break;
    }
    case 21: {
      // The lock text the scanner reports, compared with ours.
      FCL_LOCK_TEXT a{}, b{};
      const QByteArray x = input.take(sizeof a.szUUID);
      std::memcpy(a.szUUID, x.constData(), static_cast<std::size_t>(x.size()));
      std::memcpy(b.szUUID, a.szUUID, sizeof a.szUUID);
      FUZZ_CHECK(sameLockText(a, b));
      const QString text = platform::textFromField(a.szUUID);
      FUZZ_CHECK(sameLockText(makeLockText(text), makeLockText(text)));
      break;
    }
    case 22: {
      // Several reads on one connection: a broken transfer must not desynchronise the next.
      readRecord(io, &IOWrapper::getCapabilities);
      readRecord(io, &IOWrapper::getLanguage);
      keyList(io, true);
      break;
    }
    case 23: {
      const auto reply = scanner.host.device(scanner.index).controlReply;
      const bool granted = io.CtrlPipeLockScanner();
      FUZZ_CHECK(granted == (reply.size() >= 5 && reply[4] == 0));
      io.CtrlPipeUnlockScanner();
      break;
    }
  }
  io.closeScanner();
  FUZZ_CHECK(scanner.host.openInterfaces() == 0);
  FUZZ_CHECK(scanner.host.openDevices() == 0);
  return 0;
}
