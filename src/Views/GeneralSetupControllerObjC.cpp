#include "Views/GeneralSetupControllerObjC.h"
#include "Views/PageLayout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;

QString op(const char* selector) { return PageTrace::operationName("GeneralSetupControllerObjC", selector); }

// ---- Pop-up items ----------------------------------------------------------------------------------
// Auto power off: item index -> minutes.
constexpr std::array<uint32_t, 5> kAutoPowerOffMinutes{0, 60, 120, 240, 480};
const char* const kAutoPowerOffKeys[] = {"IDS_GS_OFF", "IDS_GS_1HOUR", "IDS_GS_2HOURS", "IDS_GS_4HOURS",
                                         "IDS_GS_8HOURS"};
const char* const kBacklightKeys[] = {"IDS_GS_LIGHT", "IDS_GS_MED", "IDS_GS_DARK"};
const char* const kNetworkKeys[] = {"IDS_GS_OFF", "IDS_N_WIRED_LAN", "IDS_N_WLAN", "IDS_N_AUTO"};

// The panel languages: fixed titles, not translated. Items 23/24 and 3/34 share a title.
const char* const kLanguageTitles[GeneralSetupControllerObjC::kLanguageItems] = {
    "English (US)", "English (UK)", "Deutsch",    "Français",   "Italiano",      "Español",
    "Português",    "Nederlands",   "Norsk",      "Svenska",    "Suomi",         "Dansk",
    "Русский",      "Ukrainian",    "Cesky",      "Magyar",     "Polski",        "Български",
    "Română",       "Slovensky",    "Hrvatski",   "Slovenscina", "Serbian",      "中文",
    "中文",         "日本語",       "한국어",     "Türkçe",     "Arabic",        "Indonesia",
    "Thai",         "Vietnamese",   "Español (US)", "Port.Do Brazil", "Français",
};
// The language items without a capability bit: the page never shows or hides them; the layout
// keeps them hidden, since nothing tells whether the scanner offers them.
constexpr std::array<int, 5> kLanguagesWithoutCapability{13, 22, 28, 30, 31};

bool hasCapabilityBit(int index) {
  for (int i : kLanguagesWithoutCapability)
    if (i == index) return false;
  return true;
}

// Country codes whose scanners offer automatic daylight-saving time.
constexpr std::array<uint32_t, 4> kDaylightCountries{1, 3, 4, 57};

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

QLabel* makeLabel(QWidget* parent) { return pagelayout::plainLabel(parent); }

QLineEdit* makeNumberField(QWidget* parent, int width) {
  auto* field = new QLineEdit(parent);
  field->setAlignment(Qt::AlignRight);
  field->setFixedWidth(width);
  return field;
}

// Two radios in a row, exclusive between themselves only.
QWidget* radioPair(QWidget* parent, QRadioButton*& first, QRadioButton*& second) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  first = new QRadioButton(row);
  second = new QRadioButton(row);
  layout->addWidget(first);
  layout->addWidget(second);
  layout->addStretch(1);
  auto* group = new QButtonGroup(row);
  group->addButton(first);
  group->addButton(second);
  return row;
}

QFormLayout* makeForm(QGroupBox* group) {
  auto* form = new QFormLayout(group);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  return form;
}

// The shown text of a stored edge offset (tenths): the value / 10 as a single-precision number.
QString edgeText(int16_t tenths) { return QString::number(static_cast<float>(tenths) / 10.0f, 'g', 6); }

// The stored tenths of an edge field: its number x 10 in single precision, truncated toward
// zero. A field that passed the error check gives -20 to 20; any other text is clamped into the
// 16 bits rather than wrapped.
int16_t edgeTenths(const QLineEdit* field) {
  const float tenths = std::trunc(platform::floatValue(field->text()) * 10.0f);
  return static_cast<int16_t>(std::clamp(tenths, -32768.0f, 32767.0f));
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

GeneralSetupControllerObjC::GeneralSetupControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kGeneralSetupView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  buildLayout();
  initLocalizedString();
  // The typing filter belongs to the sleep-time field alone; textEdited is the user's typing only.
  connect(m_ui.textSleepTime, &QLineEdit::textEdited, this, &GeneralSetupControllerObjC::controlTextDidChange);
  connect(m_ui.stepperSleepTime, &platform::Stepper::activated, this,
          &GeneralSetupControllerObjC::sleepStepperClicked);
  connect(m_ui.radioDaylightOn, &QRadioButton::clicked, this, &GeneralSetupControllerObjC::radioOpenPressed);
  connect(m_ui.radioDaylightOff, &QRadioButton::clicked, this, &GeneralSetupControllerObjC::radioClosePressed);
  connect(m_ui.radioUTCp, &QRadioButton::clicked, this, &GeneralSetupControllerObjC::radioUTCpPressed);
  connect(m_ui.radioUTCm, &QRadioButton::clicked, this, &GeneralSetupControllerObjC::radioUTCmPressed);
  connect(m_ui.radio12hClock, &QRadioButton::clicked, this, &GeneralSetupControllerObjC::radio12hClockPresed);
  connect(m_ui.radio24hClock, &QRadioButton::clicked, this, &GeneralSetupControllerObjC::radio24hClockPresed);
  funcEnd(name);
}

