// The session of changes a user makes after the first write. Each change
// alters the concept model, marks only the mirror objects it touches and
// rewrites them; the caller flushes after each step.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "frame_host.hpp"

namespace frame_host {

// What one change did: a description for the summary and the elements whose
// analysis records it changed or removed.
struct ChangeRecord {
  std::string description;
  std::set<long> changedElements;
};

// A girder's span segment gets a new, heavier section (IPE500).
ChangeRecord ChangeGirderSection(FrameHost& host);
// A facade column moves further off its grid line (its eccentricity grows by half).
ChangeRecord ChangeColumnEccentricity(FrameHost& host);
// A brace is removed: its elements go, and the bracing set is rewritten.
ChangeRecord DeleteBrace(FrameHost& host);
// The self-weight load case's gravity is factored by 1.35.
ChangeRecord ChangeGravity(FrameHost& host);
// An item of equipment moves half a bay along x: its mass and point load move.
ChangeRecord MoveEquipment(FrameHost& host);

// The five changes above, in the order the example runs them.
std::vector<std::pair<std::string, std::function<ChangeRecord(FrameHost&)>>> ChangeSession();

}  // namespace frame_host
