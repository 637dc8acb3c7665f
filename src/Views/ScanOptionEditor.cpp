#include "Views/ScanOptionEditor.h"
#include "Views/PageLayout.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int kOff = 0, kOn = 1;
constexpr int kFileTypeMultiPagePdf = 1;
constexpr int kDefaultDpi = 300;
constexpr int kResolutions[ScanOptionEditor::kResolutionItems] = {100, 150, 200, 300, 400, 600};

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

QLabel* makeLabel(QWidget* parent) { return pagelayout::plainLabel(parent); }

platform::PopUpButton* makePopup(QWidget* parent, int items) {
  auto* popup = new platform::PopUpButton(parent);
  for (int i = 0; i < items; ++i) popup->addItem(QString());
  return popup;
}

// The document sizes the layout titles; 23 and 24 are the long papers, 25 is automatic.
const char* const kDocumentSizeTitles[25] = {
    "A3", "A4", "A5", "A6", "A7", "A8", "B4 (JIS)", "B5 (JIS)", "B6 (JIS)", "B7 (JIS)", "B8 (JIS)",
    "Letter", "Legal", "Executive", "Statement", "Folio", "Oficio", "Postcard", "Business card",
    "Photo 3.5 x 5 in", "Photo 4 x 6 in", "Photo 5 x 7 in", "Custom", "Long paper (up to 1000 mm)",
    "Long paper (up to 5588 mm)"};
const char* const kScanTypeKeys[4] = {"IDS_P_SCAN_TYPE_BW", "IDS_P_SCAN_TYPE_GRAY", "IDS_P_SCAN_TYPE_COLOR",
                                      "IDS_N_AUTO"};
const char* const kFileTypeKeys[ScanOptionEditor::kFileTypeItems] = {
    "IDS_P_PDF_SINGLE_PG",  "IDS_P_PDF_MULTI_PG",   "IDS_P_JPEG",     "IDS_P_SECURE_PDF_SGL",
    "IDS_P_SECURE_PDF_MLT", "IDS_P_SIGNED_PDF_SGL", "IDS_P_SIGNED_PDF_MLT", "IDS_P_PDFA_SGL",
    "IDS_P_PDFA_MLT",       "IDS_P_TIFF_SINGLE_PG", "IDS_P_TIFF_MULTI_PG"};
const char* const kFileSizeKeys[3] = {"IDS_P_FILE_SIZE_SMALL", "IDS_P_FILE_SIZE_MEDIUM", "IDS_P_FILE_SIZE_LARGE"};
const char* const kColorSensitivityKeys[5] = {"IDS_P_MAXIMUM_SENSITIVITY", "IDS_P_HIGH_SENSITIVITY",
                                              "IDS_P_MIDDLE_SENSITIVITY", "IDS_P_LOW_SENSITIVITY",
                                              "IDS_P_MINIMUM_SENSITIVITY"};
const char* const kBlankSensitivityKeys[3] = {"IDS_P_MAXIMUM_SENSITIVITY", "IDS_P_MIDDLE_SENSITIVITY",
                                              "IDS_P_MINIMUM_SENSITIVITY"};

// A stored index as the pop-up's selection (signed bytes read as signed).
int selectionOf(int stored) { return stored; }

// The value to store from a pop-up: its selected item, or the stored value when none is selected.
uint8_t itemOr(const platform::PopUpButton* popup, uint8_t stored) {
  const int i = popup->indexOfSelectedItem();
  return i >= 0 ? uint8_t(i) : stored;
}
int8_t itemOr(const platform::PopUpButton* popup, int8_t stored) {
  const int i = popup->indexOfSelectedItem();
  return i >= 0 ? int8_t(i) : stored;
}

// Selects the item titled with `value` ("%d"), or none.
void selectNumber(platform::PopUpButton* popup, int value) {
  const QString title = QString::number(value);
  for (int i = 0; i < popup->numberOfItems(); ++i) {
    if (popup->itemTitle(i) == title) {
      popup->selectItem(i);
      return;
    }
  }
  popup->selectItem(-1);
}

