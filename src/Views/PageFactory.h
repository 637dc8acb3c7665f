#pragma once
// Creates the settings pages by their storyboard identifier (Views/PageTable.h).
//
// Each page registers one creator for its identifier; create() runs it and gives the page the
// view identifier of its row as objectName(), whatever the creator set. An identifier that is
// not in the page table, or has no creator yet, creates nothing (nullptr): the main window then
// has no page for that node. Pages are registered in registerStandardPages() (PageFactory.cpp),
// one line per page, so no static-initialisation order or dropped object file can lose one.
//
// Main thread only (it creates widgets).

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

#include "Views/PageController.h"

class PageFactory {
 public:
  using Creator = std::function<std::unique_ptr<PageController>(QWidget* parent)>;

  // The factory the main window uses, with every page registered that exists.
  static PageFactory& standard();

  // Registers (or replaces) the creator of `storyboardId`. False, and nothing registered, when the
  // identifier is not in the page table or the creator is empty.
  bool registerPage(const QString& storyboardId, Creator creator);
  bool isRegistered(const QString& storyboardId) const { return m_creators.contains(storyboardId); }

  // A new page for `storyboardId`, or nullptr (unknown identifier, no creator, or the creator
  // made nothing). The caller owns the page.
  std::unique_ptr<PageController> create(const QString& storyboardId, QWidget* parent = nullptr) const;

 private:
  QHash<QString, Creator> m_creators;
};

// Registers every page that exists into `factory`.
void registerStandardPages(PageFactory& factory);
