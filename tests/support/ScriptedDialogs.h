#pragma once
// Dialogs for tests: records every alert and panel and answers from a script.
//
// Queue one answer per alert the test expects (expectAlert), optionally naming the message text
// it must have; an alert that arrives with no answer queued, or with another message, fails the
// test (and is answered with its first button). Panels answer from their own queue; an unscripted
// panel fails the test and answers "cancelled". While it lives it is the process's Dialogs.
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "platform/Dialogs.h"

class ScriptedDialogs : public platform::Dialogs {
 public:
  struct Alert {
    QString message;
    QString information;
    QStringList buttons;
    QString suppressionTitle;
  };
  struct Panel {
    enum class Kind { Open, Save, Folder } kind;
    QString extension;
    QString suggestedName;
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;

  // The next alert is answered with `button` (and the check box on when `suppressionOn`). When
  // `message` is given, the alert's message text must equal it.
  void expectAlert(int button, std::optional<QString> message = std::nullopt, bool suppressionOn = false);
  // The next panel answers `path` (nullopt: the user cancelled).
  void expectPanel(std::optional<QString> path);

  // Everything shown so far, in order.
  const std::vector<Alert>& alerts() const { return m_alerts; }
  const std::vector<Panel>& panels() const { return m_panels; }
  QStringList alertMessages() const;
  // Answers still queued (a test usually expects none at its end).
  std::size_t pendingAlerts() const { return m_alertScript.size(); }
  std::size_t pendingPanels() const { return m_panelScript.size(); }
  void clear();

  platform::AlertAnswer runAlert(const platform::AlertSpec& spec) override;
  std::optional<QString> openFile(const QString& extension, const QString& directory) override;
  std::optional<QString> saveFile(const QString& extension, const QString& suggestedName,
                                  const QString& directory) override;
  std::optional<QString> chooseFolder(const QString& directory) override;

 private:
  struct Scripted {
    int button;
    std::optional<QString> message;
    bool suppressionOn;
  };
  std::optional<QString> nextPanel(Panel panel);

  std::deque<Scripted> m_alertScript;
  struct PanelAnswer {
    bool chosen;
    QString path;
  };
  std::deque<PanelAnswer> m_panelScript;
  std::vector<Alert> m_alerts;
  std::vector<Panel> m_panels;
  platform::Dialogs* m_previous = nullptr;
};