int8_t numberOr(const platform::PopUpButton* popup, int8_t stored) {
  if (popup->indexOfSelectedItem() < 0) return stored;
  return int8_t(uint8_t(platform::intValue(popup->titleOfSelectedItem()) & 0xFF));
}

double roundToTenth(double v) { return std::round(v * 10.0) / 10.0; }

QString oneDecimal(double v) { return QString::asprintf("%.1f", v); }

}  // namespace

// ---- Construction -------------------------------------------------------------------------------------

ScanOptionEditor::ScanOptionEditor(const QString& ownerClass, QWidget* parent, const ScanOptionPolicy& policy)
    : QWidget(parent), m_policy(policy), m_owner(ownerClass) {
  buildLayout();
  initLocalizedString();
  using P = platform::PopUpButton;
  connect(m_ui.popupDocumentSize, &P::activated, this, &ScanOptionEditor::popupDocumentTypeChanged);
  connect(m_ui.popupScanType, &P::activated, this, &ScanOptionEditor::popupScanTypeChanged);
  connect(m_ui.popupFileType, &P::activated, this, &ScanOptionEditor::popupFileTypeChanged);
  connect(m_ui.popupFileSize, &P::activated, this, &ScanOptionEditor::popupFileSizeChanged);
  connect(m_ui.popupResolution, &P::activated, this, &ScanOptionEditor::popupResolution);
  connect(m_ui.popupDuplexScan, &P::activated, this, &ScanOptionEditor::popup2SidedScan);
  for (QLineEdit* field : {m_ui.textBottom, m_ui.textRight, m_ui.textLeft, m_ui.textTop}) {
    connect(field, &QLineEdit::textEdited, this, [this, field] { marginTextChanged(field); });
    connect(stepperOf(field), &platform::Stepper::activated, this,
            [this, field](double value) { stepperClicked(field, value); });
  }
}

ScanOptionEditor::~ScanOptionEditor() = default;

void ScanOptionEditor::buildLayout() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(8);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  outer->addLayout(grid);
  int row = 0;
  // One column of label / pop-up pairs.
  auto add = [&](QLabel*& label, platform::PopUpButton*& popup, int items) {
    label = makeLabel(this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    popup = makePopup(this, items);
    popup->setMinimumWidth(240);
    grid->addWidget(label, row, 0);
    grid->addWidget(popup, row, 1, Qt::AlignLeft);
    ++row;
  };
  add(m_ui.labelDocumentSize, m_ui.popupDocumentSize, kDocumentSizeItems);
  add(m_ui.labelScanType, m_ui.popupScanType, 4);
  add(m_ui.labelFileType, m_ui.popupFileType, kFileTypeItems);
  add(m_ui.labelFileSize, m_ui.popupFileSize, 3);
  add(m_ui.labelResolution, m_ui.popupResolution, kResolutionItems);
  add(m_ui.label2SideScan, m_ui.popupDuplexScan, 2);
  add(m_ui.labelAutoDeskew, m_ui.popupAutoDeskew, 2);
  add(m_ui.labelMultifeedDetection, m_ui.popupMultifeedDetection, 2);
  add(m_ui.labelSkipBlankPages, m_ui.popupSkipBlankPages, 2);
  add(m_ui.labelSkipBlankPageSensitivity, m_ui.popupSkipBlankPageSensitivity, 4);
  add(m_ui.labelAutoColorDetectAdjust, m_ui.popupAutoColorDetectAdjust, 6);
  add(m_ui.labelContinuousScan, m_ui.popupContinuousScan, 2);
  add(m_ui.labelBrightness, m_ui.popupBrightness, 0);
  add(m_ui.labelContrast, m_ui.popupContrast, 0);
  for (int v = kBrightnessMin; v <= kBrightnessMax; ++v) {
    m_ui.popupBrightness->addItem(QString::number(v));
    m_ui.popupContrast->addItem(QString::number(v));
  }
  for (int i = 0; i < kResolutionItems; ++i)
    m_ui.popupResolution->setItemTitle(i, QStringLiteral("%1 dpi").arg(kResolutions[i]));
  for (int i = 0; i < 25; ++i) m_ui.popupDocumentSize->setItemTitle(i, QString::fromLatin1(kDocumentSizeTitles[i]));
  grid->setColumnStretch(2, 1);

  m_ui.labelMarginSettings = makeLabel(this);
  outer->addWidget(m_ui.labelMarginSettings);
  auto* margins = new QHBoxLayout;
  margins->setSpacing(4);
  outer->addLayout(margins);
  auto addMargin = [&](QLabel*& label, QLineEdit*& field, platform::Stepper*& stepper) {
    label = makeLabel(this);
    field = new QLineEdit(this);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(56);
    stepper = new platform::Stepper(this);
    stepper->setRange(kMarginMin, kMarginMax);
    stepper->setIncrement(kMarginIncrement);
    stepper->setFixedHeight(field->sizeHint().height());
    margins->addWidget(label);
    margins->addWidget(field);
    margins->addWidget(stepper);
    margins->addSpacing(10);
  };
  addMargin(m_ui.labelLeft, m_ui.textLeft, m_ui.stepperLeft);
  addMargin(m_ui.labelTop, m_ui.textTop, m_ui.stepperTop);
  addMargin(m_ui.labelRight, m_ui.textRight, m_ui.stepperRight);
  addMargin(m_ui.labelBottom, m_ui.textBottom, m_ui.stepperBottom);
  margins->addStretch(1);
}

