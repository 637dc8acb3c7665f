#include "Views/PageFactory.h"

#include "Views/AddressBookContactControllerObjC.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/AddressBookGroupControllerObjC.h"
#include "Views/GeneralSetupControllerObjC.h"
#include "Views/NetworkWLANControllerObjC.h"
#include "Views/NetworkWiredLANControllerObjC.h"
#include "Views/MachineInfoControllerObjC.h"
#include "Views/NetworkEmailControllerObjC.h"
#include "Views/PageTable.h"
#include "Views/ScanFileNameControllerObjC.h"
#include "Views/ScanProfileControllerObjC.h"
#include "Views/ScanProfileSettingControllerObjC.h"
#include "Views/ScanToEmailControllerObjC.h"
#include "Views/ScanToPCControllerObjC.h"
#include "Views/ScanToUSBControllerObjC.h"

PageFactory& PageFactory::standard() {
  static PageFactory* factory = [] {
    auto* f = new PageFactory;
    registerStandardPages(*f);
    return f;
  }();
  return *factory;
}

bool PageFactory::registerPage(const QString& storyboardId, Creator creator) {
  if (!creator || pages::pageByStoryboardId(storyboardId) == nullptr) return false;
  m_creators.insert(storyboardId, std::move(creator));
  return true;
}

std::unique_ptr<PageController> PageFactory::create(const QString& storyboardId, QWidget* parent) const {
  const pages::PageInfo* info = pages::pageByStoryboardId(storyboardId);
  const auto it = m_creators.constFind(storyboardId);
  if (info == nullptr || it == m_creators.constEnd()) return nullptr;
  std::unique_ptr<PageController> page = (*it)(parent);
  if (page) page->setObjectName(QString::fromLatin1(info->viewId));
  return page;
}

bool PageFactory::registerEditor(const QString& identifier, EditorCreator creator) {
  if (!creator) return false;
  m_editors.insert(identifier, std::move(creator));
  return true;
}

std::unique_ptr<QDialog> PageFactory::createEditor(const QString& identifier, QWidget* parent) const {
  const auto it = m_editors.constFind(identifier);
  if (it == m_editors.constEnd()) return nullptr;
  return (*it)(parent);
}

void registerStandardPages(PageFactory& factory) {
  // One line per page as it lands, e.g.
  //   factory.registerPage(pages::kGeneralSetupStoryboard,
  //                        [](QWidget* p) { return std::make_unique<GeneralSetupControllerObjC>(p); });
  factory.registerPage(pages::kGeneralSetupStoryboard, [](QWidget* p) { return std::make_unique<GeneralSetupControllerObjC>(p); });
  factory.registerPage(pages::kMachineInfoStoryboard, [](QWidget* p) { return std::make_unique<MachineInfoControllerObjC>(p); });
  factory.registerPage(pages::kScanFileNameStoryboard, [](QWidget* p) { return std::make_unique<ScanFileNameControllerObjC>(p); });
  factory.registerPage(pages::kEmailServerStoryboard, [](QWidget* p) { return std::make_unique<NetworkEmailControllerObjC>(p); });
  factory.registerPage(pages::kWiredLANStoryboard, [](QWidget* p) { return std::make_unique<NetworkWiredLANControllerObjC>(p); });
  factory.registerPage(pages::kWLANStoryboard, [](QWidget* p) { return std::make_unique<NetworkWLANControllerObjC>(p); });
  factory.registerPage(pages::kScanToEmailStoryboard, [](QWidget* p) { return std::make_unique<ScanToEmailControllerObjC>(p); });
  factory.registerPage(pages::kScanToUSBStoryboard, [](QWidget* p) { return std::make_unique<ScanToUSBControllerObjC>(p); });
  factory.registerPage(pages::kScanToPCStoryboard, [](QWidget* p) { return std::make_unique<ScanToPCControllerObjC>(p); });
  factory.registerPage(pages::kAddressBookStoryboard, [](QWidget* p) { return std::make_unique<AddressBookControllerObjC>(p); });
  factory.registerEditor(QString::fromLatin1(kAddressContactEditorId),
                         [](QWidget* p) { return std::make_unique<AddressBookContactControllerObjC>(p); });
  factory.registerEditor(QString::fromLatin1(kAddressGroupEditorId),
                         [](QWidget* p) { return std::make_unique<AddressBookGroupControllerObjC>(p); });
  factory.registerPage(pages::kScanProfileStoryboard, [](QWidget* p) { return std::make_unique<ScanProfileControllerObjC>(p); });
  factory.registerEditor(QString::fromLatin1(kScanProfileEditorId),
                         [](QWidget* p) { return std::make_unique<ScanProfileSettingControllerObjC>(p); });
  (void)factory;
}
