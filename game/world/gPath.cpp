#include "game/world/gPath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

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

// Working grids of a search, kept between searches of maps up to a bound and
// given back after a search of a larger map. A cell's entries count only when
// its stamp is the current search's; so nothing has to be cleared.
struct Scratch {
    // Stamp and cost side by side: the flood reads the stamp of every
    // neighbour it looks at and writes both when it labels one.
    struct Rec {
        uint32_t stamp;
        int32_t cost;  // -1: seen and blocked; > 0: reached
    };
    // A queued cell carries what its neighbours' labels are made from, so
    // taking it off the queue reads the queue alone (the depth only counts
    // while the band can clip, and is read from its grid then).
    struct Item {
        int32_t x, y, cost;
        uint8_t angle;
    };
    static constexpr size_t kCellBytes = sizeof(Rec) + sizeof(int32_t) + sizeof(uint8_t) + sizeof(Item);
    // Grids for a map of up to about 1500 cells a side stay for the next search;
    // a larger map's are freed again, so one search of a huge map does not
    // hold hundreds of megabytes for the rest of the run.
    static constexpr size_t kKeepBytes = size_t(64) << 20;

    // One plain block, not vectors: it comes zeroed from the system and only
    // the stamps need a start value, so a search of a huge map pays only for
    // the pages its band touches, not for clearing the whole map; and one
    // block that large goes straight back to the system when freed.
    struct FreeBlock {
        void operator()(void* p) const { std::free(p); }
    };
    std::unique_ptr<void, FreeBlock> block;
    Rec* rec = nullptr;
    Item* queue = nullptr;       // each cell joins the queue at most once
    int32_t* depth = nullptr;    // steps from the start when reached
    uint8_t* angle = nullptr;    // arrival code; counts only for reached cells
    size_t capacity = 0;         // cells the grids hold
    std::vector<uint8_t> codes;  // the map's cells, when it cannot lend its own
    uint32_t gen = 0;

    void Begin(size_t cells) {
        if (capacity < cells) {
            ReleaseGrids();
            if (cells > SIZE_MAX / kCellBytes) throw std::bad_alloc();
            block.reset(std::calloc(cells, kCellBytes));
            if (!block) throw std::bad_alloc();
            // Widest alignment first.
            rec = static_cast<Rec*>(block.get());
            queue = reinterpret_cast<Item*>(rec + cells);
            depth = reinterpret_cast<int32_t*>(queue + cells);
            angle = reinterpret_cast<uint8_t*>(depth + cells);
            capacity = cells;
            gen = 0;
        }
        if (++gen == 0) {  // the stamps wrapped: start over
            for (size_t i = 0; i < capacity; ++i) rec[i].stamp = 0;
            gen = 1;
        }
    }
    void ReleaseGrids() {
        block.reset();
        rec = nullptr;
        queue = nullptr;
        depth = nullptr;
        angle = nullptr;
        capacity = 0;
    }
    void Release() {
        ReleaseGrids();
        std::vector<uint8_t>().swap(codes);
    }
    size_t Bytes() const { return capacity * kCellBytes + codes.capacity(); }
    // After a search: keeps the grids only while they are small.
    void Trim() {
        if (Bytes() > kKeepBytes) Release();
    }
    bool Seen(size_t i) const { return rec[i].stamp == gen; }
    int32_t Cost(size_t i) const { return Seen(i) && rec[i].cost > 0 ? rec[i].cost : 0; }
    uint8_t Angle(size_t i) const { return Cost(i) > 0 ? angle[i] : 0; }
};
Scratch& Work() {
    static Scratch s;
    return s;
}

// A step's cost rounds (turn + cost so far + step length) to the nearest whole
// number. The cost so far and the step length are whole, so unless the turning
// part lies on a half the rounding can be done once per direction pair.
struct RoundedTurns {
    int32_t add[8][8];  // step length plus the rounded turning part
    bool exact = true;
    RoundedTurns() {
        const AngleTable& at = Angles();
        for (int from = 0; from < 8; ++from) {
            for (int s = 0; s < 8; ++s) {
                const double t = at.turn[from][s];
                if (std::fabs(t - std::floor(t) - 0.5) < 1e-3) exact = false;
                add[from][s] = int32_t(std::lround(t)) + kSteps[s].cost;
            }
        }
    }
};
const RoundedTurns& Turns() {
    static const RoundedTurns t;
    return t;
}
// Above this a cost goes the long way, so that one out of range fails as it
// always has.
constexpr int32_t kCostGuard = INT32_MAX - 1024;

