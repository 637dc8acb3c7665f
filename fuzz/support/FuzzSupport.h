#pragma once
// What every fuzz target shares: the bytes of one input read from the front, the process set-up
// (an application object on the offscreen platform, a private HOME, alerts answered at once),
// and a fake USB scanner whose replies come from the input.
//
// The scripted scanner
// --------------------
// ReplyPeer serves the bulk pipes of a FakeUsbHost device: it takes every write whole and answers
// each read from the input stream. Per read it takes one shape byte, then the reply:
//   0x00..0xEF  a whole reply: the next `size` bytes of the input (fewer when the input ends,
//               which is a short transfer)
//   0xF0..0xF7  a short reply: one more byte n, then the next min(n, size) bytes
//   0xF8..0xFB  the device does not answer (NotResponding), nothing moved
//   0xFC..0xFF  the pipe stalls (PipeStalled), nothing moved
// A read once the input is used up delivers nothing, successfully (a zero-length transfer). The
// corpus generator (fuzz/corpus/make_corpus.py) writes replies in this form.
//
// Nothing here opens a socket, starts a thread or waits.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/usb/FakeUsbHost.h"

namespace fuzz {

// Aborts with `what` on standard error: a property the code under test promises does not hold.
[[noreturn]] void fail(const char* what);
#define FUZZ_CHECK(cond)                                            \
  do {                                                              \
    if (!(cond)) ::fuzz::fail(__FILE__ ": check failed: " #cond);   \
  } while (0)

// The input, read from the front.
class Bytes {
 public:
  Bytes(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  std::size_t left() const { return m_size - m_pos; }
  bool empty() const { return left() == 0; }
  // The next byte, 0 once the input is used up.
  uint8_t byte();
  uint16_t u16();  // little-endian, 0-filled past the end
  uint32_t u32();
  // Up to `n` bytes (fewer at the end).
  QByteArray take(std::size_t n);
  QByteArray rest() { return take(left()); }

 private:
  const uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// Once per process: QT_QPA_PLATFORM=offscreen, a QApplication (`widgets`) or QCoreApplication,
// HOME pointed at a private temporary folder (in /dev/shm when there is one), alerts answered
// with their first button and nothing else, the debug masks off.
void initProcess(bool widgets);
// The private HOME of this process.
QString home();
// Writes `bytes` to `path` (folders made as needed); aborts when that fails.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

class ReplyPeer : public platform::FakeUsbHost::PipePeer {
 public:
  // Reads are answered from `input` until it is used up; `input` must outlive the runs.
  void setInput(Bytes* input) { m_input = input; }
  // Every write's bytes, in order (cleared by setInput's caller with clearWrites()).
  const std::vector<QByteArray>& writes() const { return m_writes; }
  void clearWrites() {
    m_writes.clear();
    m_reads = 0;
  }
  // Reads answered since the last clearWrites().
  int reads() const { return m_reads; }

  platform::UsbResult received(uint8_t pipeRef, const uint8_t* data, uint32_t size, uint32_t* taken,
                               std::chrono::milliseconds timeout) override;
  platform::UsbResult send(uint8_t pipeRef, uint8_t* data, uint32_t size, uint32_t* given,
                           std::chrono::milliseconds timeout) override;

 private:
  Bytes* m_input = nullptr;
  std::vector<QByteArray> m_writes;
  int m_reads = 0;
};

// A FakeUsbHost installed as the process's USB host, holding one scanner (network model, vendor
// 0x1209 product 0x0001) whose pipes a ReplyPeer serves, and whose control-pipe reply is set per
// run. Made once per process (use scanner()).
struct ScriptedScanner {
  platform::FakeUsbHost host;
  std::shared_ptr<ReplyPeer> peer = std::make_shared<ReplyPeer>();
  int index = 0;

  // Starts a run: replies from `input`, the write record and the host's call log cleared.
  void begin(Bytes* input);
};
ScriptedScanner& scanner();

}  // namespace fuzz
