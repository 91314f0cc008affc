#include "game/world/gPath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"

namespace tarv {

using namespace zun;

namespace {

// The neighbours in the order they are offered and looked at on the way back:
// the four straight steps, then the diagonals.
struct Step {
    int32_t dx, dy;
    int32_t cost;
    uint8_t angleCode;  // index into kAngles
};
constexpr Step kSteps[8] = {
    {0, -1, 10, 1}, {1, 0, 10, 0},  {0, 1, 10, 2},  {-1, 0, 10, 3},
    {1, -1, 14, 4}, {1, 1, 14, 5},  {-1, 1, 14, 6}, {-1, -1, 14, 7},
};

// Arrival angles by code. Code 0 is angle 0: a step to the right, the start and
// every cell never reached share it.
struct AngleTable {
    float a[8];
    // The turning part of a step's cost, by arrival code and step: (turn + pi) * 5
    // in single precision, turn being the step's angle less the arrival angle
    // less pi, brought into 0..2 pi.
    float turn[8][8];
    AngleTable() {
        const double pi = zMath::PI;
        const double k[8] = {0.0, 1.5, 0.5, 1.0, 1.75, 0.25, 0.75, 1.25};
        for (int i = 0; i < 8; ++i) a[i] = float(k[i] * pi);
        for (int from = 0; from < 8; ++from) {
            for (int s = 0; s < 8; ++s) {
                const float step = a[kSteps[s].angleCode];
                const float t = zMath::NormalizeAngle(float(double(step) - a[from] - pi));
                turn[from][s] = float(t + zMath::PI) * 5.0f;
            }
        }
    }
};
const AngleTable& Angles() {
    static const AngleTable t;
    return t;
}

// Working grids of a search, kept between searches. A cell's entries count
// only when its stamp is the current search's; so nothing has to be cleared.
struct Scratch {
    std::vector<uint32_t> stamp;
    std::vector<int32_t> cost;  // -1: seen and blocked; > 0: reached
    std::vector<uint8_t> angle;
    std::vector<int32_t> queue;
    uint32_t gen = 0;

