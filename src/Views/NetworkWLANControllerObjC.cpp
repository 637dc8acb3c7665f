#include "Views/NetworkWLANControllerObjC.h"

#include "IO/IOWrapper.h"
#include "Views/PageTable.h"

const NetworkLANControllerBase::Variant NetworkWLANControllerObjC::kVariant{
    "NetworkWLANControllerObjC",
    pages::kWLANView,
    "labelWLAN",
    "IDS_N_WLAN",
    "IDS_N_HINT_NETWORK_WLAN",
    "WLAN",
    {"Not valid IP", "Not valid Subnet mask", "Not valid Gateway", "Not valid WINS primary", "Not valid WINS secondary",
     "Not valid DNS primary", "Not valid DNS secondary"},
    &FCL_RS_PARAM_ALL::sWirelessLAN,
    &IOWrapper::getWirelessLAN,
};

NetworkWLANControllerObjC::NetworkWLANControllerObjC(QWidget* parent) : NetworkLANControllerBase(kVariant, parent) {}

NetworkWLANControllerObjC::~NetworkWLANControllerObjC() = default;