void ScanOptionEditor::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelDocumentSize->setText(pagelayout::labelText("IDS_P_DOCUMENT_SIZE"));
  m_ui.labelScanType->setText(pagelayout::labelText("IDS_P_SCAN_TYPE"));
  m_ui.labelFileType->setText(pagelayout::labelText("IDS_P_FILE_TYPE"));
  m_ui.labelFileSize->setText(pagelayout::labelText("IDS_P_FILE_SIZE"));
  m_ui.labelResolution->setText(pagelayout::labelText("IDS_P_RESOLUTION"));
  m_ui.label2SideScan->setText(pagelayout::labelText("IDS_P_2_SIDED_SCAN"));
  m_ui.labelAutoDeskew->setText(pagelayout::labelText("IDS_P_AUTO_DESKEW"));
  m_ui.labelMultifeedDetection->setText(pagelayout::labelText("IDS_P_MULTIFEED_DETECTION"));
  m_ui.labelSkipBlankPages->setText(pagelayout::labelText("IDS_P_SKIP_BLANK_PAGES"));
  m_ui.labelSkipBlankPageSensitivity->setText(pagelayout::labelText("IDS_P_SKIP_BLANK_PAGE_SENSITIVITY"));
  m_ui.labelAutoColorDetectAdjust->setText(pagelayout::labelText("IDS_P_AUTO_COLOR_DETECT_ADJUST"));
  m_ui.labelBrightness->setText(pagelayout::labelText("IDS_P_BRIGHTNESS"));
  m_ui.labelContrast->setText(pagelayout::labelText("IDS_P_CONTRAST"));
  m_ui.labelContinuousScan->setText(pagelayout::labelText("IDS_P_CONTINUOUS_SCAN"));
  m_ui.labelMarginSettings->setText(localized("IDS_P_MARGIN_SETTINGS"));
  m_ui.labelLeft->setText(pagelayout::labelText("IDS_P_LEFT"));
  m_ui.labelTop->setText(pagelayout::labelText("IDS_P_TOP"));
  m_ui.labelRight->setText(pagelayout::labelText("IDS_P_RIGHT"));
  m_ui.labelBottom->setText(pagelayout::labelText("IDS_P_BOTTOM"));
  m_ui.popupDocumentSize->setItemTitle(25, localized("IDS_N_AUTO"));
  for (int i = 0; i < 4; ++i) m_ui.popupScanType->setItemTitle(i, localized(kScanTypeKeys[i]));
  for (int i = 0; i < kFileTypeItems; ++i) m_ui.popupFileType->setItemTitle(i, localized(kFileTypeKeys[i]));
  for (int i = 0; i < 3; ++i) m_ui.popupFileSize->setItemTitle(i, localized(kFileSizeKeys[i]));
  for (platform::PopUpButton* p : {m_ui.popupDuplexScan, m_ui.popupSkipBlankPages, m_ui.popupContinuousScan,
                                   m_ui.popupAutoDeskew, m_ui.popupMultifeedDetection}) {
    p->setItemTitle(kOff, localized("IDS_GS_OFF"));
    p->setItemTitle(kOn, localized("IDS_GS_ON"));
  }
  m_ui.popupSkipBlankPageSensitivity->setItemTitle(0, localized("IDS_P_DEFAULT_SENSITIVITY"));
  m_ui.popupAutoColorDetectAdjust->setItemTitle(0, localized("IDS_P_DEFAULT_SENSITIVITY"));
  for (int i = 0; i < 3; ++i) m_ui.popupSkipBlankPageSensitivity->setItemTitle(i + 1, localized(kBlankSensitivityKeys[i]));
  for (int i = 0; i < 5; ++i) m_ui.popupAutoColorDetectAdjust->setItemTitle(i + 1, localized(kColorSensitivityKeys[i]));
  funcEnd(name);
}

