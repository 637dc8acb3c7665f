#include "IO/IOWrapper.h"

#include <algorithm>

#include "Model/Utilities.h"
#include "Socket/SocketWrapper.h"
#include "USB/Wraper.h"

namespace {
constexpr int32_t kTraceLevel = 0x20;  // command-layer trace
constexpr int32_t kErrorLevel = 0x02;  // errors
}  // namespace

// ---------------------------------------------------------------------------------------------
// Life

IOWrapper::IOWrapper(Utilities& ut)
    : m_socketWrapper(std::make_unique<SocketWrapper>()), m_usbWrapper(std::make_unique<Wraper>()), m_ut(ut) {}

IOWrapper::IOWrapper() : IOWrapper(Utilities::sharedInstance()) {}

// The transports go with the object; Wraper closes a USB device that is still open.
IOWrapper::~IOWrapper() = default;

// ---------------------------------------------------------------------------------------------
// Trace

void IOWrapper::funcEnter(const QString& name) const {
  m_ut.debugMsg(kTraceLevel, QStringLiteral(">>> IOWrapper::%@ ENTER"), name);
}

void IOWrapper::funcEnd(const QString& name) const {
  m_ut.debugMsg(kTraceLevel, QStringLiteral("<<< IOWrapper::%@ END"), name);
}