// One search: the flood and the way back on one map for one query.
class Search {
public:
    Search(const zCollisionMap& map, uint8_t flags, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool diagonal,
           int32_t nearestWeight)
        : map_(map), flags_(flags), W_(map.W), H_(map.H), x1_(x1), y1_(y1), x2_(x2), y2_(y2),
          nSteps_(diagonal ? 8 : 4), diagonal_(diagonal), weight_(int64_t(nearestWeight) * 10),
          stride_(int64_t(map.W) + 1), g_(Work()), at_(Angles()), turns_(Turns()) {
        code_ = map.CodeCells();
        if (!code_) {  // the grid disagrees with the size: ask cell by cell once
            g_.codes.resize(size_t(stride_) * size_t(int64_t(H_) + 1));
            for (int32_t y = 0; y <= H_; ++y)
                for (int32_t x = 0; x <= W_; ++x) g_.codes[Index(x, y)] = map.CheckTileCollision(x, y, flags) ? 0 : 0xFF;
            code_ = g_.codes.data();
        }
    }

    // Lower bound of the steps between two cells, walls ignored.
    int64_t Span(int64_t ax, int64_t ay, int64_t bx, int64_t by) const {
        const int64_t dx = std::abs(ax - bx), dy = std::abs(ay - by);
        return diagonal_ ? std::max(dx, dy) : dx + dy;
    }
    // The largest value of Span(start, c) + Span(c, goal) over the map.
    int64_t WidestBand() const {
        int64_t m = 0;
        for (int64_t cx : {int64_t(0), int64_t(W_)})
            for (int64_t cy : {int64_t(0), int64_t(H_)}) m = std::max(m, Span(x1_, y1_, cx, cy) + Span(cx, cy, x2_, y2_));
        return m;
    }

    // Floods from the start, looking only at cells c with Span(start, c) +
    // Span(c, goal) <= bound. Returns whether any cell was left out for that.
    bool Flood(int64_t bound) {
        // A bound that takes in the corners takes in every cell: the sum of
        // the two spans is convex, so it is largest at a corner.
        if (bound >= WidestBand()) return diagonal_ ? Flood<true, false>(bound) : Flood<false, false>(bound);
        return diagonal_ ? Flood<true, true>(bound) : Flood<false, true>(bound);
    }

    // The way back from the end cell; false when it cannot be trusted (a cell
    // it looked at may have been labelled otherwise by the flood of the whole
    // map). Sets out and count as FindPath would.
    bool WalkBack(bool trusted, int64_t bound, std::vector<gPathNode>& out, int32_t& count, bool& complete);

private:
    template <bool Diagonal, bool Banded>
    bool Flood(int64_t bound);
    size_t Index(int32_t x, int32_t y) const { return size_t(int64_t(y) * stride_ + x); }
    bool InMap(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x <= W_ && y <= H_; }
    bool Free(int32_t x, int32_t y) const {
        return (x == x1_ && y == y1_) || map_.CheckTileCollision(x, y, flags_);
    }
    // The cell to fall back on: of the cells taken off the queue, in that
    // order, the first where the way there plus the weighted distance still
    // to go is least; the weight says how much getting nearer is worth against
    // walking further.
    size_t Nearest() const {
        size_t best = Index(x1_, y1_);
        int64_t bestValue = (std::abs(int64_t(x2_) - x1_) + std::abs(int64_t(y2_) - y1_)) * weight_;
        for (size_t k = 0; k < taken_; ++k) {
            const Scratch::Item& it = g_.queue[k];
            const int64_t h = (std::abs(int64_t(x2_) - it.x) + std::abs(int64_t(y2_) - it.y)) * weight_;
            if (h + it.cost < bestValue) {
                best = Index(it.x, it.y);
                bestValue = h + it.cost;
            }
        }
        return best;
    }
    // Whether the label the bounded flood gave cell (x, y) is the one the
    // flood of the whole map gives it.
    bool Trusted(int32_t x, int32_t y, int64_t bound) const;
    // A reached cell all of whose shortest ways from the start lie in the band.
    bool Settled(size_t i, int32_t x, int32_t y, int64_t bound) const {
        return g_.Cost(i) > 0 && g_.depth[i] + Span(x, y, x2_, y2_) <= bound;
    }

    const zCollisionMap& map_;
    const uint8_t flags_;
    const int32_t W_, H_, x1_, y1_, x2_, y2_;
    const int nSteps_;
    const bool diagonal_;
    const int64_t weight_;
    const int64_t stride_;
    Scratch& g_;
    const AngleTable& at_;
    const RoundedTurns& turns_;
    const uint8_t* code_ = nullptr;  // the map's cells, W + 1 to a row

    size_t taken_ = 0;  // cells the last flood took off its queue
};

