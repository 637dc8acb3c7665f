#pragma once
// What the wired and the wireless LAN pages share: the TCP/IP settings of one network interface
// of the scanner (FCL_RS_PARAM_NETWORK, one of the settings block's sWiredLAN / sWirelessLAN).
// The two pages (NetworkWiredLANControllerObjC, NetworkWLANControllerObjC) differ only in the
// texts, the record and the scanner read of their Variant.
//
// The page follows the page contract (PageController.h). setParam copies the interface's record
// and keeps the command layer; getParam and isDataChanged first apply the controls to the copy
// (applyData). What the controls hold:
//
//   control                         record field                      note
//   ------------------------------  --------------------------------  ----------------------------
//   boot-method pop-up              byBootMethod (0 static, 1 DHCP)   other values: no selection
//   WINS-configuration pop-up       byWINSConfig (0 auto, 1 static)   other values: no selection
//   APIPA pop-up                    byAPIPA (0 off, 1 on)             other values: no selection
//   node-name field (read-only)     szNodeName
//   4 octet fields per address      szIPAddress, szSubnetMask,        "%d.%d.%d.%d"; one empty
//                                   szGateway, szWINSServerPrimary,   octet field: the empty text
//                                   szWINSServerSecondary,
//                                   szDNSServerPrimary, szDNSServerSecondary
//
// A pop-up without a selection leaves its field as stored. The node name cannot be edited, so
// its stored bytes are written back as they are. Every other field keeps the scanner's value.
// A stored address that is empty or not four dot-separated parts shows four empty fields (and,
// for both, an error line at level 0x02); a part that is not a number shows 0.
//
// An address none of whose four octet fields the user changed since the page was last filled
// (setParam or the DHCP poll's refill; FilledValues.h) keeps its 40 stored bytes as read,
// whatever they hold ("a.b.c.d", "1.2.3", "010.0.0.1", bytes that are not UTF-8, no NUL, bytes
// after the NUL): the fields show such a text only approximately, and it is neither rewritten
// nor counted as a change. An address the user changed is either empty (all four octet fields
// empty: the empty text is stored) or four fields of digits, each 0 to 255, stored as
// "%d.%d.%d.%d". An address in any other form (one to three fields empty, "300", "-1", eleven
// digits) is never written: it keeps the stored text, and the error check refuses it first.
//
// Typing filter of the octet fields: while the text is not empty and not a number, its last
// character goes (platform::numericStringFromString: "12a" becomes "12").
//
// Error check (isDataError): an address the user changed since the page was last filled
// (setParam or the DHCP poll's refill; FilledValues.h) that is neither empty nor four octets of
// 0-255 in digits answers 2, with its first offending field (an empty one, or one that is not
// an octet) taking the keyboard focus. Addresses are checked in the page's order. A stored
// address is never checked (untouched values never block). The node name cannot be edited and
// is never checked.
//
// DHCP poll: when getParam hands back DHCP while the main window's record still holds another
// boot method, the page arms a poll and keeps the record it handed back (which must outlive the
// poll: the main window's record does). Each tick (kDHCPPollInterval) first looks at that record:
// when it no longer holds DHCP, the main window's write of the switch failed or was undone, and
// the poll ends without reading. Otherwise the page reads the interface's record from the scanner
// with its own short limit (kDHCPPollReadLimit, on the socket's connect/send/receive/data phase
// and on USB bulk transfers; the transports' limits are restored after the read), judged as every
// command is:
//   - a read that did not complete (failed, refused, timed out) ends the poll and tells the user,
//     once, that the scanner must be reconnected because its address may have changed
//     (IDS_N_DHCP_RECONNECT_MSG / IDS_N_DHCP_RECONNECT_INFO); nothing of it is applied;
//   - a completed read with byDHCPGetIP 1 replaces the page's copy and refills the controls,
//     except the controls the user changed since the poll started, which keep what was typed;
//     the poll ends;
//   - after kDHCPPollMaxTimes ticks the poll ends.
// The poll changes only the page's copy, never the main window's records. One poll runs at a
// time: a new one replaces a running one. Refilling the page (setParam), leaving it (the page is
// hidden) and destroying it end the poll.
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>

#include "IO/FCLRecords.h"
#include "Views/FilledValues.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class IOWrapper;
class QLabel;
class QLineEdit;
class QTimer;
class Utilities;

namespace platform {
class PopUpButton;
}

class NetworkLANControllerBase : public PageController {
  Q_OBJECT

