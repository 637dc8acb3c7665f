#pragma once
// The eleven settings pages of the main window, in the order the main window creates them.
//
// storyboard identifier: what PageFactory creates the page by;
// view identifier:       the page's objectName(); the main window finds the page on show by it;
// title key:             the string-table key of the page's node in the source list;
// listed for:            in which model's source list the page has a node (all eleven pages
//                        are created for both models);
// field:                 the main window's member that holds the page;
// under network:         the node sits under the network group node (IDS_N_NETWORK).

#include <QString>
#include <array>
#include <cstddef>

namespace pages {

// ---- Storyboard identifiers --------------------------------------------------------------------
inline constexpr const char* kGeneralSetupStoryboard = "GeneralSetupViewController";
inline constexpr const char* kAddressBookStoryboard = "AddressBookViewController";
inline constexpr const char* kScanFileNameStoryboard = "ScanFileNameViewController";
inline constexpr const char* kScanToUSBStoryboard = "ScanToUSBViewController";
inline constexpr const char* kScanToEmailStoryboard = "ScanToEmailViewController";
inline constexpr const char* kScanToPCStoryboard = "ScanToPCViewController";
inline constexpr const char* kScanProfileStoryboard = "ScanProfileViewController";
inline constexpr const char* kWiredLANStoryboard = "NetworkWiredLANTCPIPViewController";
inline constexpr const char* kWLANStoryboard = "NetworkWLANTCPIPViewController";
inline constexpr const char* kEmailServerStoryboard = "NetworkEmailMailAddressViewController";
inline constexpr const char* kMachineInfoStoryboard = "MachineInfoViewController";

// ---- View identifiers (objectName of each page) ------------------------------------------------
inline constexpr const char* kGeneralSetupView = "generalSetup";
inline constexpr const char* kAddressBookView = "addressBook";
inline constexpr const char* kScanFileNameView = "scanFileName";
inline constexpr const char* kScanToUSBView = "scan2USB";
inline constexpr const char* kScanToEmailView = "scan2Email";
inline constexpr const char* kScanToPCView = "scan2PC";
inline constexpr const char* kScanProfileView = "scanProfile";
inline constexpr const char* kWiredLANView = "networkWiredLAN";
inline constexpr const char* kWLANView = "networkWLAN";
inline constexpr const char* kEmailServerView = "networkEmail";
inline constexpr const char* kMachineInfoView = "machineInfo";

// ---- Title keys of the source list ---------------------------------------------------------------
inline constexpr const char* kGeneralSetupTitle = "IDS_GS_GENERAL_SETUP";
inline constexpr const char* kAddressBookTitle = "IDS_AB_ADDRESS_BOOK";
inline constexpr const char* kScanFileNameTitle = "IDS_SFN_SCAN_FILE_NAME";
inline constexpr const char* kScanToUSBTitle = "IDS_P_SCAN_TO_USB";
inline constexpr const char* kScanToEmailTitle = "IDS_P_SCAN_TO_EMAIL";
inline constexpr const char* kScanToPCTitle = "IDS_P_SCAN_TO_PC";
inline constexpr const char* kScanProfileTitle = "IDS_SP_SCAN_PROFILE";
inline constexpr const char* kWiredLANTitle = "IDS_N_WIRED_LAN";
inline constexpr const char* kWLANTitle = "IDS_N_WLAN";
inline constexpr const char* kEmailServerTitle = "IDS_NE_EMAIL";
inline constexpr const char* kMachineInfoTitle = "IDS_MI_MACHINE_INFO";
// The group node of the three network pages (no page of its own).
inline constexpr const char* kNetworkTitle = "IDS_N_NETWORK";

// ---- Model names (the root of the source list) -----------------------------------------------------
inline constexpr const char* kNetworkModelName = "QMX-7315W";
inline constexpr const char* kUSBModelName = "QMX-7305";

enum class ListedFor { BothModels, NetworkModel };

struct PageInfo {
  const char* storyboardId;
  const char* viewId;
  const char* titleKey;
  ListedFor listedFor;
  const char* field;
  bool underNetwork;
};

inline constexpr std::array<PageInfo, 11> kPages{{
    {kGeneralSetupStoryboard, kGeneralSetupView, kGeneralSetupTitle, ListedFor::BothModels, "generalVC", false},
    {kAddressBookStoryboard, kAddressBookView, kAddressBookTitle, ListedFor::NetworkModel, "addressVC", false},
    {kScanFileNameStoryboard, kScanFileNameView, kScanFileNameTitle, ListedFor::BothModels, "filenameVC", false},
    {kScanToUSBStoryboard, kScanToUSBView, kScanToUSBTitle, ListedFor::BothModels, "scan2USBVC", false},
    {kScanToEmailStoryboard, kScanToEmailView, kScanToEmailTitle, ListedFor::NetworkModel, "scan2EmailVC", false},
    {kScanToPCStoryboard, kScanToPCView, kScanToPCTitle, ListedFor::BothModels, "scan2PCVC", false},
    {kScanProfileStoryboard, kScanProfileView, kScanProfileTitle, ListedFor::NetworkModel, "profileVC", false},
    {kWiredLANStoryboard, kWiredLANView, kWiredLANTitle, ListedFor::NetworkModel, "wiredLANVC", true},
    {kWLANStoryboard, kWLANView, kWLANTitle, ListedFor::NetworkModel, "wirelessLANVC", true},
    {kEmailServerStoryboard, kEmailServerView, kEmailServerTitle, ListedFor::NetworkModel, "emailVC", true},
    {kMachineInfoStoryboard, kMachineInfoView, kMachineInfoTitle, ListedFor::BothModels, "machineVC", false},
}};

// The row of a storyboard identifier or a view identifier; nullptr when no page has it.
const PageInfo* pageByStoryboardId(const QString& storyboardId);
const PageInfo* pageByViewId(const QString& viewId);
// The first row, in table order, whose localised title equals `title` exactly (a source-list
// node's name); nullptr for the root, the network group node or any other text.
const PageInfo* pageByTitle(const QString& title);

}  // namespace pages
