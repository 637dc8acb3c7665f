#include "platform/CommandLine.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

#ifndef ZR_VERSION
#error "ZR_VERSION names the project's version"
#endif

namespace platform {

namespace {

// ---- Qt's own options ----------------------------------------------------------------------------
// The options a QApplication takes out of argv, as Qt documents them (QGuiApplication and
// QApplication; -display and -geometry on X11): "-name" or "--name", a value either as the next
// argument or, for the three marked, also as "-name=value".
struct QtOption {
  const char* name;
  bool takesValue;
  bool valueAfterEquals;
};
constexpr QtOption kQtGuiOptions[] = {
    {"platform", true, false},        {"platformpluginpath", true, false}, {"platformtheme", true, false},
    {"plugin", true, false},          {"qwindowgeometry", true, false},    {"qwindowicon", true, false},
    {"qwindowtitle", true, false},    {"session", true, false},            {"display", true, false},
    {"geometry", true, false},        {"style", true, true},               {"stylesheet", true, true},
    {"qmljsdebugger", true, true},    {"reverse", false, false},           {"widgetcount", false, false},
};

// The option name of "-name", "--name" or "-name=value" ("" for anything else).
QString optionName(const QString& arg) {
  if (!arg.startsWith(u'-') || arg == QStringLiteral("-") || arg == QStringLiteral("--")) return {};
  const QString name = arg.mid(arg.startsWith(QStringLiteral("--")) ? 2 : 1);
  return name.section(u'=', 0, 0);
}

// An argument as it may be shown: control characters (escape sequences a terminal would obey)
// written as \xNN.
QString shown(const QString& text) {
  QString out;
  for (QChar c : text) {
    if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
      out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else
      out += c;
  }
  return out;
}

void print(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  std::fflush(stream);
}

}  // namespace

CommandLine::CommandLine(QString program, QString description, Toolkit toolkit)
    : m_program(std::move(program)), m_description(std::move(description)), m_toolkit(toolkit) {}

QString CommandLine::versionText() const {
  return m_program + u' ' + QStringLiteral(ZR_VERSION);
}

QString CommandLine::helpText() const {
  QString text = QStringLiteral("Usage: %1 [options]\n%2\n\n").arg(m_program, m_description.trimmed());
  text += QStringLiteral("Options:\n"
                         "  -h, --help     Shows this help and exits.\n"
                         "  -v, --version  Shows the version and exits.\n");
  if (m_toolkit == QtGuiOptions)
    text += QStringLiteral("\nQt's own options (-platform, -style, -display, ...) are taken as Qt documents them.\n");
  text += QStringLiteral("\nSee the manual page %1(1).\n").arg(m_program);
  return text;
}

int CommandLine::refuse(const QString& why) const {
  print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(m_program, shown(why)));
  return 2;
}

std::optional<int> CommandLine::judge(int argc, const char* const* argv) const {
  // Qt's options are set aside exactly as the application object will take them; what is left
  // is this program's to judge.
  QStringList own{m_program};
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (m_toolkit == QtGuiOptions) {
      const bool hasEquals = arg.contains(u'=');
      const QString name = optionName(arg);
      const QtOption* qt = nullptr;
      for (const QtOption& o : kQtGuiOptions)
        if (name == QLatin1String(o.name)) qt = &o;
      if (qt && !hasEquals) {
        if (qt->takesValue && ++i >= argc) return refuse(QStringLiteral("Missing value after '%1'.").arg(arg));
        continue;
      }
      if (qt && qt->valueAfterEquals) continue;
    }
    // "--" (the end of the options) would only introduce arguments, and there are none to take.
    if (arg == QStringLiteral("--")) return refuse(QStringLiteral("Unexpected argument '--'."));
    own << arg;
  }

  QCommandLineParser parser;
  // "-word" is one option, as Qt's own are ("-platform"), not a run of one-letter ones.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  parser.addOption(help);
  parser.addOption(version);
  // parse(), not process(): process() would exit with status 1 and needs an application object.
  if (!parser.parse(own)) return refuse(parser.errorText());
  if (!parser.positionalArguments().isEmpty())
    return refuse(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
  if (parser.isSet(help)) {
    print(stdout, helpText());
    return 0;
  }
  if (parser.isSet(version)) {
    print(stdout, versionText() + u'\n');
    return 0;
  }
  return std::nullopt;
}

std::optional<int> CommandLine::judgeLeftOver(const QStringList& arguments) const {
  if (arguments.size() <= 1) return std::nullopt;
  return refuse(QStringLiteral("Unknown option '%1'.").arg(arguments.at(1)));
}

}  // namespace platform
