// A way across the collision map, kept as the cells where it changes
// direction. The search floods the free cells outward from the start in the
// order they are found, fixing each cell's cost (step length plus a turning
// term) when it is first reached; the waypoints are then picked by walking
// back from the goal down the costs. A goal that cannot be reached can be
// replaced by the reachable cell that came closest to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zun {
class zCamera;
class zCollisionMap;
}  // namespace zun

namespace tarv {

class gPathNode {
public:
    int32_t x = 0, y = 0;  // cell of the collision map
    int32_t Cost = 0, Dist = 0;
    std::shared_ptr<gPathNode> Parent;
};

class gPath {
public:
    bool IsComplete = false;    // the last search reached its goal
    bool IsActive = false;      // a walker has started on it
    int32_t WayPointCount = 0;  // waypoints still to walk; used from this index down
    int32_t NextStep = 0;

    // Searches from cell (x1, y1) to (x2, y2) and returns the new
    // WayPointCount; 0 when there is no way or no map. Flags 0 give the
    // straight line without looking at the map.
    int32_t FindPath(const zun::zCollisionMap* iCollisionMap, uint8_t iCollisionFlags, int32_t x1, int32_t y1,
                     int32_t x2, int32_t y2, bool iDiagonal, int32_t iNearestWeight = 5);
    // Waypoint 1 is the end of the way. An index outside the node list raises
    // "Subscript out of range".
    const gPathNode& GetNode(int32_t iNode) const;
    // Stops the path without a new search; the nodes stay.
    void Reset();
    // Debug drawing of the remaining waypoints through the camera.
    void Render(const zun::zCamera& iCam, const zun::zCollisionMap& iColMap) const;

    // Size of the node list (at least WayPointCount).
    int32_t NodeCount() const { return static_cast<int32_t>(nodes_.size()); }

    // Searches given a map so far in this run: how often the walkers plan.
    static uint64_t Searches() { return searches_; }
    // Working memory the search keeps for the next one, in bytes.
    static size_t ScratchBytes();

private:
    static uint64_t searches_;
    std::vector<gPathNode> nodes_;  // node i is nodes_[i - 1]
};

}  // namespace tarv