// ---- Loading and reading back ---------------------------------------------------------------------------

void ScanOptionEditor::load(const FCL_RS_PARAM_SCANPROFILE& record, bool isB) {
  std::memcpy(&m_record, &record, sizeof m_record);
  std::memcpy(&m_read, &record, sizeof m_read);
  std::memcpy(&m_stored, &record, sizeof m_stored);
  m_isB = isB;
  const QString name = op("initUI");
  funcEnter(name);
  const FCL_RS_PARAM_SCANPROFILE& r = m_record;
  m_ui.popupScanType->selectItem(r.byScanType);
  m_ui.popupDocumentSize->selectItem(r.byDocumentSize);
  m_ui.popupAutoDeskew->selectItem(r.byAutoDeskew);
  m_ui.popupSkipBlankPages->selectItem(r.bySkipBlankPage);
  m_ui.popupDuplexScan->selectItem(r.byDuplexScan);
  m_ui.popupMultifeedDetection->selectItem(r.byMultifeedDetection);
  m_ui.popupSkipBlankPageSensitivity->selectItem(selectionOf(r.bySkipBlankPageSensitivity));
  m_ui.popupAutoColorDetectAdjust->selectItem(selectionOf(r.byAutoColorDetectSensitivity));
  selectNumber(m_ui.popupBrightness, r.byBrightness);
  selectNumber(m_ui.popupContrast, r.byContrast);
  m_ui.popupContinuousScan->selectItem(r.byContinuousScan);
  const int8_t margins[4] = {r.byMarginLeft, r.byMarginTop, r.byMarginRight, r.byMarginBottom};
  QLineEdit* fields[4] = {m_ui.textLeft, m_ui.textTop, m_ui.textRight, m_ui.textBottom};
  for (int i = 0; i < 4; ++i) {
    fields[i]->setText(oneDecimal(margins[i] / 10.0));
    stepperOf(fields[i])->setValue(platform::doubleValue(fields[i]->text()));
  }
  updateScanOption();
  bindFields();
  funcEnd(name);
}

void ScanOptionEditor::acceptStored() {
  std::memcpy(&m_read, &m_stored, sizeof m_read);
  bindFields();
}

