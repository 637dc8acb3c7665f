#include "FaultPlan.h"

namespace sim {

bool Fault::matches(const FCL_VENDOR_CMD& cmd) const {
  return (!opcode || *opcode == cmd.byOPCode) && (!dtc || *dtc == cmd.byDTC) && (!dtq || *dtq == cmd.wDTQ);
}

void FaultPlan::add(Fault fault) {
  std::lock_guard lock(m_mutex);
  if (fault.count != 0) m_faults.push_back(std::move(fault));
}

void FaultPlan::clear() {
  std::lock_guard lock(m_mutex);
  m_faults.clear();
}

bool FaultPlan::empty() const {
  std::lock_guard lock(m_mutex);
  return m_faults.empty();
}

std::optional<Fault> FaultPlan::take(const FCL_VENDOR_CMD& cmd) {
  std::lock_guard lock(m_mutex);
  for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
    if (!it->matches(cmd)) continue;
    Fault fault = *it;
    if (it->fromThenOn) {
      it->opcode.reset();
      it->dtc.reset();
      it->dtq.reset();
      it->count = -1;
    } else if (it->count > 0 && --it->count == 0) {
      m_faults.erase(it);
    }
    return fault;
  }
  return std::nullopt;
}

}  // namespace sim
