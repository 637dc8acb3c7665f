#pragma once
// The scan-to-e-mail page (view identifier "scan2Email", listed for the network model): the scan
// options the scanner uses when it sends a scan by e-mail, one FCL_RS_PARAM_SCANPROFILE record
// (sParamAll.sScan2Email). The controls, their rules and the reading back are the scan-option
// editor's (ScanOptionEditor.h); the page adds its title and the page contract.
//
// setParam copies the record and the module flag into the editor and fills the controls;
// getParam and isDataChanged first read the controls into that copy. getParam then hands the
// whole 64 bytes back (reserved bytes and paper size as they came); isDataChanged compares the
// fields the editor shows plus the paper size, never the reserved bytes. isDataError is always 0.

#include <cstdint>

#include "IO/FCLSettings.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"
#include "Views/ScanOptionEditor.h"

class QLabel;
class Utilities;

class ScanToEmailControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit ScanToEmailControllerObjC(QWidget* parent = nullptr);
  ~ScanToEmailControllerObjC() override;

  // ---- Page contract (reads and writes sParamAll.sScan2Email and reads bIsB) ----------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;
  // What was written becomes what the controls the user leaves alone stand for.
  void saveAccepted() override;

  // ---- The same on the record itself ---------------------------------------------------------------
  void setParam(const FCL_RS_PARAM_SCANPROFILE& scan2Email, bool isB);
  void getParam(FCL_RS_PARAM_SCANPROFILE& scan2Email);
  bool isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2Email);

  // For tests and screenshots.
  ScanOptionEditor* editor() const { return m_editor; }
  const FCL_RS_PARAM_SCANPROFILE& scan2Email() const { return m_editor->copy(); }

 private:
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;

  Utilities& ut;
  PageTrace m_trace;
  QLabel* m_title = nullptr;
  ScanOptionEditor* m_editor = nullptr;
};