void ScanOptionEditor::bindFields() {
  // Which field of the stored record each control edits, with its bytes as read: the option
  // update that ends the loading may already have shown another value (colour for automatic, off
  // for two-sided scan and blank-page skipping, 300 dpi, multi-page PDF for a file type the scan
  // type does not offer), which is written only once the user changes something it follows from.
  FCL_RS_PARAM_SCANPROFILE& r = m_stored;
  FCL_RS_PARAM_SCANPROFILE& read = m_read;
  const Controls& ui = m_ui;
  // The fields the document-size rule forces (scan type, blank-page skipping, two-sided scan, the
  // shown slot's resolution) count as changed when the user chooses another document size, so a
  // choice the rule follows is written as shown even where the controls showed the forced values
  // already.
  m_filled.clear();
  m_filled.bind(r.byScanType, read.byScanType, {ui.popupScanType, ui.popupDocumentSize});
  m_filled.bind(r.byDocumentSize, read.byDocumentSize, {ui.popupDocumentSize});
  m_filled.bind(r.byAutoDeskew, read.byAutoDeskew, {ui.popupAutoDeskew});
  m_filled.bind(r.bySkipBlankPage, read.bySkipBlankPage, {ui.popupSkipBlankPages, ui.popupDocumentSize});
  m_filled.bind(r.byDuplexScan, read.byDuplexScan, {ui.popupDuplexScan, ui.popupDocumentSize});
  m_filled.bind(r.byMultifeedDetection, read.byMultifeedDetection, {ui.popupMultifeedDetection});
  m_filled.bind(r.bySkipBlankPageSensitivity, read.bySkipBlankPageSensitivity, {ui.popupSkipBlankPageSensitivity});
  m_filled.bind(r.byAutoColorDetectSensitivity, read.byAutoColorDetectSensitivity, {ui.popupAutoColorDetectAdjust});
  m_filled.bind(r.byBrightness, read.byBrightness, {ui.popupBrightness});
  m_filled.bind(r.byContrast, read.byContrast, {ui.popupContrast});
  m_filled.bind(r.byContinuousScan, read.byContinuousScan, {ui.popupContinuousScan});
  m_filled.bind(r.byMarginLeft, read.byMarginLeft, {ui.textLeft});
  m_filled.bind(r.byMarginTop, read.byMarginTop, {ui.textTop});
  m_filled.bind(r.byMarginRight, read.byMarginRight, {ui.textRight});
  m_filled.bind(r.byMarginBottom, read.byMarginBottom, {ui.textBottom});
  // The three slot pop-ups edit the slot of the scan type shown now, as long as that stays shown;
  // the slot of a scan type the user chooses takes what the pop-ups then show.
  const int shown = ui.popupScanType->indexOfSelectedItem();
  if (uint8_t* t = fileTypeSlot(r, shown))
    m_filled.bind(*t, *fileTypeSlot(read, shown), {ui.popupFileType, ui.popupScanType});
  if (uint8_t* z = fileSizeSlot(r, shown))
    m_filled.bind(*z, *fileSizeSlot(read, shown), {ui.popupFileSize, ui.popupScanType});
  if (uint16_t* d = resolutionSlot(r, shown))
    m_filled.bind(*d, *resolutionSlot(read, shown), {ui.popupResolution, ui.popupScanType, ui.popupDocumentSize});
}

void ScanOptionEditor::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  FCL_RS_PARAM_SCANPROFILE& r = m_record;
  r.byScanType = itemOr(m_ui.popupScanType, r.byScanType);
  const int dpi = resolutionDpi(m_ui.popupResolution->indexOfSelectedItem());
  if (uint8_t* fileType = fileTypeSlot(r, r.byScanType)) *fileType = itemOr(m_ui.popupFileType, *fileType);
  if (uint8_t* fileSize = fileSizeSlot(r, r.byScanType)) *fileSize = itemOr(m_ui.popupFileSize, *fileSize);
  // No selection: the slot's stored resolution has no item and stays as it is.
  if (uint16_t* resolution = resolutionSlot(r, r.byScanType); resolution && dpi > 0) *resolution = uint16_t(dpi);
  r.byDocumentSize = itemOr(m_ui.popupDocumentSize, r.byDocumentSize);
  r.byAutoDeskew = itemOr(m_ui.popupAutoDeskew, r.byAutoDeskew);
  r.bySkipBlankPage = itemOr(m_ui.popupSkipBlankPages, r.bySkipBlankPage);
  r.byDuplexScan = itemOr(m_ui.popupDuplexScan, r.byDuplexScan);
  r.byMultifeedDetection = itemOr(m_ui.popupMultifeedDetection, r.byMultifeedDetection);
  r.bySkipBlankPageSensitivity = itemOr(m_ui.popupSkipBlankPageSensitivity, r.bySkipBlankPageSensitivity);
  r.byAutoColorDetectSensitivity = itemOr(m_ui.popupAutoColorDetectAdjust, r.byAutoColorDetectSensitivity);
  r.byBrightness = numberOr(m_ui.popupBrightness, r.byBrightness);
  r.byContrast = numberOr(m_ui.popupContrast, r.byContrast);
  int8_t* margins[4] = {&r.byMarginLeft, &r.byMarginTop, &r.byMarginRight, &r.byMarginBottom};
  QLineEdit* fields[4] = {m_ui.textLeft, m_ui.textTop, m_ui.textRight, m_ui.textBottom};
  for (int i = 0; i < 4; ++i) {
    if (fields[i]->text().isEmpty()) fields[i]->setText(oneDecimal(1.0));
    // Tenths rounded to the nearest whole number (a shown "2.3" is 23, not 22.99...), kept
    // within the signed byte.
    const double tenths = std::round(platform::doubleValue(fields[i]->text()) * 10.0);
    *margins[i] = int8_t(std::isnan(tenths) ? 0 : std::clamp(tenths, -128.0, 127.0));
  }
  r.byContinuousScan = itemOr(m_ui.popupContinuousScan, r.byContinuousScan);
  // The stored record: every field whose controls the user left alone as read.
  m_stored = m_record;
  m_filled.keepUntouched();
  funcEnd(name);
}

