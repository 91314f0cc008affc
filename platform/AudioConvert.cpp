#include "platform/AudioConvert.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zun {

namespace {

constexpr double kHalfPower = 0.70710678118654752;  // 3 dB down

// The gains of one speaker position on the left and the right.
struct SideGains {
    double Left, Right;
};

SideGains GainsOf(uint32_t bit) {
    switch (bit) {
    case kSpeakerFrontLeft:
    case kSpeakerFrontLeftOfCenter: return {1.0, 0.0};
    case kSpeakerFrontRight:
    case kSpeakerFrontRightOfCenter: return {0.0, 1.0};
    case kSpeakerFrontCenter: return {kHalfPower, kHalfPower};
    case kSpeakerLowFrequency: return {0.0, 0.0};
    case kSpeakerBackLeft:
    case kSpeakerSideLeft:
    case kSpeakerTopFrontLeft:
    case kSpeakerTopBackLeft: return {kHalfPower, 0.0};
    case kSpeakerBackRight:
    case kSpeakerSideRight:
    case kSpeakerTopFrontRight:
    case kSpeakerTopBackRight: return {0.0, kHalfPower};
    // Behind or above the middle: half to each side.
    default: return {0.5, 0.5};
    }
}

// The sinc's zero crossings on each side of the kernel, and the Kaiser
// window's shape: stop band about 90 dB down.
constexpr int32_t kZeroCrossings = 16;
constexpr double kKaiserBeta = 9.0;
// Kernel points per zero crossing; between them the kernel is interpolated.
constexpr int32_t kTableSteps = 512;
// The pass band ends this far below the lower of the two Nyquist limits.
constexpr double kPassBand = 0.95;

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 40 && term > sum * 1e-17; ++k) {
        const double h = x / (2.0 * k);
        term *= h * h;
        sum += term;
    }
    return sum;
}

// The windowed sinc at 0, 1/kTableSteps, ... kZeroCrossings zero crossings.
const std::vector<double>& KernelTable() {
    static const std::vector<double> table = [] {
        std::vector<double> t(size_t(kZeroCrossings) * kTableSteps + 2, 0.0);
        const double norm = BesselI0(kKaiserBeta);
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            const double x = double(i) / kTableSteps;  // in zero crossings
            const double r = x / kZeroCrossings;
            if (r > 1.0) break;
            const double sinc = x == 0.0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            t[i] = sinc * BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / norm;
        }
        return t;
    }();
    return table;
}

}  // namespace

uint32_t DefaultSpeakerMask(int32_t channels) {
    switch (channels) {
    case 1: return kSpeakerFrontCenter;
    case 2: return kSpeakerFrontLeft | kSpeakerFrontRight;
    case 3: return kSpeakerFrontLeft | kSpeakerFrontRight | kSpeakerLowFrequency;
    case 4: return kSpeakerFrontLeft | kSpeakerFrontRight | kSpeakerFrontCenter | kSpeakerBackCenter;
    case 5:
        return kSpeakerFrontLeft | kSpeakerFrontRight | kSpeakerFrontCenter | kSpeakerBackLeft | kSpeakerBackRight;
    case 6:
        return kSpeakerFrontLeft | kSpeakerFrontRight | kSpeakerFrontCenter | kSpeakerLowFrequency |
               kSpeakerBackLeft | kSpeakerBackRight;
    case 7:
        return kSpeakerFrontLeft | kSpeakerFrontRight | kSpeakerFrontCenter | kSpeakerLowFrequency |
               kSpeakerBackCenter | kSpeakerSideLeft | kSpeakerSideRight;
    case 8:
        return kSpeakerFrontLeft | kSpeakerFrontRight | kSpeakerFrontCenter | kSpeakerLowFrequency |
               kSpeakerBackLeft | kSpeakerBackRight | kSpeakerSideLeft | kSpeakerSideRight;
    default: return 0;
    }
}

std::vector<double> StereoMixMatrix(int32_t channels, uint32_t mask) {
    std::vector<uint32_t> positions;
    for (uint32_t rest = mask; rest != 0; rest &= rest - 1) positions.push_back(rest & (~rest + 1));
    return StereoMixMatrix(channels, positions);
}

std::vector<double> StereoMixMatrix(int32_t channels, const std::vector<uint32_t>& positions) {
    std::vector<double> m(size_t(std::max(0, channels)) * 2, 0.0);
    if (channels <= 0) return m;
    std::vector<uint32_t> at = positions;
    if (int32_t(at.size()) != channels) {
        at.clear();
        for (uint32_t rest = DefaultSpeakerMask(channels); rest != 0; rest &= rest - 1)
            at.push_back(rest & (~rest + 1));
    }
    if (at.empty()) {
        // More channels than any layout names: alternately left and right,
        // so that none goes unheard.
        for (int32_t c = 0; c < channels; ++c) m[size_t(c) * 2 + size_t(c % 2)] = kHalfPower;
        return m;
    }
    for (int32_t c = 0; c < channels; ++c) {
        const SideGains g = GainsOf(at[size_t(c)]);
        m[size_t(c) * 2] = g.Left;
        m[size_t(c) * 2 + 1] = g.Right;
    }
    return m;
}

