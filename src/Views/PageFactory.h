#pragma once
// Creates the settings pages by their storyboard identifier (Views/PageTable.h).
//
// Each page registers one creator for its identifier; create() runs it and gives the page the
// view identifier of its row as objectName(), whatever the creator set. An identifier that is
// not in the page table, or has no creator yet, creates nothing (nullptr): the main window then
// has no page for that node. Pages are registered in registerStandardPages() (PageFactory.cpp),
// one line per page, so no static-initialisation order or dropped object file can lose one.
//
// It also creates the pages' modal editors by their identifier (createEditor): a fresh editor for
// each opening, owned by the caller, or nullptr for an identifier without a creator.
//
// Main thread only (it creates widgets).

#include <QDialog>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>

#include "Views/PageController.h"

// The editors of the address-book page.
inline constexpr const char* kAddressContactEditorId = "VID_ADDRESS_CONTACT";
inline constexpr const char* kAddressGroupEditorId = "VID_ADDRESS_GROUP";
// The editor of the scan-profile page.
inline constexpr const char* kScanProfileEditorId = "VID_SCAN_PROFILE_SETTING";

class PageFactory {
 public:
  using Creator = std::function<std::unique_ptr<PageController>(QWidget* parent)>;
  using EditorCreator = std::function<std::unique_ptr<QDialog>(QWidget* parent)>;

  // The factory the main window uses, with every page registered that exists.
  static PageFactory& standard();

  // Registers (or replaces) the creator of `storyboardId`. False, and nothing registered, when the
  // identifier is not in the page table or the creator is empty.
  bool registerPage(const QString& storyboardId, Creator creator);
  bool isRegistered(const QString& storyboardId) const { return m_creators.contains(storyboardId); }

  // A new page for `storyboardId`, or nullptr (unknown identifier, no creator, or the creator
  // made nothing). The caller owns the page.
  std::unique_ptr<PageController> create(const QString& storyboardId, QWidget* parent = nullptr) const;

  // Registers (or replaces) the creator of the editor `identifier`; false for an empty creator.
  bool registerEditor(const QString& identifier, EditorCreator creator);
  // A new editor, or nullptr (no creator, or the creator made nothing). The caller owns it.
  std::unique_ptr<QDialog> createEditor(const QString& identifier, QWidget* parent = nullptr) const;

 private:
  QHash<QString, Creator> m_creators;
  QHash<QString, EditorCreator> m_editors;
};

// Registers every page and editor that exists into `factory`.
void registerStandardPages(PageFactory& factory);