bool ScanOptionEditor::differsFrom(const FCL_RS_PARAM_SCANPROFILE& o) const {
  const FCL_RS_PARAM_SCANPROFILE& r = m_stored;
  return o.byScanType != r.byScanType || o.byFileType_BW != r.byFileType_BW ||
         o.byFileType_Gray != r.byFileType_Gray || o.byFileType_Color != r.byFileType_Color ||
         o.byFileType_Auto != r.byFileType_Auto || o.byFileSize_Gray != r.byFileSize_Gray ||
         o.byFileSize_Color != r.byFileSize_Color || o.byFileSize_Auto != r.byFileSize_Auto ||
         o.wResolution_BW != r.wResolution_BW || o.wResolution_Gray != r.wResolution_Gray ||
         o.wResolution_Color != r.wResolution_Color || o.wResolution_Auto != r.wResolution_Auto ||
         o.byDocumentSize != r.byDocumentSize || o.dwPaperWidth != r.dwPaperWidth ||
         o.dwPaperHeight != r.dwPaperHeight || o.byMarginLeft != r.byMarginLeft ||
         o.byMarginTop != r.byMarginTop || o.byMarginRight != r.byMarginRight ||
         o.byMarginBottom != r.byMarginBottom || o.byAutoDeskew != r.byAutoDeskew ||
         o.bySkipBlankPage != r.bySkipBlankPage || o.byDuplexScan != r.byDuplexScan ||
         o.byMultifeedDetection != r.byMultifeedDetection || o.byContinuousScan != r.byContinuousScan ||
         o.byAutoColorDetectSensitivity != r.byAutoColorDetectSensitivity ||
         o.bySkipBlankPageSensitivity != r.bySkipBlankPageSensitivity || o.byBrightness != r.byBrightness ||
         o.byContrast != r.byContrast;
}

// ---- The option rules ---------------------------------------------------------------------------------------

