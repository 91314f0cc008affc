#include "tools/democontent/DemoSound.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/democontent/DemoCanvas.h"

namespace tarv::demo {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kRate = kSoundRate;

void PutLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

std::vector<float> Silence(double seconds) { return std::vector<float>(size_t(seconds * kRate), 0.0f); }

// One-pole low-pass, in place.
void LowPass(std::vector<float>& s, double cutoff) {
    const double a = 1 - std::exp(-2 * kPi * cutoff / kRate);
    double y = 0;
    for (float& v : s) {
        y += a * (v - y);
        v = float(y);
    }
}

void HighPass(std::vector<float>& s, double cutoff) {
    std::vector<float> low = s;
    LowPass(low, cutoff);
    for (size_t i = 0; i < s.size(); ++i) s[i] -= low[i];
}

void Normalize(std::vector<float>& s, double peak) {
    float m = 0;
    for (float v : s) m = std::max(m, std::fabs(v));
    if (m <= 0) return;
    for (float& v : s) v = float(v * peak / m);
}

// Attack and decay envelope over the whole sound.
void Envelope(std::vector<float>& s, double attack, double decayPower) {
    const size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate, u = double(i) / std::max<size_t>(1, n - 1);
        const double a = attack > 0 ? std::min(1.0, t / attack) : 1.0;
        s[i] = float(s[i] * a * std::pow(1 - u, decayPower));
    }
}

// A loop that ends where it began: the last part fades into the first.
void MakeLoop(std::vector<float>& s, double fade) {
    const size_t f = std::min(s.size() / 2, size_t(fade * kRate));
    if (f == 0) return;
    const size_t n = s.size() - f;
    for (size_t i = 0; i < f; ++i) {
        const double t = double(i) / f;
        s[i] = float(s[i] * t + s[n + i] * (1 - t));
    }
    s.resize(n);
}

std::vector<float> Noise(double seconds, uint32_t seed) {
    DemoRandom rnd(seed);
    std::vector<float> s(size_t(seconds * kRate));
    for (float& v : s) v = float(rnd.Unit() * 2 - 1);
    return s;
}

std::vector<float> Tone(double seconds, const std::function<double(double)>& freq, double power) {
    std::vector<float> s(size_t(seconds * kRate));
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        phase += 2 * kPi * freq(double(i) / kRate) / kRate;
        s[i] = float(std::sin(phase));
    }
    Envelope(s, 0.004, power);
    return s;
}

void MixInto(std::vector<float>& dst, const std::vector<float>& src, double at, double gain) {
    const size_t start = size_t(at * kRate);
    if (dst.size() < start + src.size()) dst.resize(start + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); ++i) dst[start + i] += float(src[i] * gain);
}

// A bell: inharmonic partials, each decaying at its own pace.
std::vector<float> Bell(double seconds, double base) {
    std::vector<float> s(size_t(seconds * kRate));
    const double partials[][3] = {{1.0, 1.0, 1.0}, {2.0, 0.6, 1.5}, {2.76, 0.4, 2.2}, {5.4, 0.25, 3.5}, {8.9, 0.12, 5}};
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        double v = 0;
        for (auto& p : partials) v += p[1] * std::sin(2 * kPi * base * p[0] * t) * std::exp(-t * p[2] * 2.2 / seconds);
        s[i] = float(v * std::min(1.0, t / 0.003));
    }
    return s;
}

std::vector<float> Thunder(double seconds, uint32_t seed, double crack, double cutoff) {
    std::vector<float> s = Noise(seconds, seed);
    LowPass(s, cutoff);
    LowPass(s, cutoff);
    DemoRandom rnd(seed + 1);
    // Rolling: a few swells after the first crack.
    std::vector<double> swells;
    for (int i = 0; i < 5; ++i) swells.push_back(rnd.Range(0.2, seconds * 0.7));
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        double e = crack * std::exp(-t * 9) + 0.55 * std::exp(-t * 1.1);
        for (double w : swells) e += 0.35 * std::exp(-std::pow((t - w) * 4, 2));
        e *= std::min(1.0, t / 0.01) * std::min(1.0, (seconds - t) / 0.4);
        s[i] = float(s[i] * e);
    }
    Normalize(s, 0.9);
    return s;
}

std::vector<float> Wind(double seconds, uint32_t seed, double centre) {
    std::vector<float> s = Noise(seconds, seed);
    LowPass(s, centre);
    HighPass(s, centre / 4);
    for (size_t i = 0; i < s.size(); ++i) {
        const double u = double(i) / s.size();
        s[i] = float(s[i] * std::sin(kPi * u) * (0.7 + 0.3 * std::sin(u * 9)));
    }
    Normalize(s, 0.6);
    return s;
}

std::vector<float> Step(uint32_t seed, double cutoff, double seconds, double thump) {
    std::vector<float> s = Noise(seconds, seed);
    LowPass(s, cutoff);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        s[i] = float((s[i] + thump * std::sin(2 * kPi * 90 * t)) * std::exp(-t * 40));
    }
    Normalize(s, 0.55);
    return s;
}

// Droplets: short rising blips at random moments over a noise bed.
std::vector<float> Water(double seconds, uint32_t seed, double bed, int drops, double pitch) {
    std::vector<float> s = Noise(seconds, seed);
    LowPass(s, 1800);
    for (float& v : s) v = float(v * bed);
    DemoRandom rnd(seed + 5);
    for (int i = 0; i < drops; ++i) {
        const double f0 = rnd.Range(pitch, pitch * 2.2), len = rnd.Range(0.03, 0.08);
        auto drop = Tone(len, [f0](double t) { return f0 * (1 + t * 14); }, 2.0);
        MixInto(s, drop, rnd.Range(0.0, seconds - len), rnd.Range(0.15, 0.4));
    }
    s.resize(size_t(seconds * kRate));
    return s;
}

