#include "support/FuzzSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Dialogs.h"

namespace fuzz {

void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::fflush(stderr);
  std::abort();
}

// ---- Input -------------------------------------------------------------------------------------

uint8_t Bytes::byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

uint16_t Bytes::u16() {
  const uint16_t lo = byte();
  return static_cast<uint16_t>(lo | (uint16_t(byte()) << 8));
}

uint32_t Bytes::u32() {
  const uint32_t lo = u16();
  return lo | (uint32_t(u16()) << 16);
}

QByteArray Bytes::take(std::size_t n) {
  const std::size_t k = std::min(n, left());
  QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), static_cast<qsizetype>(k));
  m_pos += k;
  return out;
}

// ---- Process -------------------------------------------------------------------------------------

namespace {

// Answers every alert with its first button and every panel with nothing, at once.
class SilentDialogs : public platform::Dialogs {
 public:
  platform::AlertAnswer runAlert(const platform::AlertSpec&) override { return {}; }
  std::optional<QString> openFile(const QString&, const QString&) override { return std::nullopt; }
  std::optional<QString> saveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
  std::optional<QString> chooseFolder(const QString&) override { return std::nullopt; }
};

QTemporaryDir* g_home = nullptr;

}  // namespace

void initProcess(bool widgets) {
  static bool done = false;
  if (done) return;
  done = true;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's own warnings (a malformed value it converts, a widget without a screen) are not faults.
  qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
  static int argc = 1;
  static char name[] = "zerelta-fuzz";
  static char* argv[] = {name, nullptr};
  if (widgets)
    new QApplication(argc, argv);  // lives as long as the process
  else
    new QCoreApplication(argc, argv);
  const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  g_home = new QTemporaryDir(base + QStringLiteral("/zerelta-fuzz-XXXXXX"));
  if (!g_home->isValid()) fail("no temporary HOME");
  // Three levels deep: the driver's device list lies at "~/../../../Library/...", which must stay
  // inside the temporary folder too.
  QDir().mkpath(home());
  qputenv("HOME", QFile::encodeName(home()));
  static SilentDialogs dialogs;
  platform::setDialogs(&dialogs);
  // The folder goes when the process ends normally (libFuzzer's -runs end with exit()).
  std::atexit([] { delete g_home; });
}

QString home() { return g_home ? g_home->path() + QStringLiteral("/home/users/fuzz") : QString(); }

void writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) fail("cannot write a file");
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

// ---- The scripted scanner ---------------------------------------------------------------------

platform::UsbResult ReplyPeer::received(uint8_t, const uint8_t* data, uint32_t size, uint32_t* taken,
                                        std::chrono::milliseconds) {
  m_writes.emplace_back(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  *taken = size;
  return platform::UsbResult::Success;
}

platform::UsbResult ReplyPeer::send(uint8_t, uint8_t* data, uint32_t size, uint32_t* given,
                                    std::chrono::milliseconds) {
  ++m_reads;
  *given = 0;
  if (!m_input || m_input->empty()) return platform::UsbResult::Success;
  const uint8_t shape = m_input->byte();
  std::size_t want = size;
  if (shape >= 0xFC) return platform::UsbResult::PipeStalled;
  if (shape >= 0xF8) return platform::UsbResult::NotResponding;
  if (shape >= 0xF0) want = std::min<std::size_t>(m_input->byte(), size);
  const QByteArray reply = m_input->take(want);
  if (!reply.isEmpty()) std::memcpy(data, reply.constData(), static_cast<std::size_t>(reply.size()));
  *given = static_cast<uint32_t>(reply.size());
  return platform::UsbResult::Success;
}

void ScriptedScanner::begin(Bytes* input) {
  peer->setInput(input);
  peer->clearWrites();
  host.clearCalls();
}

ScriptedScanner& scanner() {
  static ScriptedScanner* s = [] {
    auto* made = new ScriptedScanner;
    platform::FakeUsbHost::Device device;
    device.vendorId = 0x1209;
    device.productId = 0x0001;
    device.peer = made->peer;
    made->index = made->host.addDevice(device);
    platform::setUsbHost(&made->host);
    return made;
  }();
  return *s;
}

}  // namespace fuzz

// The system's random bytes, replaced in the fuzz programs by a fixed sequence: Qt draws the
// UUIDs of the lock and of the monitor's PC identifier, and the names of temporary files, from
// here, and the bytes of those reach comparisons libFuzzer learns from. With this, a run depends
// on its seed alone (scripts/fuzz --ci).
extern "C" int getentropy(void* buffer, size_t length) {
  static uint64_t state = 0x9E3779B97F4A7C15ull;
  auto* out = static_cast<unsigned char*>(buffer);
  for (size_t i = 0; i < length; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    out[i] = static_cast<unsigned char>(state);
  }
  return 0;
}