void ScanOptionEditor::updateScanOption() {
  const QString name = op("updateScanOption");
  funcEnter(name);
  const bool continuousScan = !(m_policy.continuousScanFollowsModel && m_isB);
  m_ui.labelContinuousScan->setVisible(continuousScan);
  m_ui.popupContinuousScan->setVisible(continuousScan);

  const int size = m_ui.popupDocumentSize->indexOfSelectedItem();
  const bool restricted = size == kRestrictedSize1 || size == kRestrictedSize2;
  if (restricted) {
    if (m_ui.popupScanType->indexOfSelectedItem() == kScanTypeAuto) {
      // Colour in place of automatic, in the copy too, so that the shown slot and the slot the
      // handlers write to are the same one.
      m_ui.popupScanType->selectItem(kScanTypeColor);
      m_record.byScanType = kScanTypeColor;
    }
    m_ui.popupDuplexScan->selectItem(kOff);
    m_ui.popupSkipBlankPages->selectItem(kOff);
  }
  const int scanType = m_ui.popupScanType->indexOfSelectedItem();
  int fileType = 0, fileSize = 0, dpi = kDefaultDpi;
  if (const uint8_t* t = fileTypeSlot(m_record, scanType)) {
    fileType = *t;
    dpi = *resolutionSlot(m_record, scanType);
    if (const uint8_t* s = fileSizeSlot(m_record, scanType)) fileSize = *s;
  }
  m_ui.popupScanType->setItemHidden(kScanTypeAuto, restricted);
  m_ui.popupDuplexScan->setItemHidden(kOn, restricted);
  m_ui.popupSkipBlankPages->setItemHidden(kOn, restricted);
  m_ui.popupSkipBlankPageSensitivity->setEnabled(!restricted);
  m_ui.popupAutoColorDetectAdjust->setEnabled(!restricted);

  const bool bw = scanType == kScanTypeBW;
  m_ui.popupFileSize->setEnabled(!bw && !m_policy.fileSizeAlwaysDisabled);
  m_ui.popupFileSize->selectItem(bw ? -1 : fileSize);

  platform::PopUpButton* types = m_ui.popupFileType;
  types->setItemHidden(9, !bw);
  types->setItemHidden(10, !bw);
  types->setItemHidden(2, !(scanType == kScanTypeGray || scanType == kScanTypeColor));
  types->setItemHidden(7, scanType == kScanTypeAuto);
  types->setItemHidden(8, scanType == kScanTypeAuto);
  types->setItemHidden(5, m_policy.signedPdfFollowsModel && m_isB);
  types->setItemHidden(6, m_policy.signedPdfFollowsModel && m_isB);
  for (int i = 0; i < kFileTypeItems; ++i)
    if (m_policy.fileTypesNeverOffered.test(std::size_t(i))) types->setItemHidden(i, true);
  types->selectItem(types->isItemHidden(fileType) ? kFileTypeMultiPagePdf : fileType);

  if (restricted) {
    if (dpi == 400 || dpi == 600) dpi = 300;
    m_ui.popupDuplexScan->selectItem(kOff);
  }
  m_ui.popupResolution->setItemHidden(5, restricted);
  // A resolution the list does not offer shows no selection (and is kept when read back).
  m_ui.popupResolution->selectItem(resolutionIndex(dpi));
  funcEnd(name);
  emit optionsUpdated();
}

// ---- Pop-up handlers ------------------------------------------------------------------------------------------

void ScanOptionEditor::popupDocumentTypeChanged() {
  const QString name = op(m_policy.documentSizeAction);
  funcEnter(name);
  updateScanOption();
  funcEnd(name);
}

void ScanOptionEditor::popup2SidedScan() {
  updateScanOption();
  funcEnd(op("popup2SidedScan:"));
}

void ScanOptionEditor::popupScanTypeChanged() {
  const QString name = op("popupScanTypeChanged:");
  funcEnter(name);
  if (m_policy.scanTypeHandlerStoresScanType) m_record.byScanType = itemOr(m_ui.popupScanType, m_record.byScanType);
  updateScanOption();
  funcEnd(name);
}

void ScanOptionEditor::popupFileTypeChanged() {
  const QString name = op(m_policy.fileTypeAction);
  funcEnter(name);
  if (uint8_t* t = fileTypeSlot(m_record, m_ui.popupScanType->indexOfSelectedItem()))
    *t = itemOr(m_ui.popupFileType, *t);
  funcEnd(name);
  emit fileTypeChosen();
}

void ScanOptionEditor::popupFileSizeChanged() {
  const QString name = op(m_policy.fileSizeAction);
  funcEnter(name);
  if (uint8_t* s = fileSizeSlot(m_record, changeSlotScanType())) *s = itemOr(m_ui.popupFileSize, *s);
  funcEnd(name);
}

void ScanOptionEditor::popupResolution() {
  const QString name = op("popupResolution:");
  funcEnter(name);
  const int dpi = resolutionDpi(m_ui.popupResolution->indexOfSelectedItem());
  if (uint16_t* slot = resolutionSlot(m_record, changeSlotScanType())) *slot = uint16_t(dpi > 0 ? dpi : kDefaultDpi);
  updateScanOption();
  funcEnd(name);
}