GeneralSetupControllerObjC::~GeneralSetupControllerObjC() = default;

void GeneralSetupControllerObjC::buildLayout() {
  QVBoxLayout* page = pagelayout::scrollingContent(this, 8);
  QWidget* content = page->parentWidget();

  m_ui.labelTitle = pagelayout::titleLabel(content);
  page->addWidget(m_ui.labelTitle);

  auto* columns = new QHBoxLayout;
  columns->setSpacing(10);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  left->setSpacing(8);
  right->setSpacing(8);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  page->addLayout(columns);
  page->addStretch(1);

  // Power: sleep time with its stepper and unit, auto power off.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupPower"));
    QFormLayout* form = makeForm(group);
    m_ui.labelSleepTime = makeLabel(group);
    auto* row = new QWidget(group);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(2);
    m_ui.textSleepTime = makeNumberField(row, 48);
    m_ui.stepperSleepTime = new platform::Stepper(row);
    m_ui.stepperSleepTime->setRange(kSleepTimeMin, kSleepTimeMax);
    m_ui.stepperSleepTime->setIncrement(kSleepTimeIncrement);
    m_ui.stepperSleepTime->setFixedHeight(m_ui.textSleepTime->sizeHint().height());
    m_ui.labelSleepUnit = makeLabel(row);
    rowLayout->addWidget(m_ui.textSleepTime);
    rowLayout->addWidget(m_ui.stepperSleepTime);
    rowLayout->addSpacing(4);
    rowLayout->addWidget(m_ui.labelSleepUnit);
    rowLayout->addStretch(1);
    form->addRow(m_ui.labelSleepTime, row);
    m_ui.labelAutoPowerOff = makeLabel(group);
    m_ui.popupAutoPowerOff = new platform::PopUpButton(group);
    for (int i = 0; i < int(kAutoPowerOffMinutes.size()); ++i) m_ui.popupAutoPowerOff->addItem(QString());
    form->addRow(m_ui.labelAutoPowerOff, m_ui.popupAutoPowerOff);
    left->addWidget(group);
    m_groupPower = group;
  }

  // Date and time: clock source, clock type, time zone, daylight saving.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupDateTime"));
    m_ui.groupDateTime = group;
    QFormLayout* form = makeForm(group);
    m_dateTimeForm = form;
    m_ui.chkFromPCClock = new QCheckBox(group);
    form->addRow(m_ui.chkFromPCClock);
    m_ui.labelClockType = makeLabel(group);
    form->addRow(m_ui.labelClockType, radioPair(group, m_ui.radio12hClock, m_ui.radio24hClock));
    m_ui.labelTimeZone = makeLabel(group);
    form->addRow(m_ui.labelTimeZone, radioPair(group, m_ui.radioUTCp, m_ui.radioUTCm));
    m_ui.popupTimeZone = new platform::PopUpButton(group);
    for (int i = 0; i < kTimeZoneItems; ++i)
      m_ui.popupTimeZone->addItem(QStringLiteral("UTC %1:%2").arg(i / 2, 2, 10, QChar(u'0')).arg(i % 2 ? 30 : 0, 2, 10,
                                                                                                    QChar(u'0')));
    form->addRow(QString(), m_ui.popupTimeZone);
    m_ui.labelDaylight = makeLabel(group);
    m_daylightRow = form->rowCount();
    form->addRow(m_ui.labelDaylight, radioPair(group, m_ui.radioDaylightOn, m_ui.radioDaylightOff));
    left->addWidget(group);
  }
  // Network interface choice with its hint.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupNetwork"));
    m_ui.groupNetwork = group;
    QFormLayout* form = makeForm(group);
    m_ui.labelNetworkOption = makeLabel(group);
    m_ui.popupNetwork = new platform::PopUpButton(group);
    for (int i = 0; i < int(std::size(kNetworkKeys)); ++i) m_ui.popupNetwork->addItem(QString());
    form->addRow(m_ui.labelNetworkOption, m_ui.popupNetwork);
    m_ui.labelNetworkHint = makeLabel(group);
    m_ui.labelNetworkHint->setWordWrap(true);
    QFont hintFont = m_ui.labelNetworkHint->font();
    hintFont.setPointSizeF(hintFont.pointSizeF() * 0.9);
    m_ui.labelNetworkHint->setFont(hintFont);
    form->addRow(m_ui.labelNetworkHint);
    left->addWidget(group);
  }

  left->addStretch(1);

  // Panel: language, backlight, dim timer.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupPanel"));
    m_ui.groupPanel = group;
    QFormLayout* form = makeForm(group);
    m_ui.labelLanguage = makeLabel(group);
    m_ui.popupLanguage = new platform::PopUpButton(group);
    for (const char* title : kLanguageTitles) m_ui.popupLanguage->addItem(QString::fromUtf8(title));
    for (int i : kLanguagesWithoutCapability) m_ui.popupLanguage->setItemHidden(i, true);
    form->addRow(m_ui.labelLanguage, m_ui.popupLanguage);
    m_ui.labelBacklight = makeLabel(group);
    m_ui.popupBacklight = new platform::PopUpButton(group);
    for (int i = 0; i < int(std::size(kBacklightKeys)); ++i) m_ui.popupBacklight->addItem(QString());
    form->addRow(m_ui.labelBacklight, m_ui.popupBacklight);
    m_ui.labelDimTimer = makeLabel(group);
    m_ui.popupDimTimer = new platform::PopUpButton(group);
    for (int i = 0; i < kDimTimerItems; ++i) m_ui.popupDimTimer->addItem(QString());
    form->addRow(m_ui.labelDimTimer, m_ui.popupDimTimer);
    right->addWidget(group);
  }

  // Edge correction: top and bottom columns, Y, X and tail rows.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupEdge"));
    m_groupEdge = group;
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    m_labelEdgeTop = makeLabel(group);
    m_labelEdgeBottom = makeLabel(group);
    grid->addWidget(m_labelEdgeTop, 0, 1, Qt::AlignHCenter);
    grid->addWidget(m_labelEdgeBottom, 0, 2, Qt::AlignHCenter);
    QLineEdit** fields[3][2] = {{&m_ui.textTopY, &m_ui.textBtmY},
                                {&m_ui.textTopX, &m_ui.textBtmX},
                                {&m_ui.textTopTail, &m_ui.textBtmTail}};
    for (int row = 0; row < 3; ++row) {
      m_labelEdgeRows[row] = makeLabel(group);
      grid->addWidget(m_labelEdgeRows[row], row + 1, 0, Qt::AlignRight);
      for (int column = 0; column < 2; ++column) {
        *fields[row][column] = makeNumberField(group, 64);
        grid->addWidget(*fields[row][column], row + 1, column + 1, Qt::AlignHCenter);
      }
    }
    m_labelEdgeHint = makeLabel(group);
    grid->addWidget(m_labelEdgeHint, 4, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    right->addWidget(group);
  }
  right->addStretch(1);

}

