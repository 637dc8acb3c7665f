#include "Views/NetworkWiredLANControllerObjC.h"

#include "IO/IOWrapper.h"
#include "Views/PageTable.h"

const NetworkLANControllerBase::Variant NetworkWiredLANControllerObjC::kVariant{
    "NetworkWiredLANControllerObjC",
    pages::kWiredLANView,
    "labelWiredLAN",
    "IDS_N_WIRED_LAN",
    "IDS_N_HINT_NETWORK_WIRED_LAN",
    "netWiredLAN",
    {"ERROR: Not valid ip", "ERROR: Not valid subnet mask!", "ERROR: Not valid gatway", "ERROR: Not valid WINS primary",
     "ERROR: Not valid WINS secondary", "ERROR: Not valid DNS primary", "ERROR: Not valid DNS secondary"},
    &FCL_RS_PARAM_ALL::sWiredLAN,
    &IOWrapper::getWiredLAN,
};

NetworkWiredLANControllerObjC::NetworkWiredLANControllerObjC(QWidget* parent)
    : NetworkLANControllerBase(kVariant, parent) {}

NetworkWiredLANControllerObjC::~NetworkWiredLANControllerObjC() = default;