// The hot loop: everything it reads is held in locals, since a store
// through a byte pointer could otherwise stand for any of them. A blocked cell
// is written like a reached one and left out by not advancing the queue's
// tail, which spares a branch the walls would make hard to predict.
template <bool Diagonal, bool Banded>
bool Search::Flood(int64_t bound) {
    const int32_t W = W_, H = H_, x1 = x1_, y1 = y1_, x2 = x2_, y2 = y2_;
    const int64_t stride = stride_;
    const size_t cells = size_t(stride) * size_t(int64_t(H) + 1);
    g_.Begin(cells);
    Scratch::Rec* const rec = g_.rec;
    int32_t* const depth = g_.depth;
    uint8_t* const angle = g_.angle;
    Scratch::Item* const queue = g_.queue;
    const uint8_t* const code = code_;
    const uint32_t gen = g_.gen;
    const bool rounded = turns_.exact;
    const uint8_t flags = flags_;
    constexpr int nSteps = Diagonal ? 8 : 4;
    auto span = [](int32_t ax, int32_t ay, int32_t bx, int32_t by) {
        const int64_t dx = std::abs(int64_t(ax) - bx), dy = std::abs(int64_t(ay) - by);
        return Diagonal ? std::max(dx, dy) : dx + dy;
    };

    const size_t start = size_t(int64_t(y1) * stride + x1), goal = size_t(int64_t(y2) * stride + x2);
    rec[start] = {gen, 1};
    depth[start] = 0;
    angle[start] = 0;
    queue[0] = {x1, y1, 1, 0};
    size_t tail = 1;

    bool clipped = false;

    size_t head = 0;
    for (; head < tail; ++head) {
        const Scratch::Item it = queue[head];
        const int32_t cx = it.x, cy = it.y;
        const size_t c = size_t(int64_t(cy) * stride + cx);
        if (c == goal) break;
        const bool fast = rounded && it.cost < kCostGuard;
        const int32_t* const add = turns_.add[it.angle];
        const int32_t nDepth = Banded ? depth[c] + 1 : 0;

        auto offer = [&](int s, int32_t nx, int32_t ny, size_t n) __attribute__((always_inline)) {
            Scratch::Rec& r = rec[n];
            if (r.stamp == gen) return;
            r.stamp = gen;
            if (Banded && span(x1, y1, nx, ny) + span(nx, ny, x2, y2) > bound) {
                // Outside the band: left unreached, and looked at only once.
                clipped = true;
                r.cost = -1;
                return;
            }
            const bool open = (code[n] & flags) != flags;
            int32_t k;
            if (fast) {
                k = it.cost + add[s];
            } else {
                if (!open) {
                    r.cost = -1;
                    return;
                }
                k = CLng(double(at_.turn[it.angle][s]) + double(it.cost) + kSteps[s].cost);
            }
            r.cost = open ? k : -1;
            angle[n] = kSteps[s].angleCode;
            if (Banded) depth[n] = nDepth;
            queue[tail] = {nx, ny, k, kSteps[s].angleCode};
            tail += open;
        };
        if (cx > 0 && cy > 0 && cx < W && cy < H) {  // all neighbours on the map
#pragma GCC unroll 8
            for (int s = 0; s < nSteps; ++s)
                offer(s, cx + kSteps[s].dx, cy + kSteps[s].dy, size_t(int64_t(c) + kSteps[s].dx + kSteps[s].dy * stride));
        } else {
            for (int s = 0; s < nSteps; ++s) {
                const int32_t nx = cx + kSteps[s].dx, ny = cy + kSteps[s].dy;
                if (nx < 0 || ny < 0 || nx > W || ny > H) continue;
                offer(s, nx, ny, size_t(int64_t(ny) * stride + nx));
            }
        }
    }
    taken_ = head;
    return clipped;
}

// Why the bounded flood can be trusted: the flood visits the cells layer by
// layer (steps from the start), and a cell's label comes from the first cell
// of the layer before it, in queue order, that touches it; that order is the
// order of the step sequences of the earliest shortest ways. A reached cell c
// with depth + Span(c, goal) <= bound has every shortest way from the start
// inside the band (Span never exceeds the true step count), so the bounded
// flood gives it the same depth, the same first neighbour and the same label.
bool Search::Trusted(int32_t x, int32_t y, int64_t bound) const {
    const size_t i = Index(x, y);
    if (g_.Cost(i) > 0) return Settled(i, x, y, bound);
    if (!Free(x, y)) return true;  // never labelled by either flood
    // Unlabelled here. The whole-map flood stops when it takes the goal off
    // the queue, so it labels a cell only when a neighbour of it was taken off
    // before the goal, that is at a depth below the goal's or at the goal's
    // and earlier in the queue.
    const int64_t goalDepth = g_.depth[Index(x2_, y2_)];
    if (Span(x1_, y1_, x, y) >= goalDepth + 2) return true;
    if (Span(x1_, y1_, x, y) + Span(x, y, x2_, y2_) > bound) return false;
    // In the band: a neighbour taken off before the goal here would have
    // labelled it, so none was; each neighbour must be one whose place
    // relative to the goal is the same in both floods.
    for (int s = 0; s < nSteps_; ++s) {
        const int32_t nx = x + kSteps[s].dx, ny = y + kSteps[s].dy;
        if (!InMap(nx, ny) || !Free(nx, ny)) continue;
        if (Settled(Index(nx, ny), nx, ny, bound)) continue;
        if (Span(x1_, y1_, nx, ny) >= goalDepth + 1) continue;
        return false;
    }
    return true;
}

