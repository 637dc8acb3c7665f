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

  // The page's copy of the record.
  const FCL_RS_PARAM_NETWORK& netWLAN() const { return record(); }

  static const Variant kVariant;
};
