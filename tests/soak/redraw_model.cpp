#include "tests/soak/redraw_model.h"

namespace soak {

bool NoteArmed(RedrawModel& model, HWND view) {
  if (!model.pending) return false;
  model.pending = false;
  model.armed = true;
  model.armedView = view;
  model.armedViewAlive = true;
  return true;
}

void NoteCancelled(RedrawModel& model) {
  model.pending = false;
  model.armed = false;
}

std::string CheckTimers(const RedrawModel& model, const PluginActivity& seen) {
  if (seen.windowTimers != 0) return "a timer was asked for a window";
  if (seen.badRepaints != 0) return "a repaint of part of the view, or with its background";
  if (seen.timers.size() > 1) return "more than one redraw timer on the thread";
  if (seen.timers.size() != (model.armed ? 1u : 0u)) {
    return model.armed ? "no timer after an armed jump" : "a timer nobody armed";
  }
  if (!seen.timers.empty() && (seen.timers[0].period < 1 || seen.timers[0].period > 1000)) {
    return "a timer period of " + std::to_string(seen.timers[0].period) + " ms";
  }
  return {};
}

std::string CheckExpiry(RedrawModel& model, uint64_t repaints, HWND repainted) {
  const bool expected = !model.pending && model.armedViewAlive;
  model.armed = false;
  if (repaints != (expected ? 1u : 0u)) {
    return std::to_string(repaints) + " repaints at the expiry, " +
           (expected ? "one wanted" : "none wanted") +
           (model.pending ? " (a later jump is pending)" : "") +
           (model.armedViewAlive ? "" : " (the view is gone)");
  }
  if (repaints == 1 && repainted != model.armedView) return "the repaint went to another window";
  return {};
}

}  // namespace soak
