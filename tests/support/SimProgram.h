#pragma once
// The simulator program (zerelta-scanner-sim) as a child process of the test, stopped (SIGTERM,
// then SIGKILL) when this ends.
//
//   SimProgram sim;
//   ASSERT_TRUE(sim.start(ZR_SIM_PATH, {"--address", a, "--port", "0", "--publish"}));
//   sim.port();  // the port it bound, from its first line
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>

class SimProgram {
 public:
  SimProgram() = default;
  ~SimProgram();
  SimProgram(const SimProgram&) = delete;
  SimProgram& operator=(const SimProgram&) = delete;

  // Starts `program` with `arguments` and waits (up to 10 s) for its first line, "... listening
  // on A:P". False when it did not start or ended before that line (an address already taken, a
  // bad argument); standardError() then says why.
  bool start(const QString& program, const QStringList& arguments);
  // SIGTERM, and the exit code (-1 when it had to be killed or was not running).
  int stop();

  uint16_t port() const { return m_port; }
  QProcess& process() { return m_process; }
  // Everything it wrote to stderr so far.
  QString standardError();

 private:
  QProcess m_process;
  QString m_stderr;
  uint16_t m_port = 0;
};