void GeneralSetupControllerObjC::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelTitle->setText(localized("IDS_GS_GENERAL_SETUP"));
  m_groupPower->setTitle(localized("IDS_GS_POWER"));
  m_ui.labelSleepTime->setText(pagelayout::labelText("IDS_GS_SLEEP_TIME"));
  m_ui.labelSleepUnit->setText(localized("IDS_GS_MINS_10_59"));
  m_ui.labelAutoPowerOff->setText(pagelayout::labelText("IDS_GS_AUTO_POWER_OFF"));
  for (int i = 0; i < int(std::size(kAutoPowerOffKeys)); ++i)
    m_ui.popupAutoPowerOff->setItemTitle(i, localized(kAutoPowerOffKeys[i]));

  m_ui.groupDateTime->setTitle(localized("IDS_GS_DATE_N_TIME"));
  m_ui.chkFromPCClock->setText(localized("IDS_GS_FROM_PC_CLOCK"));
  m_ui.labelClockType->setText(pagelayout::labelText("IDS_GS_CLOCK_TYPE"));
  m_ui.radio12hClock->setText(localized("IDS_GS_CLOCK_12HR"));
  m_ui.radio24hClock->setText(localized("IDS_GS_CLOCK_24HR"));
  m_ui.labelTimeZone->setText(pagelayout::labelText("IDS_GS_TIME_ZONE"));
  m_ui.radioUTCp->setText(QStringLiteral("UTC+"));
  m_ui.radioUTCm->setText(QStringLiteral("UTC-"));
  m_ui.labelDaylight->setText(pagelayout::labelText("IDS_GS_AUTO_DAYLIGHT"));
  m_ui.radioDaylightOn->setText(localized("IDS_GS_ON"));
  m_ui.radioDaylightOff->setText(localized("IDS_GS_OFF"));

  m_ui.groupPanel->setTitle(localized("IDS_GS_PANEL"));
  m_ui.labelLanguage->setText(pagelayout::labelText("IDS_GS_LOCAL_LANGUAGE"));
  m_ui.labelBacklight->setText(pagelayout::labelText("IDS_GS_BACKLIGHT"));
  for (int i = 0; i < int(std::size(kBacklightKeys)); ++i) m_ui.popupBacklight->setItemTitle(i, localized(kBacklightKeys[i]));
  m_ui.labelDimTimer->setText(pagelayout::labelText("IDS_GS_DIM_TIMER"));
  m_ui.popupDimTimer->setItemTitle(0, localized("IDS_GS_OFF"));
  const QString seconds = localized("IDS_GS_DIM_SECONDS");
  for (int i = 1; i < kDimTimerItems; ++i) m_ui.popupDimTimer->setItemTitle(i, platform::formatText(seconds, {i}));

  m_ui.groupNetwork->setTitle(localized("IDS_N_NETWORK"));
  m_ui.labelNetworkOption->setText(pagelayout::labelText("IDS_GS_NETWORK_OPTION"));
  for (int i = 0; i < int(std::size(kNetworkKeys)); ++i) m_ui.popupNetwork->setItemTitle(i, localized(kNetworkKeys[i]));
  m_ui.labelNetworkHint->setText(localized("IDS_GS_HINT_NETWORK_OPTION"));

  m_groupEdge->setTitle(localized("IDS_GS_EDGE_CORRECTION"));
  m_labelEdgeTop->setText(localized("IDS_GS_EDGE_TOP"));
  m_labelEdgeBottom->setText(localized("IDS_GS_EDGE_BOTTOM"));
  m_labelEdgeRows[0]->setText(pagelayout::labelText("IDS_GS_EDGE_Y_OFFSET"));
  m_labelEdgeRows[1]->setText(pagelayout::labelText("IDS_GS_EDGE_X_OFFSET"));
  m_labelEdgeRows[2]->setText(pagelayout::labelText("IDS_GS_EDGE_TAIL_OFFSET"));
  m_labelEdgeHint->setText(localized("IDS_GS_EDGE_RANGE"));
  funcEnd(name);
}

