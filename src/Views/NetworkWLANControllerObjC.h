#pragma once
// The wireless LAN page (view identifier "networkWLAN"): the TCP/IP settings of the scanner's
// wireless interface, the settings block's sWirelessLAN. Everything but its texts, its record and
// its DHCP poll's read (IOWrapper::getWirelessLAN) is NetworkLANControllerBase's.

#include "Views/NetworkLANControllerBase.h"

class NetworkWLANControllerObjC : public NetworkLANControllerBase {
  Q_OBJECT

 public:
  explicit NetworkWLANControllerObjC(QWidget* parent = nullptr);
  ~NetworkWLANControllerObjC() override;

  static const Variant kVariant;
};