void IOWrapper::funcErr(const QString& name, const QString& message) const {
  m_ut.debugMsg(kErrorLevel, QStringLiteral("=== %@ ERROR: %@\n"), name, message);
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

bool IOWrapper::openScanner(const QString& ip) {
  const QString name = QStringLiteral("-[IOWrapper openScanner:]");
  funcEnter(name);
  m_ut.debugMsg(kTraceLevel, QStringLiteral("IP is %@"), ip);
  if (ip.isEmpty()) {
    m_bUSB = true;
    m_bOpen = m_usbWrapper->OpenScanner() == 0;
  } else {
    // Over the network "open" only records the address: every exchange makes its own connection.
    m_bUSB = false;
    m_socketWrapper->setIp(ip);
    m_bOpen = true;
  }
  if (m_bOpen) funcEnd(name);
  return m_bOpen;
}

bool IOWrapper::openUSBScannerBNT() {
  const QString name = QStringLiteral("-[IOWrapper openUSBScannerBNT]");
  funcEnter(name);
  m_bUSB = true;
  const bool ok = m_usbWrapper->OpenScannerBNT() == 0;
  if (ok) funcEnd(name);
  return ok;
}

bool IOWrapper::openUSBScannerB() {
  const QString name = QStringLiteral("-[IOWrapper openUSBScannerB]");
  funcEnter(name);
  m_bUSB = true;
  const bool ok = m_usbWrapper->OpenScannerB() == 0;
  if (ok) funcEnd(name);
  return ok;
}

bool IOWrapper::closeUSBScanner() {
  const QString name = QStringLiteral("-[IOWrapper closeUSBScanner]");
  funcEnter(name);
  const bool ok = m_usbWrapper->CloseScanner() == 0;
  if (ok) funcEnd(name);
  return ok;
}

bool IOWrapper::closeScanner() {
  const QString name = QStringLiteral("-[IOWrapper closeScanner]");
  funcEnter(name);
  const bool ok = m_usbWrapper->CloseScanner() == 0;
  m_bOpen = false;
  if (ok) funcEnd(name);
  return ok;
}

bool IOWrapper::isOpen() const {
  const QString name = QStringLiteral("-[IOWrapper isOpen]");
  funcEnter(name);
  funcEnd(name);
  // A USB transfer that ran out of time closed the device: it is no longer open, whatever the
  // last open said.
  return m_bOpen && !(m_bUSB && m_usbWrapper->deviceLost());
}

void IOWrapper::resetIP() {
  const QString name = QStringLiteral("-[IOWrapper resetIP]");
  funcEnter(name);
  m_ip.clear();
  funcEnd(name);
}

bool IOWrapper::CtrlPipeLockScanner() {
  const QString name = QStringLiteral("-[IOWrapper CtrlPipeLockScanner]");
  funcEnter(name);
  // The control pipe exists only on USB; Wraper answers -1 when the scanner granted the request.
  const bool ok = m_bUSB && m_usbWrapper->CtrlPipeLockScanner() == -1;
  if (ok) funcEnd(name);
  return ok;
}

bool IOWrapper::CtrlPipeUnlockScanner() {
  const QString name = QStringLiteral("-[IOWrapper CtrlPipeUnlockScanner]");
  funcEnter(name);
  const bool ok = m_bUSB && m_usbWrapper->CtrlPipeUnlockScanner() == -1;
  if (ok) funcEnd(name);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The exchange

void IOWrapper::setVendorCmd(uint8_t opcode, uint8_t dtc, uint16_t dtq, uint32_t length) {
  const QString name = QStringLiteral("-[IOWrapper setVendorCmd:FCLC:FCLD:Length:]");
  funcEnter(name);
  m_cmd = FCL_VENDOR_CMD{};
  m_status = FCL_DEVICE_STATUS{};
  m_cmd.dwVendorID = FCL_VENDOR_ID;
  m_cmd.byOPCode = opcode;
  m_cmd.byDTC = dtc;
  m_cmd.wDTQ = dtq;
  m_cmd.dwDataLength = length;
  funcEnd(name);
}

bool IOWrapper::execute(void* data) {
  const QString name = QStringLiteral("-[IOWrapper execute:]");
  funcEnter(name);
  m_ut.debugMsg(kTraceLevel, QStringLiteral("OPCode:%d FCLC:%d FCLD:%d Length:%d"), m_cmd.byOPCode, m_cmd.byDTC,
                m_cmd.wDTQ, m_cmd.dwDataLength);
  bool ok = false;
  switch (m_cmd.byOPCode) {
    case FOP_INQUIRY: ok = doFopInquiryCommand(); break;
    case FOP_COMMAND: ok = doFopCommandCommand(); break;
    case FOP_READ: ok = doFopReadCommand(data, m_cmd.dwDataLength); break;
    case FOP_WRITE: ok = doFopWriteCommand(data, m_cmd.dwDataLength); break;
    case FOP_WRITE2: ok = doFopWrite2Command(data, m_cmd.dwDataLength); break;
    default:
      funcErr(name, QStringLiteral("Undefined OPCode %1").arg(m_cmd.byOPCode));
      break;
  }
  noteExchange(ok);
  funcEnd(name);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The scanner's verdict

void IOWrapper::noteExchange(bool completed) {
  // Over TCP a status shorter than 32 bytes already fails the exchange; over USB the transport
  // keeps what arrived, and the count says whether it was whole.
  m_statusBytes = m_bUSB ? m_usbWrapper->lastStatusBytes()
                         : (completed ? uint32_t(sizeof(FCL_DEVICE_STATUS)) : 0u);
  CommandOutcome verdict;
  if (!completed) {
    verdict = CommandOutcome::failed();
  } else if (m_statusBytes < sizeof(FCL_DEVICE_STATUS)) {
    verdict.kind = CommandOutcome::Kind::ShortStatus;
  } else if (m_status.dwLastErr != 0) {
    verdict = CommandOutcome::refused(m_status.dwLastErr);
  }
  // A failed transfer has logged its own error line already.
  if (verdict.kind == CommandOutcome::Kind::Refused) {
    m_ut.debugMsg(kErrorLevel, QStringLiteral("=== -[IOWrapper execute:] refused: dwLastErr 0x%x\n"), m_status.dwLastErr);
  } else if (verdict.kind == CommandOutcome::Kind::ShortStatus) {
    m_ut.debugMsg(kErrorLevel, QStringLiteral("=== -[IOWrapper execute:] short status: %u bytes\n"), m_statusBytes);
  }
  m_stepVerdict &= verdict;
}

CommandOutcome IOWrapper::judge(const std::function<bool()>& step) {
  const CommandOutcome outer = m_stepVerdict;
  m_stepVerdict = CommandOutcome::accepted();
  const bool completed = step();
  CommandOutcome verdict = m_stepVerdict;
  if (!completed) verdict &= CommandOutcome::failed();
  m_stepVerdict = outer;
  m_stepVerdict &= verdict;
  return verdict;
}

CommandOutcome IOWrapper::judgeWithin(std::chrono::milliseconds limit, const std::function<bool()>& step) {
  const SocketWrapper::Limits socketLimits = m_socketWrapper->limits();
  const std::chrono::milliseconds bulkLimit = m_usbWrapper->bulkTransferTimeout();
  SocketWrapper::Limits shortLimits = socketLimits;
  for (std::chrono::milliseconds* l : {&shortLimits.connect, &shortLimits.send, &shortLimits.receive,
                                       &shortLimits.dataPhase})
    *l = std::min(*l, limit);
  m_socketWrapper->setLimits(shortLimits);
  m_usbWrapper->setBulkTransferTimeout(std::min(bulkLimit, limit));
  const CommandOutcome verdict = judge(step);
  m_socketWrapper->setLimits(socketLimits);
  m_usbWrapper->setBulkTransferTimeout(bulkLimit);
  return verdict;
}

uint32_t IOWrapper::lastError() const {
  const QString name = QStringLiteral("-[IOWrapper lastError]");
  funcEnter(name);
  funcEnd(name);
  return m_status.dwLastErr;
}

// ---------------------------------------------------------------------------------------------
// Phase steps. A TCP failure is reported by the transport itself; a USB failure here.

bool IOWrapper::doCommandOnly(const QString& name) {
  funcEnter(name);
  if (m_bUSB) {
    if (m_usbWrapper->SendCommand(&m_cmd, &m_status) != 0) {
      funcErr(name, QStringLiteral(" USB SendCommand ERROR!"));
      return false;
    }
  } else if (!m_socketWrapper->CMDCommand(&m_cmd, &m_status)) {
    return false;
  }
  funcEnd(name);
  return true;
}

bool IOWrapper::doFopInquiryCommand() { return doCommandOnly(QStringLiteral("-[IOWrapper doFopInquiryCommand]")); }

bool IOWrapper::doFopCommandCommand() { return doCommandOnly(QStringLiteral("-[IOWrapper doFopCommandCommand]")); }

bool IOWrapper::doFopReadCommand(void* data, uint32_t length) {
  const QString name = QStringLiteral("-[IOWrapper doFopReadCommand:Length:]");
  funcEnter(name);
  if (m_bUSB) {
    if (m_usbWrapper->SendCommand(&m_cmd, &m_status) != 0) {
      funcErr(name, QStringLiteral(" USB SendCommand ERROR!"));
      return false;
    }
    if (m_usbWrapper->GetData(data, length) != 0) {
      funcErr(name, QStringLiteral(" USB GetData ERROR!"));
      return false;
    }
  } else if (!m_socketWrapper->ReadCommand(&m_cmd, &m_status, data, length)) {
    return false;
  }
  funcEnd(name);
  return true;
}

bool IOWrapper::doFopWriteCommand(const void* data, uint32_t length) {
  const QString name = QStringLiteral("-[IOWrapper doFopWriteCommand:Length:]");
  funcEnter(name);
  if (m_bUSB) {
    if (m_usbWrapper->SendCommand(&m_cmd, &m_status) != 0) {
      funcErr(name, QStringLiteral(" USB SendCommand ERROR!"));
      return false;
    }
    if (m_usbWrapper->SendData(data, length) != 0) {
      funcErr(name, QStringLiteral(" USB SendData ERROR!"));
      return false;
    }
  } else if (!m_socketWrapper->WriteCommand(&m_cmd, &m_status, data, length)) {
    return false;
  }
  funcEnd(name);
  return true;
}

bool IOWrapper::doFopWrite2Command(const void* data, uint32_t length) {
  const QString name = QStringLiteral("-[IOWrapper doFopWrite2Command:Length:]");
  funcEnter(name);
  if (m_bUSB) {
    if (m_usbWrapper->Write2Command(&m_cmd, &m_status, data, length) != 0) {
      funcErr(name, QStringLiteral(" USB Write2Command ERROR!"));
      return false;
    }
  } else if (!m_socketWrapper->Write2Command(&m_cmd, &m_status, data, length)) {
    return false;
  }
  funcEnd(name);
  return true;
}