// ---- Showing ("viewDidAppear" / "viewDidDisappear") ---------------------------------------------------

void GeneralSetupControllerObjC::showEvent(QShowEvent* event) {
  const QString name = op("viewDidAppear");
  funcEnter(name);
  PageController::showEvent(event);
  setupB_UI();
  funcEnd(name);
}

void GeneralSetupControllerObjC::hideEvent(QHideEvent* event) {
  const QString name = op("viewDidDisappear");
  funcEnter(name);
  PageController::hideEvent(event);
  funcEnd(name);
}

void GeneralSetupControllerObjC::setupB_UI() {
  const QString name = op("setupB_UI");
  funcEnter(name);
  if (bIsB) {
    // The USB-only model has no panel settings and no network: their rows go, and the date and
    // time rows close up beneath the power rows.
    for (QWidget* w : {static_cast<QWidget*>(m_ui.labelLanguage), static_cast<QWidget*>(m_ui.popupLanguage),
                       static_cast<QWidget*>(m_ui.labelBacklight), static_cast<QWidget*>(m_ui.popupBacklight),
                       static_cast<QWidget*>(m_ui.labelDimTimer), static_cast<QWidget*>(m_ui.popupDimTimer),
                       static_cast<QWidget*>(m_ui.labelNetworkOption), static_cast<QWidget*>(m_ui.popupNetwork),
                       static_cast<QWidget*>(m_ui.labelNetworkHint), static_cast<QWidget*>(m_ui.groupPanel),
                       static_cast<QWidget*>(m_ui.groupNetwork)})
      w->hide();
  }
  funcEnd(name);
}

// ---- Contract ------------------------------------------------------------------------------------------

void GeneralSetupControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.sParamAll, state.sLampState, state.byLanguage, state.sFactoryDef, state.bIsB);
}

bool GeneralSetupControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll, state.sLampState, state.byLanguage);
  return true;
}

bool GeneralSetupControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll, state.sLampState, state.byLanguage);
}

