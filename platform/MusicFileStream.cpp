#include "platform/MusicFileStream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>

#include "platform/MediaDecode.h"

namespace zun {

struct MusicFileStream::State {
    struct Block {
        int64_t Start = 0;  // frame of the piece its first frame is
        int64_t Frames = 0;
        std::vector<float> Samples;
        // When set, the samples are a loop's turn of this many frames from
        // Start, repeated: play stays in the block, going round the turn.
        int64_t Turn = 0;

        double FrameAt(double offset) const { return double(Start) + (Turn > 0 ? std::fmod(offset, double(Turn)) : offset); }
    };

    std::mutex m;
    std::condition_variable wake;    // the decode thread: a request, room in the ring, the end
    std::condition_variable filled;  // an offline renderer waiting for a block

    // The piece; fixed once open.
    int32_t SampleRate = 0;
    int32_t Channels = 1;  // stored: 1 or 2
    int64_t Total = 0;     // frames
    bool Offline = false;

    // The ring: blocks in play order (a loop's start follows its end).
    std::deque<Block> Ring;
    int64_t RingFrames = 0;

    // Play state. The position is Offset frames into the front block, or
    // past Expect while the ring is empty.
    bool Playing = false;
    double Offset = 0;
    int64_t Expect = 0;
    double Rate = 1.0;
    int32_t Attenuation = 0;

    // What the decoder is asked for.
    uint64_t Request = 1;  // a new number asks it to drop what it holds and seek
    int64_t SeekTo = 0;
    bool Looping = false;
    int64_t LoopStart = 0, LoopEnd = 0;
    bool Ended = false;  // nothing more will come until the next request
    bool Quit = false;
    std::string Error;

    double Position() const { return Ring.empty() ? double(Expect) + Offset : Ring.front().FrameAt(Offset); }

    // Everything decoded goes; the decoder starts again at `frame`.
    void Restart(double frame) {
        frame = std::clamp(frame, 0.0, double(Total));
        Ring.clear();
        RingFrames = 0;
        Expect = int64_t(std::floor(frame));
        Offset = frame - double(Expect);
        SeekTo = Expect;
        Ended = false;
        ++Request;
        wake.notify_all();
    }
};

namespace {

using State = MusicFileStream::State;

void Decode(std::shared_ptr<State> st, std::unique_ptr<MediaReader> reader) {
    const int64_t ahead = int64_t(MusicFileStream::kAheadSeconds * st->SampleRate);
    std::vector<float> buf;
    uint64_t served = 0;
    int64_t next = 0;
    int emptyReads = 0;
    // The whole turn of the last loop read in one block after a seek to its
    // start, kept so that a short loop is not sought and decoded again for
    // every few frames: a seek may read much of the file. `turnAt` is the
    // frame it began on, which a file's time stamps may put past the start.
    std::vector<float> turn;
    int64_t turnStart = -1, turnStop = -1, turnAt = 0;
    std::unique_lock<std::mutex> lk(st->m);
    while (true) {
        st->wake.wait(lk, [&] {
            return st->Quit || st->Request != served || (!st->Ended && st->RingFrames < ahead);
        });
        if (st->Quit) return;
        const uint64_t request = st->Request;
        const bool seek = request != served;
        int64_t from = seek ? st->SeekTo : next;
        const bool looping = st->Looping;
        const int64_t loopStart = st->LoopStart, stop = looping ? st->LoopEnd : st->Total;
        if (seek) emptyReads = 0;
        lk.unlock();

        // Decoding runs with no lock held: the mixer and the frame's thread
        // never wait for it.
        std::string error;
        bool ok = true;
        if (seek) ok = reader->Seek(from, error);
        bool repeat = false, wrapped = false;
        if (ok && looping && from >= stop) {
            from = loopStart;
            repeat = !turn.empty() && turnStart == loopStart && turnStop == stop;
            wrapped = !repeat;
            if (wrapped) ok = reader->Seek(from, error);
        }
        buf.clear();
        int64_t got = 0, start = from, period = 0;
        if (repeat) {
            // The reader is left where it stands: every request seeks it.
            period = int64_t(turn.size()) / reader->Format().StoredChannels;
            start = turnAt;
            const int64_t times = std::max<int64_t>(1, MusicFileStream::kBlockFrames / period);
            buf.reserve(turn.size() * size_t(times));
            for (int64_t k = 0; k < times; ++k) buf.insert(buf.end(), turn.begin(), turn.end());
            got = period * times;
        } else if (ok) {
            const int64_t want = std::min(MusicFileStream::kBlockFrames, std::max<int64_t>(0, stop - from));
            got = reader->Read(buf, want, error);
            ok = got >= 0;
            if (ok) start = reader->NextFrame() - got;
            // To the loop's end, or to where the data ends (the loop turns
            // there): the next turn would seek and read the same again.
            if (ok && looping && (seek || wrapped) && from == loopStart && got > 0 &&
                (start + got >= stop || got < want)) {
                turn = buf;
                turnStart = loopStart;
                turnStop = stop;
                turnAt = start;
            }
        }

        lk.lock();
        if (st->Request != request) continue;  // dropped meanwhile: serve the new request
        served = request;
        if (!ok) {
            st->Error = error.empty() ? "Decoding failed" : error;
            st->Ended = true;
        } else if (got > 0) {
            st->Ring.push_back({start, got, std::move(buf), period});
            buf = {};
            st->RingFrames += got;
            next = period > 0 ? stop : start + got;
            emptyReads = 0;
        } else if (looping && ++emptyReads < 2) {
            // The data ends before the loop's end: the loop turns there.
            next = stop;
        } else {
            if (looping) st->Error = "The loop holds no samples";
            st->Ended = true;
        }
        st->filled.notify_all();
    }
}

}  // namespace

class MusicFileStream::Source : public AudioSource {
public:
    explicit Source(std::shared_ptr<State> st) : st_(std::move(st)) {}