 public:
  // The points in which the two pages differ.
  struct Variant {
    const char* className;        // in the trace lines' operation names
    const char* viewId;
    const char* titleLabelName;   // objectName of the title label
    const char* titleKey;
    const char* hintKey;
    const char* changePrefix;     // of the change lines of isDataChanged
    std::array<const char*, 7> addressErrors;  // initUI's error texts, in address order
    FCL_RS_PARAM_NETWORK FCL_RS_PARAM_ALL::*record;
    bool (IOWrapper::*read)(FCL_RS_PARAM_NETWORK*);
  };

  static constexpr std::chrono::milliseconds kDHCPPollInterval{1000};
  static constexpr int kDHCPPollMaxTimes = 21;
  static constexpr int kAddressCount = 7;
  // The limit of each poll read: a scanner whose address changed must not hold the window.
  static constexpr std::chrono::milliseconds kDHCPPollReadLimit{500};

  ~NetworkLANControllerBase() override;

  // ---- Page contract ----------------------------------------------------------------------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;

  // ---- The same on the interface's record ------------------------------------------------------------
  void setParam(const FCL_RS_PARAM_NETWORK& record, IOWrapper* io);
  void getParam(FCL_RS_PARAM_NETWORK& record);
  bool isDataChanged(const FCL_RS_PARAM_NETWORK& record);

  // ---- The controls (for tests and screenshots) ------------------------------------------------------
  using OctetFields = std::array<QLineEdit*, 4>;
  struct Controls {
    QLabel* labelTitle;  // labelWiredLAN / labelWLAN
    QLabel* labelBOOTMethod;
    QLabel* labelIPAddress;
    QLabel* labelSubnetMask;
    QLabel* labelGateway;
    QLabel* labelNodeName;
    QLabel* labelWINSConfig;
    QLabel* labelWINSServer;
    QLabel* labelWINSPrimary;
    QLabel* labelWINSSecondary;
    QLabel* labelDNSServer;
    QLabel* labelDNSPrimary;
    QLabel* labelDNSSecondary;
    QLabel* labelAPIPA;
    QLabel* labelHint;
    platform::PopUpButton* popupBootMethod;
    platform::PopUpButton* popupWINSConfig;
    platform::PopUpButton* popupAPIPA;
    QLineEdit* textNodeName;
    OctetFields textIP;
    OctetFields textSubnetMask;
    OctetFields textGateway;
    OctetFields textWINSPrimary;
    OctetFields textWINSSecondary;
    OctetFields textDNSPrimary;
    OctetFields textDNSSecondary;
  };
  const Controls& controls() const { return m_ui; }

  // ---- The DHCP poll ----------------------------------------------------------------------------------
  // Tests shorten the interval; a running poll keeps its own.
  void setDHCPPollInterval(std::chrono::milliseconds interval) { m_pollInterval = interval; }
  bool isPollingDHCP() const;
  int32_t updateDHCPTimes() const { return nUpdateDHCPTimes; }

 protected:
  NetworkLANControllerBase(const Variant& variant, QWidget* parent);
  void hideEvent(QHideEvent* event) override;

 private slots:
  void controlTextDidChange(QLineEdit* field);
  void updateDHCP();

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  void applyData();
  // True when the user changed any of an address's four fields since the page was last filled.
  bool addressEdited(const OctetFields& fields) const;
  void stopDHCPPoll();
  // One poll read under kDHCPPollReadLimit; judged.
  bool readForPoll(FCL_RS_PARAM_NETWORK& buffer);
  bool stringIsNumber(const QString& text);
  QString numericStringFromString(const QString& text);

  QString op(const char* selector) const;
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  const Variant& m_variant;
  Controls m_ui{};
  IOWrapper* pIOWrapper = nullptr;
  Utilities& ut;
  FCL_RS_PARAM_NETWORK m_net{};
  int32_t nUpdateDHCPTimes = 0;
  QTimer* updateDHCPTimer = nullptr;
  std::chrono::milliseconds m_pollInterval = kDHCPPollInterval;
  // The record getParam handed DHCP to (the main window's), while a poll is armed.
  const FCL_RS_PARAM_NETWORK* m_switchedRecord = nullptr;
  // What the controls showed when the poll started: the user's later edits are kept.
  FilledValues m_atPollStart;
  // The octet fields as the page was last filled with them.
  FilledValues m_filled;
  PageTrace m_trace;
};