    void Begin(size_t cells) {
        if (stamp.size() < cells) {
            stamp.assign(cells, 0);
            cost.resize(cells);
            angle.resize(cells);
            gen = 0;
        }
        if (++gen == 0) {  // the stamps wrapped: start over
            std::fill(stamp.begin(), stamp.end(), 0u);
            gen = 1;
        }
        queue.clear();
    }
    bool Seen(size_t i) const { return stamp[i] == gen; }
    int32_t Cost(size_t i) const { return Seen(i) && cost[i] > 0 ? cost[i] : 0; }
    uint8_t Angle(size_t i) const { return Seen(i) ? angle[i] : 0; }
};
Scratch& Work() {
    static Scratch s;
    return s;
}

}  // namespace

int32_t gPath::FindPath(const zCollisionMap* iCollisionMap, uint8_t iCollisionFlags, int32_t x1, int32_t y1,
                        int32_t x2, int32_t y2, bool iDiagonal, int32_t iNearestWeight) {
    zCore.CurrentProc = "FindPath";
    if (!iCollisionMap) return 0;

    if (iCollisionFlags == 0) {
        nodes_.assign(2, gPathNode{});
        nodes_[0].x = x2;
        nodes_[0].y = y2;
        nodes_[1].x = x1;
        nodes_[1].y = y1;
        IsComplete = true;
        WayPointCount = 2;
        return 2;
    }

    const int32_t W = iCollisionMap->W, H = iCollisionMap->H;
    WayPointCount = 0;
    nodes_.clear();
    if (W < 0 || H < 0) {
        IsComplete = false;
        return 0;
    }
    x1 = std::clamp(x1, 0, W);
    x2 = std::clamp(x2, 0, W);
    y1 = std::clamp(y1, 0, H);
    y2 = std::clamp(y2, 0, H);

    const int64_t stride = int64_t(W) + 1;
    const size_t cells = size_t(stride) * size_t(int64_t(H) + 1);
    Scratch& g = Work();
    g.Begin(cells);
    const AngleTable& at = Angles();
    const int nSteps = iDiagonal ? 8 : 4;
    auto index = [stride](int32_t x, int32_t y) { return size_t(int64_t(y) * stride + x); };

    const size_t start = index(x1, y1), goal = index(x2, y2);
    g.stamp[start] = g.gen;
    g.cost[start] = 1;
    g.angle[start] = 0;
    g.queue.push_back(int32_t(start));

    const int64_t weight = int64_t(iNearestWeight) * 10;
    size_t best = start;
    int64_t bestValue = (int64_t(std::abs(int64_t(x2) - x1)) + std::abs(int64_t(y2) - y1)) * weight;

    for (size_t head = 0; head < g.queue.size(); ++head) {
        const size_t c = size_t(g.queue[head]);
        if (c == goal) break;
        const int32_t cx = int32_t(int64_t(c) % stride), cy = int32_t(int64_t(c) / stride);
        const int32_t cCost = g.cost[c];
        const uint8_t cAngle = g.angle[c];

        // The cell to fall back on is the one where the way there plus the
        // weighted distance still to go is least; the weight says how much
        // getting nearer is worth against walking further.
        const int64_t h = (std::abs(int64_t(x2) - cx) + std::abs(int64_t(y2) - cy)) * weight;
        if (h + cCost < bestValue) {
            best = c;
            bestValue = h + cCost;
        }

        for (int s = 0; s < nSteps; ++s) {
            const int32_t nx = cx + kSteps[s].dx, ny = cy + kSteps[s].dy;
            if (nx < 0 || ny < 0 || nx > W || ny > H) continue;
            const size_t n = index(nx, ny);
            if (g.Seen(n)) continue;
            g.stamp[n] = g.gen;
            if (!iCollisionMap->CheckTileCollision(nx, ny, iCollisionFlags)) {
                g.cost[n] = -1;
                g.angle[n] = 0;
                continue;
            }
            const double total = double(at.turn[cAngle][s]) + double(cCost) + kSteps[s].cost;
            g.cost[n] = CLng(total);
            g.angle[n] = kSteps[s].angleCode;
            g.queue.push_back(int32_t(n));
        }
    }

    size_t end;
    if (g.Cost(goal) > 0) {
        end = goal;
        IsComplete = true;
        gPathNode node;
        node.x = x2;
        node.y = y2;
        nodes_.push_back(node);
        WayPointCount = 1;
    } else if (iNearestWeight == 0 || best == start) {
        WayPointCount = 0;
        IsComplete = false;
        return 0;
    } else {
        end = best;
        IsComplete = false;
    }

    // The way back: always down to the cheapest earlier neighbour. Every
    // reached cell has the one it was reached from among them, so the walk
    // ends at the start; the costs fall at each step, so it ends.
    size_t c = end;
    int32_t level = g.Cost(end);
    float previous = at.a[g.Angle(goal)] + 1.0f;
    while (c != start) {
        const int32_t cx = int32_t(int64_t(c) % stride), cy = int32_t(int64_t(c) / stride);
        size_t p = 0;
        int32_t pCost = 0;
        bool found = false;
        for (int s = 0; s < nSteps; ++s) {
            const int32_t nx = cx + kSteps[s].dx, ny = cy + kSteps[s].dy;
            if (nx < 0 || ny < 0 || nx > W || ny > H) continue;
            const size_t n = index(nx, ny);
            const int32_t k = g.Cost(n);
            if (k > 0 && k < level && (!found || k < pCost)) {
                p = n;
                pCost = k;
                found = true;
            }
        }
        if (!found) {
            WayPointCount = 0;
            IsComplete = false;
            break;
        }
        const float pAngle = at.a[g.Angle(p)];
        if (pAngle != previous) {
            gPathNode node;
            node.x = int32_t(int64_t(p) % stride);
            node.y = int32_t(int64_t(p) / stride);
            nodes_.push_back(node);
            WayPointCount += 1;
        }
        previous = pAngle;
        level = pCost;
        c = p;
    }

    nodes_.resize(size_t(WayPointCount));
    return WayPointCount;
}

const gPathNode& gPath::GetNode(int32_t iNode) const {
    if (iNode < 1 || size_t(iNode) > nodes_.size()) Raise(errSubscript);
    return nodes_[size_t(iNode) - 1];
}

void gPath::Reset() {
    IsComplete = false;
    IsActive = false;
    WayPointCount = 0;
}

void gPath::Render(const zCamera& iCam, const zCollisionMap& iColMap) const {
    const double t = iColMap.TileW;
    const int32_t white = zDDrawModule::GetColorRGB(1, 1, 1);
    const int32_t black = zDDrawModule::GetColorRGB(0, 0, 0);
    const int32_t last = std::min(WayPointCount, NodeCount());
    for (int32_t i = 1; i < last; ++i) {
        const gPathNode& from = GetNode(i + 1);
        const gPathNode& to = GetNode(i);
        const float x1 = ToSingle(from.x * t + t / 2 - iCam.x), y1 = ToSingle(from.y * t + t / 2 - iCam.y);
        const float x2 = ToSingle(to.x * t + t / 2 - iCam.x), y2 = ToSingle(to.y * t + t / 2 - iCam.y);
        zDDraw.BltLine(x1, y1, x2, y2, white, black);
        // The head points along the way, at the waypoint walked to.
        const double back = zMath::GetAngle(x2, y2, x1, y1);
        for (double side : {-1.0, 1.0}) {
            const double a = back + side * double(zMath::PI) / 4;
            zDDraw.BltLine(x2, y2, ToSingle(x2 + 5 * std::cos(a)), ToSingle(y2 + 5 * std::sin(a)), white, white);
        }
    }
}

}  // namespace tarv
