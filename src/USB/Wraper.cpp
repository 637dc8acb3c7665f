// Placeholder until the USB device access lands: no scanner is ever found.
#include "USB/Wraper.h"

class CFISHUSBControl {};

Wraper::Wraper() = default;
Wraper::~Wraper() = default;
int Wraper::OpenScanner() { return -1; }
int Wraper::OpenScannerBNT() { return -1; }
int Wraper::OpenScannerB() { return -1; }
int Wraper::CloseScanner() { return -1; }
int Wraper::SendCommand(const FCL_VENDOR_CMD*, FCL_DEVICE_STATUS*) { return -1; }
int Wraper::SendData(const void*, uint32_t) { return -1; }
int Wraper::GetData(void*, uint32_t) { return -1; }
int Wraper::Write2Command(const FCL_VENDOR_CMD*, FCL_DEVICE_STATUS*, const void*, uint32_t) { return -1; }
int Wraper::CtrlPipeLockScanner() { return 0; }
int Wraper::CtrlPipeUnlockScanner() { return 0; }