void GeneralSetupControllerObjC::setParam(const FCL_RS_PARAM_ALL& all, const FCL_LAMP_STATE& lamp, uint8_t language,
                                          const FCL_RS_FACTORY_DEFSETTING& def, bool isB) {
  const QString name = op("setParam:lamp:language:factoryDefSetting:module:");
  funcEnter(name);
  std::memcpy(&paramAll, &all, sizeof paramAll);
  std::memcpy(&lampState, &lamp, sizeof lampState);
  std::memcpy(&factoryDef, &def, sizeof factoryDef);
  // The pop-up shows the block's language; the language record goes back as handed over unless
  // the user picks one.
  byLanguage = static_cast<uint8_t>(paramAll.sGeneral.sPanel.dwPanelLangCur & 0xFFu);
  m_languageRecord = language;
  bIsB = isB;
  initUI();
  bindFields();
  // Hidden as soon as the model is known, so the page never shows those rows even for a moment;
  // showing the page runs it again.
  setupB_UI();
  funcEnd(name);
}

void GeneralSetupControllerObjC::getParam(FCL_RS_PARAM_ALL& all, FCL_LAMP_STATE& lamp, uint8_t& language) {
  const QString name = op("getParam:lamp:language:");
  funcEnter(name);
  applyData();
  // The scanner takes its clock from this computer's time that the main window sends next.
  if (m_ui.chkFromPCClock->isChecked()) paramAll.sGeneral.sDateTime.bySetTimeMethod = 0;
  std::memcpy(&all, &paramAll, sizeof paramAll);
  std::memcpy(&lamp, &lampState, sizeof lampState);
  language = m_languageRecord;
  funcEnd(name);
}

bool GeneralSetupControllerObjC::isDataChanged(const FCL_RS_PARAM_ALL& all, const FCL_LAMP_STATE& lamp,
                                               uint8_t language) {
  const QString name = op("isDataChanged:lamp:language:");
  funcEnter(name);
  applyData();
  bool changed = false;
  if (const int diff = std::memcmp(&paramAll, &all, sizeof paramAll); diff != 0) {
    ut.debugMsg(kTraceLevel, QStringLiteral("FCL_RS_PARAM_ALL is changed %d "), diff);
    changed = true;
  } else if (const int lampDiff = std::memcmp(&lampState, &lamp, sizeof lampState); lampDiff != 0) {
    ut.debugMsg(kTraceLevel, QStringLiteral("FCL_LAMP_STATE is changed %d "), lampDiff);
    changed = true;
  } else if (m_languageRecord != language) {
    // A language the user picks goes into the block as well, so it is seen there first, but for
    // a record that differed from the block's language.
    changed = true;
  }
  funcEnd(name);
  return changed;
}

bool GeneralSetupControllerObjC::isFromPCClockON() const {
  const QString name = op("isFromPCClockON");
  funcEnter(name);
  const bool on = m_ui.chkFromPCClock->isChecked();
  if (on) ut.debugMsg(kTraceLevel, QStringLiteral("isFromPCClockON"));
  funcEnd(name);
  return on;
}

int32_t GeneralSetupControllerObjC::edgeFieldError(const QLineEdit* field) {
  const QString t = field->text();
  if (t.isEmpty()) return kPageErrorEmpty;
  // The whole text must be a number, and its value must fit the scanner's -2.0 to 2.0.
  if (!platform::isDecimalNumber(t)) return kPageErrorOutOfRange;
  const float value = platform::floatValue(t);
  if (!(value >= -2.0f && value <= 2.0f)) return kPageErrorOutOfRange;
  return kPageErrorNone;
}

int32_t GeneralSetupControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  int32_t code = kPageErrorNone;
  // Only the fields the user changed since setParam are checked: a stored value outside the
  // ranges goes back to the scanner as it is.
  if (const QString sleep = m_ui.textSleepTime->text(); m_filled.changed(m_ui.textSleepTime)) {
    if (sleep.isEmpty()) {
      code = kPageErrorEmpty;
    } else if (const int minutes = platform::intValue(sleep); minutes < kSleepTimeMin || minutes > kSleepTimeMax) {
      code = kPageErrorOutOfRange;
      m_ui.textSleepTime->setFocus();
      m_ui.textSleepTime->selectAll();
    }
    if (code != kPageErrorNone) setFailedField(localized("IDS_GS_SLEEP_TIME"), rangeText(kSleepTimeMin, kSleepTimeMax));
  }
  if (code == kPageErrorNone) {
    // Each field named by its side and its row, as the page shows them: "Bottom X offset".
    const struct {
      const QLineEdit* field;
      const char* side;
      const char* offset;
    } edges[] = {{m_ui.textBtmX, "IDS_GS_EDGE_BOTTOM", "IDS_GS_EDGE_X_OFFSET"},
                 {m_ui.textBtmY, "IDS_GS_EDGE_BOTTOM", "IDS_GS_EDGE_Y_OFFSET"},
                 {m_ui.textBtmTail, "IDS_GS_EDGE_BOTTOM", "IDS_GS_EDGE_TAIL_OFFSET"},
                 {m_ui.textTopX, "IDS_GS_EDGE_TOP", "IDS_GS_EDGE_X_OFFSET"},
                 {m_ui.textTopY, "IDS_GS_EDGE_TOP", "IDS_GS_EDGE_Y_OFFSET"},
                 {m_ui.textTopTail, "IDS_GS_EDGE_TOP", "IDS_GS_EDGE_TAIL_OFFSET"}};
    for (const auto& edge : edges) {
      if (!m_filled.changed(edge.field)) continue;
      code = edgeFieldError(edge.field);
      if (code == kPageErrorNone) continue;
      // Sentence case: "Top tail offset", but "Top X offset".
      QString offset = localized(edge.offset);
      if (offset.size() > 1 && offset[1].isLower()) offset[0] = offset[0].toLower();
      setFailedField(localized(edge.side) + u' ' + offset, rangeText(QStringLiteral("-2.0"), QStringLiteral("2.0")));
      break;
    }
  }
  if (code != kPageErrorNone)
    funcErr(name, code == kPageErrorEmpty ? QStringLiteral("a field is empty") : QStringLiteral("a value is out of range"));
  funcEnd(name);
  return code;
}