void MixDownToStereo(const float* in, int64_t frames, int32_t channels, const std::vector<double>& matrix,
                     std::vector<float>& out) {
    if (frames <= 0 || channels <= 0 || matrix.size() < size_t(channels) * 2) return;
    const size_t base = out.size();
    out.resize(base + size_t(frames) * 2);
    float* o = out.data() + base;
    for (int64_t f = 0; f < frames; ++f) {
        const float* s = in + f * channels;
        double l = 0, r = 0;
        for (int32_t c = 0; c < channels; ++c) {
            l += matrix[size_t(c) * 2] * s[c];
            r += matrix[size_t(c) * 2 + 1] * s[c];
        }
        o[2 * f] = float(l);
        o[2 * f + 1] = float(r);
    }
}

int64_t ResampledFrames(int64_t inFrames, int32_t inRate, int32_t outRate) {
    if (inFrames <= 0 || inRate <= 0 || outRate <= 0) return 0;
    return std::max<int64_t>(1, int64_t(std::llround(double(inFrames) * outRate / inRate)));
}

std::vector<float> Resample(const float* in, int64_t frames, int32_t channels, int32_t inRate, int32_t outRate) {
    const int64_t outFrames = ResampledFrames(frames, inRate, outRate);
    std::vector<float> out(size_t(outFrames) * size_t(std::max(0, channels)), 0.0f);
    if (outFrames == 0 || channels <= 0) return out;
    const std::vector<double>& table = KernelTable();
    // The cut-off as a fraction of the input's Nyquist limit: below the
    // output's too when going down, so that nothing folds back.
    const double cutoff = kPassBand * std::min(1.0, double(outRate) / inRate);
    auto kernel = [&](double distance) {  // in input frames
        const double x = std::fabs(distance) * cutoff * kTableSteps;
        const size_t k = size_t(x);
        if (k + 1 >= table.size()) return 0.0;
        return (table[k] + (table[k + 1] - table[k]) * (x - double(k))) * cutoff;
    };
    // Output frame n lies p / q input frames after frame n - 1: its place
    // between two input frames comes back every q frames, so the kernel's
    // weights are worked out once for each of the q places.
    const int64_t g = std::gcd(int64_t(inRate), int64_t(outRate));
    const int64_t p = inRate / g, q = outRate / g;
    const int64_t half = int64_t(std::ceil(kZeroCrossings / cutoff));  // taps on each side
    const int64_t taps = 2 * half;
    // Rates with few frames in common would make that table large: their
    // weights are worked out for each frame instead.
    const bool perFrame = q * taps > (int64_t(1) << 20);
    std::vector<double> weights(size_t(perFrame ? taps : q * taps));
    auto weigh = [&](int64_t r, double* w) {
        for (int64_t j = 0; j < taps; ++j) w[j] = kernel(double(r) / double(q) - double(j - half + 1));
    };
    if (!perFrame)
        for (int64_t r = 0; r < q; ++r) weigh(r, weights.data() + r * taps);
    std::vector<double> acc(static_cast<size_t>(channels), 0.0);
    for (int64_t n = 0; n < outFrames; ++n) {
        const int64_t at = n * p;
        const int64_t base = at / q - half + 1;  // the first tap's input frame
        const double* w = weights.data();
        if (perFrame) weigh(at % q, weights.data());
        else w += (at % q) * taps;
        std::fill(acc.begin(), acc.end(), 0.0);
        if (base >= 0 && base + taps <= frames) {
            const float* s = in + base * channels;
            if (channels == 1) {
                double a = 0;
                for (int64_t j = 0; j < taps; ++j) a += w[j] * s[j];
                acc[0] = a;
            } else {
                for (int64_t j = 0; j < taps; ++j, s += channels)
                    for (int32_t c = 0; c < channels; ++c) acc[size_t(c)] += w[j] * s[c];
            }
        } else {
            for (int64_t j = 0; j < taps; ++j) {
                const float* s = in + std::clamp<int64_t>(base + j, 0, frames - 1) * channels;
                for (int32_t c = 0; c < channels; ++c) acc[size_t(c)] += w[j] * s[c];
            }
        }
        for (int32_t c = 0; c < channels; ++c) out[size_t(n) * channels + size_t(c)] = float(acc[size_t(c)]);
    }
    return out;
}

}  // namespace zun
