#pragma once
// The wired LAN page (view identifier "networkWiredLAN"): the TCP/IP settings of the scanner's
// wired interface, the settings block's sWiredLAN. Everything but its texts, its record and its
// DHCP poll's read (IOWrapper::getWiredLAN) is NetworkLANControllerBase's.

#include "Views/NetworkLANControllerBase.h"

class NetworkWiredLANControllerObjC : public NetworkLANControllerBase {
  Q_OBJECT

 public:
  explicit NetworkWiredLANControllerObjC(QWidget* parent = nullptr);
  ~NetworkWiredLANControllerObjC() override;

  static const Variant kVariant;
};