// ---- Filling and reading the controls ----------------------------------------------------------------------

void GeneralSetupControllerObjC::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  const FCL_RS_PARAM_GENERAL& general = paramAll.sGeneral;
  const FCL_RS_PARAM_DATE_TIME& dateTime = general.sDateTime;

  setupPanelLanguageCap();

  m_ui.popupBacklight->selectItem(general.sPanel.byBacklightLevel);
  m_ui.popupDimTimer->selectItem(general.sPanel.wDimTimer);

  m_ui.textSleepTime->setText(QString::number(lampState.dwCrg1Lamp2));
  m_ui.stepperSleepTime->setValue(lampState.dwCrg1Lamp2);
  lastSleepTime = m_ui.textSleepTime->text();

  // A stored time that is not in the table shows no item; saving then keeps it.
  int powerOffItem = -1;
  for (int i = 0; i < int(kAutoPowerOffMinutes.size()); ++i)
    if (kAutoPowerOffMinutes[i] == lampState.dwCrg2Lamp2) powerOffItem = i;
  m_ui.popupAutoPowerOff->selectItem(powerOffItem);

  m_ui.popupLanguage->selectItem(byLanguage);  // also a hidden item

  m_ui.chkFromPCClock->setChecked(dateTime.dwTimeFromePC == 1);

  const bool daylightOffered =
      std::find(kDaylightCountries.begin(), kDaylightCountries.end(), factoryDef.dwCountryCode) != kDaylightCountries.end();
  if (!daylightOffered) m_dateTimeForm->setRowVisible(m_daylightRow, false);  // for the life of the page
  m_ui.radioDaylightOn->setChecked(dateTime.byEnableDST != 0);
  m_ui.radioDaylightOff->setChecked(dateTime.byEnableDST == 0);

  m_ui.radioUTCm->setChecked(dateTime.byTimeZoneNegative != 0);
  m_ui.radioUTCp->setChecked(dateTime.byTimeZoneNegative == 0);

  m_ui.radio12hClock->setChecked(dateTime.byClockType != 0);
  m_ui.radio24hClock->setChecked(dateTime.byClockType == 0);

  const uint32_t diff = dateTime.dwTimeDiffSecs;
  ut.debugMsg(kTraceLevel, QStringLiteral("\t\t\tgeneralSetup.sDateTime.dwTimeDiffSecs(%d), nUTCIndex(%d)"),
              static_cast<int32_t>(diff), static_cast<int32_t>(diff / kTimeZoneStepSecs));
  if (diff < kTimeZoneItems * kTimeZoneStepSecs && diff % kTimeZoneStepSecs == 0) {
    m_ui.popupTimeZone->selectItem(static_cast<int>(diff / kTimeZoneStepSecs));
  } else {
    // No item stands for it: show none, and saving keeps the stored difference.
    if (diff >= kTimeZoneItems * kTimeZoneStepSecs) funcErr(name, QStringLiteral("\t\t\tERROR: nUTCIndex > 23"));
    m_ui.popupTimeZone->selectItem(-1);
  }

  const FCL_SCAN_EDGE_INFO& edge = general.sEdgeCorrection;
  m_ui.textTopY->setText(edgeText(edge.nTop_YOffset));
  m_ui.textTopX->setText(edgeText(edge.nTop_XOffset));
  m_ui.textBtmY->setText(edgeText(edge.nBtm_YOffset));
  m_ui.textBtmX->setText(edgeText(edge.nBtm_XOffset));
  m_ui.textTopTail->setText(edgeText(edge.nTop_TailOffset));
  m_ui.textBtmTail->setText(edgeText(edge.nBtm_TailOffset));

  m_ui.popupNetwork->selectItem(paramAll.sNetSetting.byIntrface);
  funcEnd(name);
}

