#pragma once
// The scanner's verdict on one step of work: one exchange, or a short sequence of them (a write
// and its companion writes, a reset, the records of one import step).
//
// The command layer's booleans say only whether the bytes moved. Wherever the user is told the
// outcome of a command, that is not enough: the scanner may take every byte and still refuse the
// command, or report a pending condition (paper jam, open cover) in dwLastErr. A step is accepted
// only when every exchange in it completed, each status phase delivered all 32 bytes, and every
// status block said dwLastErr 0. IOWrapper::judge() runs a step and answers this verdict; it is
// judged there and nowhere else.

#include <cstdint>

struct CommandOutcome {
  enum class Kind : uint8_t {
    Accepted,     // every exchange completed and the scanner accepted each
    Failed,       // a transfer did not complete (or the operation failed before sending)
    ShortStatus,  // a status phase delivered fewer than 32 bytes
    Refused,      // the scanner answered with dwLastErr != 0 (deviceError)
  };
  Kind kind = Kind::Accepted;
  uint32_t deviceError = 0;  // dwLastErr of the first refusing exchange (Refused only)

  bool ok() const { return kind == Kind::Accepted; }
  explicit operator bool() const { return ok(); }
  // The scanner did not answer the step in full: no connection, no answer within the limit, or
  // an answer cut short. A refusal is an answer.
  bool noAnswer() const { return kind == Kind::Failed || kind == Kind::ShortStatus; }

  static CommandOutcome accepted() { return {}; }
  static CommandOutcome failed() { return {Kind::Failed, 0}; }
  static CommandOutcome refused(uint32_t code) { return {Kind::Refused, code}; }

  // Keeps the first problem of a sequence: an accepted outcome takes `later`'s verdict.
  CommandOutcome& operator&=(const CommandOutcome& later) {
    if (ok()) *this = later;
    return *this;
  }
};
