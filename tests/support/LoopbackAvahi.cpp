#include "LoopbackAvahi.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kUnavailable = 77;  // the script's "cannot run here"

// A word for the shell, in single quotes.
std::string shellWord(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

std::string LoopbackAvahi::script() { return ZR_SOURCE_DIR "/scripts/avahi-loopback"; }

LoopbackAvahi& LoopbackAvahi::shared() {
  static LoopbackAvahi instance;
  return instance;
}

LoopbackAvahi::LoopbackAvahi() {
  char pattern[] = "/tmp/zr-avahi-XXXXXX";
  if (!mkdtemp(pattern)) {
    m_message = "no temporary folder";
    return;
  }
  m_dir = pattern;
  const std::string errFile = m_dir + "/start.err";
  const std::string command = "bash " + shellWord(script()) + " start " + shellWord(m_dir) + " " +
                              std::to_string(::getpid()) + " 2>" + shellWord(errFile);
  std::FILE* out = ::popen(command.c_str(), "r");
  if (!out) {
    m_message = "cannot run " + script();
    return;
  }
  std::string printed;
  char buf[256];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, out)) > 0) printed.append(buf, n);
  const int status = ::pclose(out);

  std::ifstream err(errFile);
  std::stringstream errText;
  errText << err.rdbuf();
  m_message = trimmed(errText.str());
  if (!WIFEXITED(status)) {
    m_message = script() + " start ended abnormally: " + m_message;
  } else if (WEXITSTATUS(status) == kUnavailable) {
    m_status = Status::Unavailable;
  } else if (WEXITSTATUS(status) == 0) {
    m_address = trimmed(printed);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.c_str(), 1);
    m_status = Status::Running;
  }
}

LoopbackAvahi::~LoopbackAvahi() {
  if (m_dir.empty()) return;
  const std::string command = "bash " + shellWord(script()) + " stop " + shellWord(m_dir) + " >/dev/null 2>&1";
  const int ignored = std::system(command.c_str());
  (void)ignored;
  std::error_code ec;
  std::filesystem::remove_all(m_dir, ec);
}