std::vector<float> Fire(double seconds, uint32_t seed) {
    std::vector<float> s = Noise(seconds, seed);
    LowPass(s, 500);
    for (float& v : s) v *= 0.5f;
    DemoRandom rnd(seed + 3);
    for (int i = 0; i < int(seconds * 30); ++i) {
        const size_t at = size_t(rnd.Range(0.0, seconds - 0.01) * kRate);
        const double amp = rnd.Range(0.2, 0.9);
        for (size_t k = 0; k < 60 && at + k < s.size(); ++k)
            s[at + k] += float(amp * (rnd.Unit() * 2 - 1) * std::exp(-double(k) / 12));
    }
    return s;
}

DemoSound Make(const std::string& file, std::vector<float> s, double peak) {
    Normalize(s, peak);
    return DemoSound{file, std::move(s)};
}

}  // namespace

std::vector<uint8_t> EncodeWave(const std::vector<float>& samples, int32_t rate) {
    std::vector<uint8_t> out;
    const uint32_t data = uint32_t(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLE(out, 36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(out, 16, 4);
    PutLE(out, 1, 2);  // PCM
    PutLE(out, 1, 2);  // mono
    PutLE(out, uint32_t(rate), 4);
    PutLE(out, uint32_t(rate) * 2, 4);
    PutLE(out, 2, 2);
    PutLE(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLE(out, data, 4);
    for (float v : samples) {
        const double c = std::clamp(double(v), -1.0, 1.0);
        PutLE(out, uint32_t(uint16_t(int16_t(std::lround(c * 32767)))), 2);
    }
    return out;
}

std::vector<DemoSound> MakeSounds() {
    std::vector<DemoSound> out;
    out.push_back(Make("cursor.wav", Tone(0.06, [](double) { return 1320; }, 3.0), 0.5));
    {
        std::vector<float> s = Noise(0.025, 3);
        HighPass(s, 2500);
        MixInto(s, Tone(0.02, [](double) { return 2100; }, 4.0), 0, 0.6);
        Envelope(s, 0, 3.0);
        out.push_back(Make("snip.wav", s, 0.6));
    }
    out.push_back(Make("text_out.wav", Tone(0.22, [](double t) { return 880 - 1800 * t; }, 1.5), 0.35));
    out.push_back(Make("thunder1.wav", Thunder(3.2, 11, 1.4, 420), 0.55));
    out.push_back(Make("thunder2.wav", Thunder(2.6, 12, 0.5, 220), 0.45));
    out.push_back(Make("wind1.wav", Wind(2.4, 21, 700), 0.5));
    out.push_back(Make("wind2.wav", Wind(2.0, 22, 420), 0.5));
    {
        std::vector<float> s = Water(2.4, 31, 0.35, 90, 1800);
        MakeLoop(s, 0.3);
        out.push_back(Make("rain.wav", s, 0.25));
    }
    {
        std::vector<float> s = Water(2.6, 41, 0.5, 50, 500);
        MakeLoop(s, 0.3);
        out.push_back(Make("fountain.wav", s, 0.5));
    }
    {
        std::vector<float> s = Fire(2.4, 51);
        MakeLoop(s, 0.3);
        out.push_back(Make("fire.wav", s, 0.6));
    }
    out.push_back(Make("step_stone.wav", Step(61, 2600, 0.09, 0.3), 0.55));
    out.push_back(Make("step_grass.wav", Step(62, 1200, 0.13, 0.1), 0.45));
    out.push_back(Make("step_wood.wav", Step(63, 900, 0.12, 0.8), 0.55));
    {
        std::vector<float> s = Water(0.18, 64, 0.6, 3, 700);
        Envelope(s, 0.005, 1.5);
        out.push_back(Make("step_water.wav", s, 0.5));
    }
    {
        // A door: a creak (a gliding, wavering saw tone) and the knock of the frame.
        std::vector<float> s(size_t(0.7 * kRate));
        double phase = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            const double t = double(i) / kRate;
            phase += (180 + 120 * t + 25 * std::sin(t * 40)) / kRate;
            s[i] = float((phase - std::floor(phase) - 0.5) * 0.5 * std::sin(kPi * std::min(1.0, t / 0.55)));
        }
        LowPass(s, 1400);
        MixInto(s, Step(65, 500, 0.15, 1.0), 0.55, 1.2);
        out.push_back(Make("door.wav", s, 0.6));
    }
    {
        std::vector<float> s = Tone(0.16, [](double) { return 988; }, 1.5);
        MixInto(s, Tone(0.3, [](double) { return 1480; }, 1.5), 0.09, 1.0);
        out.push_back(Make("pickup.wav", s, 0.35));
    }
    out.push_back(Make("bell.wav", Bell(2.5, 392), 0.6));
    {
        std::vector<float> s = Silence(0.05);
        MixInto(s, Tone(0.09, [](double t) { return 1200 - 3000 * t; }, 2.0), 0.0, 1.0);
        out.push_back(Make("drip.wav", s, 0.4));
    }
    {
        // A cat: a pitch that rises and falls through a nasal buzz.
        std::vector<float> s(size_t(0.5 * kRate));
        double phase = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            const double t = double(i) / kRate, u = t / 0.5;
            phase += 2 * kPi * (520 + 380 * std::sin(kPi * u)) / kRate;
            const double v = std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.3 * std::sin(3 * phase);
            s[i] = float(v * std::sin(kPi * u));
        }
        LowPass(s, 2500);
        out.push_back(Make("meow.wav", s, 0.45));
    }
    return out;
}

}  // namespace tarv::demo