void GeneralSetupControllerObjC::saveAccepted() { bindFields(); }

void GeneralSetupControllerObjC::bindFields() {
  // Which field each control edits. A control the user leaves alone puts its field back as read
  // (also a value no item or radio stands for, or one outside the checks); the hidden rows of the
  // USB-only model are never changed, so their fields go back as read too.
  FCL_RS_PARAM_GENERAL& general = paramAll.sGeneral;
  FCL_RS_PARAM_DATE_TIME& dateTime = general.sDateTime;
  FCL_SCAN_EDGE_INFO& edge = general.sEdgeCorrection;
  m_filled.clear();
  m_filled.bind(lampState.dwCrg1Lamp2, {m_ui.textSleepTime});
  m_filled.bind(lampState.dwCrg2Lamp2, {m_ui.popupAutoPowerOff});
  m_filled.bind(general.sPanel.byBacklightLevel, {m_ui.popupBacklight});
  m_filled.bind(general.sPanel.wDimTimer, {m_ui.popupDimTimer});
  m_filled.bind(general.sPanel.dwPanelLangCur, {m_ui.popupLanguage});
  m_filled.bind(m_languageRecord, {m_ui.popupLanguage});
  m_filled.bind(dateTime.dwTimeFromePC, {m_ui.chkFromPCClock});
  m_filled.bind(dateTime.byEnableDST, {m_ui.radioDaylightOn, m_ui.radioDaylightOff});
  m_filled.bind(dateTime.byTimeZoneNegative, {m_ui.radioUTCp, m_ui.radioUTCm});
  m_filled.bind(dateTime.byClockType, {m_ui.radio12hClock, m_ui.radio24hClock});
  m_filled.bind(dateTime.dwTimeDiffSecs, {m_ui.popupTimeZone});
  m_filled.bind(edge.nTop_YOffset, {m_ui.textTopY});
  m_filled.bind(edge.nTop_XOffset, {m_ui.textTopX});
  m_filled.bind(edge.nBtm_YOffset, {m_ui.textBtmY});
  m_filled.bind(edge.nBtm_XOffset, {m_ui.textBtmX});
  m_filled.bind(edge.nTop_TailOffset, {m_ui.textTopTail});
  m_filled.bind(edge.nBtm_TailOffset, {m_ui.textBtmTail});
  m_filled.bind(paramAll.sNetSetting.byIntrface, {m_ui.popupNetwork});
}

void GeneralSetupControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  FCL_RS_PARAM_GENERAL& general = paramAll.sGeneral;
  FCL_RS_PARAM_DATE_TIME& dateTime = general.sDateTime;
  // A pop-up without a selection leaves its field as stored.
  if (const int i = m_ui.popupBacklight->indexOfSelectedItem(); i >= 0) general.sPanel.byBacklightLevel = uint8_t(i);
  if (const int i = m_ui.popupDimTimer->indexOfSelectedItem(); i >= 0) general.sPanel.wDimTimer = uint16_t(i);
  lampState.dwCrg1Lamp2 = static_cast<uint32_t>(platform::intValue(m_ui.textSleepTime->text()));
  if (const int i = m_ui.popupAutoPowerOff->indexOfSelectedItem(); i >= 0) lampState.dwCrg2Lamp2 = kAutoPowerOffMinutes[i];
  if (const int i = m_ui.popupLanguage->indexOfSelectedItem(); i >= 0) {
    // The language record and the block's language take the same index.
    byLanguage = uint8_t(i);
    general.sPanel.dwPanelLangCur = byLanguage;
    m_languageRecord = byLanguage;
  }
  dateTime.dwTimeFromePC = m_ui.chkFromPCClock->isChecked() ? 1 : 0;
  dateTime.byEnableDST = m_ui.radioDaylightOn->isChecked() ? 1 : 0;
  dateTime.byTimeZoneNegative = m_ui.radioUTCp->isChecked() ? 0 : 1;
  dateTime.byClockType = m_ui.radio12hClock->isChecked() ? 1 : 0;
  if (const int i = m_ui.popupTimeZone->indexOfSelectedItem(); i >= 0) dateTime.dwTimeDiffSecs = uint32_t(i) * kTimeZoneStepSecs;
  FCL_SCAN_EDGE_INFO& edge = general.sEdgeCorrection;
  edge.nTop_YOffset = edgeTenths(m_ui.textTopY);
  edge.nTop_XOffset = edgeTenths(m_ui.textTopX);
  edge.nBtm_YOffset = edgeTenths(m_ui.textBtmY);
  edge.nBtm_XOffset = edgeTenths(m_ui.textBtmX);
  edge.nTop_TailOffset = edgeTenths(m_ui.textTopTail);
  edge.nBtm_TailOffset = edgeTenths(m_ui.textBtmTail);
  if (const int i = m_ui.popupNetwork->indexOfSelectedItem(); i >= 0) paramAll.sNetSetting.byIntrface = uint8_t(i);
  // What the user did not change goes back exactly as read (a sleep time beyond what a text reads
  // back as, a radio pair's byte other than 0 or 1, ...).
  m_filled.keepUntouched();
  funcEnd(name);
}