    void RenderAdd(float* out, int32_t frames, int32_t rate) override {
        State& s = *st_;
        std::unique_lock<std::mutex> lk(s.m);
        if (!s.Playing || rate <= 0) return;
        const double step = std::min(s.Rate * s.SampleRate / double(rate), 65536.0);
        const float gain = AttenuationToGain(s.Attenuation);
        const int32_t ch = s.Channels;
        for (int32_t n = 0; n < frames; ++n) {
            if (!Front(lk)) {
                if (s.Ring.empty() && s.Ended) {
                    // The end of a piece: it stops there and keeps that position.
                    s.Playing = false;
                    if (!s.Looping) {
                        s.Expect = s.Total;
                        s.Offset = 0;
                    }
                }
                return;  // else the decoder is behind: the position waits for it
            }
            const State::Block& b = s.Ring.front();
            const int64_t i = int64_t(s.Offset);
            const float frac = float(s.Offset - double(i));
            const float* a = b.Samples.data() + i * ch;
            const float* z = i + 1 < b.Frames ? a + ch : s.Ring.size() > 1 ? s.Ring[1].Samples.data() : a;
            if (ch == 1) {
                const float x = gain * (a[0] + (z[0] - a[0]) * frac);
                out[2 * n] += x;
                out[2 * n + 1] += x;
            } else {
                out[2 * n] += gain * (a[0] + (z[0] - a[0]) * frac);
                out[2 * n + 1] += gain * (a[1] + (z[1] - a[1]) * frac);
            }
            s.Offset += step;
        }
    }

private:
    std::shared_ptr<State> st_;

