#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

ScriptedDialogs::ScriptedDialogs() { m_previous = platform::setDialogs(this); }
ScriptedDialogs::~ScriptedDialogs() { platform::setDialogs(m_previous); }

void ScriptedDialogs::expectAlert(int button, std::optional<QString> message, bool suppressionOn) {
  m_alertScript.push_back({button, std::move(message), suppressionOn});
}

void ScriptedDialogs::expectPanel(std::optional<QString> path) {
  m_panelScript.push_back({path.has_value(), path.value_or(QString())});
}

QStringList ScriptedDialogs::alertMessages() const {
  QStringList list;
  for (const Alert& a : m_alerts) list << a.message;
  return list;
}

void ScriptedDialogs::clear() {
  m_alertScript.clear();
  m_panelScript.clear();
  m_alerts.clear();
  m_panels.clear();
}

platform::AlertAnswer ScriptedDialogs::runAlert(const platform::AlertSpec& spec) {
  m_alerts.push_back({spec.message, spec.information, spec.buttons, spec.suppressionTitle});
  if (m_alertScript.empty()) {
    ADD_FAILURE() << "unscripted alert: \"" << spec.message.toStdString() << "\" / \""
                  << spec.information.toStdString() << "\"";
    return {0, false};
  }
  const Scripted s = m_alertScript.front();
  m_alertScript.pop_front();
  if (s.message && *s.message != spec.message) {
    ADD_FAILURE() << "expected alert \"" << s.message->toStdString() << "\", got \"" << spec.message.toStdString()
                  << "\" / \"" << spec.information.toStdString() << "\"";
  }
  if (s.button < 0 || s.button >= spec.buttons.size()) {
    ADD_FAILURE() << "scripted button " << s.button << " but the alert has " << spec.buttons.size();
    return {0, false};
  }
  return {s.button, s.suppressionOn && !spec.suppressionTitle.isEmpty()};
}

std::optional<QString> ScriptedDialogs::nextPanel(Panel panel) {
  m_panels.push_back(panel);
  if (m_panelScript.empty()) {
    ADD_FAILURE() << "unscripted panel for ." << panel.extension.toStdString();
    return std::nullopt;
  }
  const PanelAnswer answer = m_panelScript.front();
  m_panelScript.pop_front();
  if (!answer.chosen) return std::nullopt;
  return answer.path;
}

std::optional<QString> ScriptedDialogs::openFile(const QString& extension, const QString&) {
  return nextPanel({Panel::Kind::Open, extension, {}});
}

std::optional<QString> ScriptedDialogs::saveFile(const QString& extension, const QString& suggestedName,
                                                 const QString&) {
  return nextPanel({Panel::Kind::Save, extension, suggestedName});
}

std::optional<QString> ScriptedDialogs::chooseFolder(const QString&) {
  return nextPanel({Panel::Kind::Folder, {}, {}});
}