void GeneralSetupControllerObjC::setupPanelLanguageCap() {
  const QString name = op("setupPanelLanguageCap");
  funcEnter(name);
  const uint64_t cap = paramAll.sGeneral.sPanel.u64PanelLangCap;
  for (int i = 0; i < kLanguageItems; ++i) {
    if (!hasCapabilityBit(i)) continue;
    m_ui.popupLanguage->setItemHidden(i, ((cap >> i) & 1u) == 0);
  }
  funcEnd(name);
}

// ---- Sleep-time field ------------------------------------------------------------------------------------------

bool GeneralSetupControllerObjC::stringIsNumber(const QString& t) {
  const QString name = op("stringIsNumber:");
  funcEnter(name);
  const bool number = platform::isDecimalNumber(t);
  funcEnd(name);
  return number;
}

QString GeneralSetupControllerObjC::numericStringFromString(const QString& t) {
  const QString name = op("numericStringFromString:");
  funcEnter(name);
  const QString result = platform::numericStringFromString(t, [this](const QString& s) { return stringIsNumber(s); });
  funcEnd(name);
  return result;
}

void GeneralSetupControllerObjC::controlTextDidChange() {
  const QString name = op("controlTextDidChange:");
  funcEnter(name);
  QLineEdit* field = m_ui.textSleepTime;
  const QString numeric = numericStringFromString(field->text());
  if (numeric != field->text()) field->setText(numeric);
  if (field->text().isEmpty()) field->setText(lastSleepTime);
  else lastSleepTime = field->text();
  m_ui.stepperSleepTime->setValue(platform::intValue(field->text()));
  funcEnd(name);
}

void GeneralSetupControllerObjC::sleepStepperClicked(double value) {
  m_ui.textSleepTime->setText(QString::number(static_cast<int>(value)));
  lastSleepTime = m_ui.textSleepTime->text();
}

// ---- Radio pairs -------------------------------------------------------------------------------------------------

void GeneralSetupControllerObjC::radioOpenPressed() {
  const QString name = op("radioOpenPressed:");
  funcEnter(name);
  m_ui.radioDaylightOn->setChecked(true);
  m_ui.radioDaylightOff->setChecked(false);
  funcEnd(name);
}

void GeneralSetupControllerObjC::radioClosePressed() {
  const QString name = op("radioClosePressed:");
  funcEnter(name);
  m_ui.radioDaylightOff->setChecked(true);
  m_ui.radioDaylightOn->setChecked(false);
  funcEnd(name);
}

void GeneralSetupControllerObjC::radioUTCpPressed() {
  const QString name = op("radioUTCpPressed:");
  funcEnter(name);
  m_ui.radioUTCp->setChecked(true);
  m_ui.radioUTCm->setChecked(false);
  funcEnd(name);
}

void GeneralSetupControllerObjC::radioUTCmPressed() {
  const QString name = op("radioUTCmPressed:");
  funcEnter(name);
  m_ui.radioUTCm->setChecked(true);
  m_ui.radioUTCp->setChecked(false);
  funcEnd(name);
}

void GeneralSetupControllerObjC::radio12hClockPresed() {
  const QString name = op("radio12hClockPresed:");
  funcEnter(name);
  m_ui.radio12hClock->setChecked(true);
  m_ui.radio24hClock->setChecked(false);
  funcEnd(name);
}

void GeneralSetupControllerObjC::radio24hClockPresed() {
  const QString name = op("radio24hClockPresed:");
  funcEnter(name);
  m_ui.radio24hClock->setChecked(true);
  m_ui.radio12hClock->setChecked(false);
  funcEnd(name);
}

// ---- Trace -----------------------------------------------------------------------------------------------------------

void GeneralSetupControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void GeneralSetupControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void GeneralSetupControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