// ---- Margins -------------------------------------------------------------------------------------------------

void ScanOptionEditor::stepperClicked(QLineEdit* field, double value) { field->setText(oneDecimal(roundToTenth(value))); }

void ScanOptionEditor::marginTextChanged(QLineEdit* field) {
  const QString filtered = numericStringFromString(field->text());
  if (filtered == QStringLiteral("-") || filtered.endsWith(u'.')) {
    field->setText(filtered);
    return;
  }
  const double value = std::clamp(stringIsNumber(filtered) ? platform::doubleValue(filtered) : 0.0,
                                  m_ui.stepperTop->minValue(), m_ui.stepperTop->maxValue());
  const double rounded = roundToTenth(value);
  // A whole number typed stays whole; a value the range cut to a fraction (20 becomes 12.7) shows
  // its decimal, so the field always shows what is stored.
  const bool whole = rounded == std::trunc(rounded);
  field->setText(filtered.contains(u'.') || !whole ? oneDecimal(rounded) : QString::asprintf("%.f", rounded));
  stepperOf(field)->setValue(value);
}

bool ScanOptionEditor::stringIsNumber(const QString& text) { return platform::isDecimalNumber(text); }

// A lone "-" stays: the user is starting a negative number.
QString ScanOptionEditor::numericStringFromString(const QString& text) {
  return platform::numericStringFromString(
      text, [](const QString& t) { return t == QStringLiteral("-") || stringIsNumber(t); });
}

// ---- Helpers -------------------------------------------------------------------------------------------------

int ScanOptionEditor::resolutionDpi(int index) {
  return index >= 0 && index < kResolutionItems ? kResolutions[index] : -1;
}

int ScanOptionEditor::resolutionIndex(int dpi) {
  for (int i = 0; i < kResolutionItems; ++i)
    if (kResolutions[i] == dpi) return i;
  return -1;
}

uint8_t* ScanOptionEditor::fileTypeSlot(FCL_RS_PARAM_SCANPROFILE& r, int scanType) {
  switch (scanType) {
    case kScanTypeBW: return &r.byFileType_BW;
    case kScanTypeGray: return &r.byFileType_Gray;
    case kScanTypeColor: return &r.byFileType_Color;
    case kScanTypeAuto: return &r.byFileType_Auto;
    default: return nullptr;
  }
}

uint8_t* ScanOptionEditor::fileSizeSlot(FCL_RS_PARAM_SCANPROFILE& r, int scanType) {
  switch (scanType) {
    case kScanTypeGray: return &r.byFileSize_Gray;
    case kScanTypeColor: return &r.byFileSize_Color;
    case kScanTypeAuto: return &r.byFileSize_Auto;
    default: return nullptr;
  }
}

uint16_t* ScanOptionEditor::resolutionSlot(FCL_RS_PARAM_SCANPROFILE& r, int scanType) {
  switch (scanType) {
    case kScanTypeBW: return &r.wResolution_BW;
    case kScanTypeGray: return &r.wResolution_Gray;
    case kScanTypeColor: return &r.wResolution_Color;
    case kScanTypeAuto: return &r.wResolution_Auto;
    default: return nullptr;
  }
}

int ScanOptionEditor::changeSlotScanType() const {
  return m_policy.changeSlot == ScanOptionPolicy::ChangeSlot::ShownScanType ? m_ui.popupScanType->indexOfSelectedItem()
                                                                            : int(m_record.byScanType);
}

platform::Stepper* ScanOptionEditor::stepperOf(QLineEdit* field) const {
  if (field == m_ui.textLeft) return m_ui.stepperLeft;
  if (field == m_ui.textTop) return m_ui.stepperTop;
  if (field == m_ui.textRight) return m_ui.stepperRight;
  return m_ui.stepperBottom;
}

QString ScanOptionEditor::op(const char* selector) const {
  return QStringLiteral("-[%1 %2]").arg(m_owner, QLatin1String(selector));
}

void ScanOptionEditor::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanOptionEditor::funcEnd(const QString& name) const { m_trace.end(name); }