bool Search::WalkBack(bool trusted, int64_t bound, std::vector<gPathNode>& out, int32_t& count, bool& complete) {
    const size_t start = Index(x1_, y1_), goal = Index(x2_, y2_);
    out.clear();
    count = 0;
    complete = false;
    size_t end = goal;
    if (g_.Cost(goal) > 0) {
        if (!trusted && !Settled(goal, x2_, y2_, bound)) return false;
        complete = true;
        gPathNode node;
        node.x = x2_;
        node.y = y2_;
        out.push_back(node);
        count = 1;
    } else if (!trusted) {
        return false;  // whether the goal is reached is only known for the whole map
    } else if (weight_ == 0 || (end = Nearest()) == start) {
        return true;
    }

    // The way back: always down to the cheapest earlier neighbour. Every
    // reached cell has the one it was reached from among them, so the walk
    // ends at the start; the costs fall at each step, so it ends.
    size_t c = end;
    int32_t level = g_.Cost(end);
    float previous = at_.a[g_.Angle(goal)] + 1.0f;
    while (c != start) {
        const int32_t cx = int32_t(int64_t(c) % stride_), cy = int32_t(int64_t(c) / stride_);
        size_t p = 0;
        int32_t pCost = 0;
        bool found = false;
        for (int s = 0; s < nSteps_; ++s) {
            const int32_t nx = cx + kSteps[s].dx, ny = cy + kSteps[s].dy;
            if (!InMap(nx, ny)) continue;
            const size_t n = Index(nx, ny);
            const int32_t k = g_.Cost(n);
            if (!trusted && !(k > 0 ? Settled(n, nx, ny, bound) : Trusted(nx, ny, bound))) return false;
            if (k > 0 && k < level && (!found || k < pCost)) {
                p = n;
                pCost = k;
                found = true;
            }
        }
        if (!found) {
            count = 0;
            complete = false;
            break;
        }
        const float pAngle = at_.a[g_.Angle(p)];
        if (pAngle != previous) {
            gPathNode node;
            node.x = int32_t(int64_t(p) % stride_);
            node.y = int32_t(int64_t(p) / stride_);
            out.push_back(node);
            count += 1;
        }
        previous = pAngle;
        level = pCost;
        c = p;
    }
    out.resize(size_t(count));
    return true;
}

// The flood of the whole map labels every cell nearer than the goal, but the
// way back looks only at cells along it. So first flood a band around the
// straight line, widened until the way back only meets cells whose labels the
// whole flood would give alike; once the band holds the whole map nothing is
// left out and the result stands as it is. Kept out of line: the caller's
// clean-up would otherwise crowd the flood's registers.
__attribute__((noinline)) int32_t Plan(const zCollisionMap& map, uint8_t flags, int32_t x1, int32_t y1, int32_t x2,
                                       int32_t y2, bool diagonal, int32_t weight, std::vector<gPathNode>& nodes,
                                       bool& complete) {
    Search search(map, flags, x1, y1, x2, y2, diagonal, weight);
    const int64_t direct = search.Span(x1, y1, x2, y2);
    const int64_t widest = search.WidestBand();
    int32_t count = 0;
    for (int64_t slack = 2;;) {
        const int64_t bound = std::min(direct + slack, widest);
        const bool clipped = search.Flood(bound);
        if (search.WalkBack(!clipped, bound, nodes, count, complete)) return count;
        // A band over a good part of the map costs about as much as the whole.
        slack *= 8;
        if (direct + 4 * slack >= widest) slack = widest;
    }
}

}  // namespace

int32_t gPath::FindPath(const zCollisionMap* iCollisionMap, uint8_t iCollisionFlags, int32_t x1, int32_t y1,
                        int32_t x2, int32_t y2, bool iDiagonal, int32_t iNearestWeight) {
    zCore.CurrentProc = "FindPath";
    if (!iCollisionMap) return 0;
    ++searches_;

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

    // The grids of a huge map go back once the search is over, however it ends.
    struct Trim {
        ~Trim() { Work().Trim(); }
    } trim;
    bool complete = false;
    WayPointCount = Plan(*iCollisionMap, iCollisionFlags, x1, y1, x2, y2, iDiagonal, iNearestWeight, nodes_, complete);
    IsComplete = complete;
    return WayPointCount;
}

uint64_t gPath::searches_ = 0;

size_t gPath::ScratchBytes() { return Work().Bytes(); }

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
