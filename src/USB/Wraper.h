#pragma once
// The USB framing layer: opens the scanner by vendor and product ID and turns each exchange
// phase into bulk transfers with their length checks. Every operation answers 0 for success and
// -1 for failure, except the two control-pipe requests, which answer -1 when the scanner granted
// the request and 0 otherwise.

#include <cstdint>
#include <memory>

#include "IO/FCLCommand.h"

class CFISHUSBControl;

class Wraper {
 public:
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

 private:
  FCL_VENDOR_CMD m_sFISHCmd{};
  FCL_DEVICE_STATUS m_sFISHStatus{};
  std::unique_ptr<CFISHUSBControl> m_pobjUSB;
  uint32_t m_statusBytes = 0;
};