    // The front block holds the position; false when the ring has run dry.
    bool Front(std::unique_lock<std::mutex>& lk) {
        State& s = *st_;
        while (true) {
            if (!s.Ring.empty()) {
                State::Block& b = s.Ring.front();
                if (s.Offset < double(b.Frames)) return true;
                if (b.Turn > 0) {
                    // Its frames are whole turns: round again, however fast the rate.
                    s.Offset = std::fmod(s.Offset, double(b.Turn));
                    continue;
                }
                s.Offset -= double(b.Frames);
                s.Expect = b.Start + b.Frames;
                s.RingFrames -= b.Frames;
                s.Ring.pop_front();
                s.wake.notify_all();
                continue;
            }
            if (s.Ended || !s.Offline) return false;
            // Rendered by its owner's thread, the mix can wait for the decoder;
            // a device cannot, and plays on without this piece.
            if (!s.filled.wait_for(lk, std::chrono::seconds(10), [&] { return !s.Ring.empty() || s.Ended || s.Quit; }))
                return false;
            if (s.Quit) return false;
        }
    }
};

std::shared_ptr<MusicFileStream> MusicFileStream::Open(const std::shared_ptr<AudioMixer>& mixer,
                                                       const std::string& hostPath, std::string& error) {
    if (!mixer) {
        error = "No audio output";
        return nullptr;
    }
    auto reader = std::make_unique<MediaReader>();
    if (!reader->Open(hostPath, error)) return nullptr;
    const AudioData& f = reader->Format();
    std::shared_ptr<MusicFileStream> stream(new MusicFileStream());
    auto st = std::make_shared<State>();
    st->SampleRate = f.SampleRate;
    st->Channels = f.StoredChannels;
    st->Total = f.Frames;
    st->Offline = mixer->Offline();
    st->Error = reader->Warning();  // told with the first TakeError
    try {
        stream->thread_ = std::thread(Decode, st, std::move(reader));
    } catch (const std::system_error&) {
        error = "Cannot start the decoder";
        return nullptr;
    }
    stream->mixer_ = mixer;
    stream->state_ = st;
    stream->source_ = std::make_shared<Source>(st);
    mixer->AddSource(stream->source_);
    return stream;
}

MusicFileStream::~MusicFileStream() {
    if (mixer_ && source_) mixer_->RemoveSource(source_);
    if (state_) {
        std::lock_guard<std::mutex> lk(state_->m);
        state_->Quit = true;
        state_->wake.notify_all();
        state_->filled.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

void MusicFileStream::Run() {
    std::lock_guard<std::mutex> lk(state_->m);
    // A stream that stands at its end has nothing left to play.
    state_->Playing = state_->Position() < double(state_->Total) || state_->Looping;
}

void MusicFileStream::Stop() {
    std::lock_guard<std::mutex> lk(state_->m);
    state_->Playing = false;
}

bool MusicFileStream::IsRunning() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->Playing;
}

double MusicFileStream::GetPosition() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return std::min(state_->Position(), double(state_->Total)) / double(state_->SampleRate);
}

void MusicFileStream::SetPosition(double seconds) {
    if (!(seconds > 0)) seconds = 0;
    std::lock_guard<std::mutex> lk(state_->m);
    state_->Restart(std::min(seconds * state_->SampleRate, double(state_->Total)));
}

double MusicFileStream::GetStopTime() const { return double(state_->Total) / double(state_->SampleRate); }

double MusicFileStream::GetRate() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->Rate;
}

void MusicFileStream::SetRate(double rate) {
    if (!(rate >= MinRate)) rate = MinRate;  // also NaN
    if (rate > MaxRate) rate = MaxRate;
    std::lock_guard<std::mutex> lk(state_->m);
    state_->Rate = rate;
}

int32_t MusicFileStream::GetVolume() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->Attenuation;
}

void MusicFileStream::SetVolume(int32_t mB) {
    std::lock_guard<std::mutex> lk(state_->m);
    state_->Attenuation = std::clamp(mB, -10000, 0);
}

void MusicFileStream::SetLoop(bool looping, double start, double end) {
    State& s = *state_;
    const double rate = s.SampleRate;
    const double a = std::max(0.0, start) * rate;
    const double e = end * rate;
    std::lock_guard<std::mutex> lk(s.m);
    bool on = looping && e > a && e <= double(s.Total);
    int64_t ls = 0, le = 0;
    if (on) {
        ls = int64_t(std::floor(a));
        le = std::max<int64_t>(ls + 1, int64_t(std::floor(e)));
    }
    if (on == s.Looping && ls == s.LoopStart && le == s.LoopEnd) return;
    s.Looping = on;
    s.LoopStart = ls;
    s.LoopEnd = le;
    // What was decoded ahead followed the old loop: decoded again from here.
    double at = s.Position();
    if (on && at >= double(le)) at = double(ls);
    s.Restart(at);
}

std::string MusicFileStream::TakeError() {
    std::lock_guard<std::mutex> lk(state_->m);
    std::string e;
    e.swap(state_->Error);
    return e;
}

int64_t MusicFileStream::BufferedSamples() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->RingFrames * state_->Channels;
}

}  // namespace zun
