#pragma once
// The USB framing layer: opens the scanner by vendor and product ID and turns each exchange
// phase into bulk transfers with their length checks. Every operation answers 0 for success and
// -1 for failure, except the two control-pipe requests, which answer -1 when the scanner granted
// the request and 0 otherwise.
//
// Time limits: every bulk transfer of an exchange gives up after bulkTransferTimeout()
// (kBulkTransferTimeout, 30 s, unless a test injects a shorter one). A transfer that runs out of
// time fails its phase like any failed transfer (-1), and it also closes the device: the
// scanner's late answer must never be read as the answer to the next command. From then on
//   - deviceLost() answers true, until the next OpenScanner / OpenScannerBNT / OpenScannerB;
//   - every exchange fails at once (-1, with the "m_pdev is null!" diagnostics), as after
//     CloseScanner; the lock requests answer 0; CloseScanner has nothing left to close (0).
// A caller that keeps the scanner open for a long time (the main window) checks deviceLost()
// after a failed exchange and treats the scanner as disconnected: it is reached again only by
// opening it again.

#include <chrono>
#include <cstdint>
#include <memory>

#include "IO/FCLCommand.h"

class CFISHUSBControl;

class Wraper {
 public:
  // How long one bulk transfer (a command, a status or a whole data phase) may take.
  static constexpr std::chrono::milliseconds kBulkTransferTimeout{30000};

  // The process-wide limit picked up by every Wraper constructed afterwards; answers the
  // previous one so a test can restore it. Values below 1 ms count as 1 ms.
  static std::chrono::milliseconds setDefaultBulkTransferTimeout(std::chrono::milliseconds timeout);
  static std::chrono::milliseconds defaultBulkTransferTimeout();

  Wraper();
  ~Wraper();
  Wraper(const Wraper&) = delete;
  Wraper& operator=(const Wraper&) = delete;

  int OpenScanner();     // the network model's product ID, then the USB-only model's
  int OpenScannerBNT();  // the network model's product ID only
  int OpenScannerB();    // the USB-only model's product ID only
  int CloseScanner();

  int SendCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status);  // command, then status
  int SendData(const void* data, uint32_t length);
  int GetData(void* data, uint32_t length);
  int Write2Command(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status, const void* data,
                    uint32_t length);  // command, data, status

  // Bytes the last status phase delivered (the scanner may answer with fewer than 32).
  uint32_t lastStatusBytes() const { return m_statusBytes; }

  int CtrlPipeLockScanner();    // -1 granted, 0 otherwise
  int CtrlPipeUnlockScanner();  // -1 granted, 0 otherwise

  // True after a bulk transfer ran out of time and closed the device (see the top of this
  // file); cleared by the next open.
  bool deviceLost() const;

  std::chrono::milliseconds bulkTransferTimeout() const { return m_bulkTimeout; }
  void setBulkTransferTimeout(std::chrono::milliseconds timeout);

 private:
  FCL_VENDOR_CMD m_sFISHCmd{};
  FCL_DEVICE_STATUS m_sFISHStatus{};
  std::unique_ptr<CFISHUSBControl> m_pobjUSB;
  uint32_t m_statusBytes = 0;
  std::chrono::milliseconds m_bulkTimeout;
};
