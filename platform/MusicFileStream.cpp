#include "platform/MusicFileStream.h"

#include <algorithm>
#include <atomic>
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
    std::condition_variable filled;  // an offline renderer waiting for a block or the open
    std::atomic<bool> Stop{false};   // ends the reader's open or seek at once when the stream goes

    // The piece; fixed once open. The decode thread opens and measures the
    // file; until then the rate is 0 and what the frame's thread asks for
    // (a position, a loop, in seconds) waits for it.
    int32_t SampleRate = 0;
    int32_t Channels = 1;  // stored: 1 or 2
    int64_t Total = 0;     // frames
    bool Offline = false;
    bool Opening = true;
    bool Failed = false;  // could not open: Error says why
    double AskedPosition = 0;
    bool AskedLoop = false;
    double AskedLoopStart = 0, AskedLoopEnd = 0;
    std::string Warning;

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

    // Seconds given in whole milliseconds are whole frames at most rates,
    // but not always in binary: 0.71 s at 44.1 kHz is a hair below frame
    // 31311. A hair's difference is the same frame.
    static constexpr double kFrameSlack = 1e-6;

    // The loop in seconds as frames of the piece; false when it stays as
    // it was. An end past the piece (kPieceEnd too) is the piece's end.
    bool SetLoop(bool looping, double start, double end) {
        const double rate = SampleRate;
        const double a = std::max(0.0, start) * rate;
        const double e = std::min(end * rate, double(Total));
        const bool on = looping && e > a && a < double(Total);
        int64_t ls = 0, le = 0;
        if (on) {
            ls = std::min(int64_t(std::floor(a + kFrameSlack)), Total - 1);
            le = std::max(ls + 1, std::min(int64_t(std::floor(e + kFrameSlack)), Total));
        }
        if (on == Looping && ls == LoopStart && le == LoopEnd) return false;
        Looping = on;
        LoopStart = ls;
        LoopEnd = le;
        return true;
    }

    // Everything decoded goes; the decoder starts again at `frame`.
    void Restart(double frame) {
        frame = std::clamp(frame, 0.0, double(Total));
        Ring.clear();
        RingFrames = 0;
        Expect = std::min(int64_t(std::floor(frame + kFrameSlack)), Total);
        Offset = std::max(0.0, frame - double(Expect));
        SeekTo = Expect;
        Ended = false;
        ++Request;
        wake.notify_all();
    }
};

namespace {

using State = MusicFileStream::State;

// Opens the file on the decode thread, so that the frame's thread never waits
// for the decoding libraries nor for a file's length to be counted, then
// serves what was asked for meanwhile; false when the file cannot be played.
bool OpenReader(State& st, MediaReader& reader, const std::string& hostPath) {
    std::string error;
    const bool ok = reader.Open(hostPath, error, &st.Stop);
    std::lock_guard<std::mutex> lk(st.m);
    st.Opening = false;
    if (!ok) {
        st.Failed = true;
        st.Error = error.empty() ? "Cannot open the file" : error;
        st.Ended = true;
        st.Playing = false;
    } else {
        const AudioData& f = reader.Format();
        st.SampleRate = f.SampleRate;
        st.Channels = f.StoredChannels;
        st.Total = f.Frames;
        st.Warning = reader.Warning();
        st.SetLoop(st.AskedLoop, st.AskedLoopStart, st.AskedLoopEnd);
        st.Restart(st.AskedPosition * st.SampleRate);
        // A stream asked to run from its end has nothing left to play.
        if (st.Playing && !(st.Position() < double(st.Total) || st.Looping)) st.Playing = false;
    }
    st.filled.notify_all();
    return ok;
}

void Decode(std::shared_ptr<State> st, std::string hostPath) {
    auto reader = std::make_unique<MediaReader>();
    if (!OpenReader(*st, *reader, hostPath)) return;
    const int64_t ahead = int64_t(MusicFileStream::kAheadSeconds * st->SampleRate);
    std::vector<float> buf;
    uint64_t served = 0;
    int64_t next = 0;
    int emptyReads = 0;
    // The whole turn of the last loop read in one block after a seek to its
    // start, kept so that a short loop is not sought and decoded again at
    // every turn: a seek decodes a run-up before its target, or may read much
    // of the file, and at a high rate a short loop turns many times a
    // frame. `turnAt` is the frame it began on, which a file's time stamps
    // may put past the start.
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
            int64_t want = std::min(MusicFileStream::kBlockFrames, std::max<int64_t>(0, stop - from));
            const bool turnStarts = looping && (seek || wrapped) && from == loopStart;
            if (turnStarts && stop - loopStart <= MusicFileStream::kTurnFrames) want = stop - from;
            got = reader->Read(buf, want, error);
            ok = got >= 0;
            if (ok) start = reader->NextFrame() - got;
            // To the loop's end, or to where the data ends (the loop turns
            // there): the next turn would seek and read the same again.
            if (ok && turnStarts && got > 0 && (start + got >= stop || got < want)) {
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
            // Play never leaves a block of whole turns: nothing after it would
            // be heard.
            if (period > 0) st->Ended = true;
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
        if (!s.Playing || rate <= 0 || s.SampleRate <= 0) return;
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
    std::shared_ptr<MusicFileStream> stream(new MusicFileStream());
    auto st = std::make_shared<State>();
    st->Offline = mixer->Offline();
    try {
        stream->thread_ = std::thread(Decode, st, hostPath);
    } catch (const std::system_error&) {
        error = "Cannot start the decoder";
        return nullptr;
    }
    stream->mixer_ = mixer;
    stream->state_ = st;
    stream->source_ = std::make_shared<Source>(st);
    mixer->AddSource(stream->source_);
    // Rendered by its owner, the mix may wait, and the file is open (or
    // refused) when this returns; a device plays on meanwhile.
    if (st->Offline) {
        std::unique_lock<std::mutex> lk(st->m);
        st->filled.wait(lk, [&] { return !st->Opening; });
        if (st->Failed) {
            error = st->Error;
            return nullptr;
        }
    }
    return stream;
}

MusicFileStream::~MusicFileStream() {
    if (mixer_ && source_) mixer_->RemoveSource(source_);
    if (state_) {
        state_->Stop = true;
        std::lock_guard<std::mutex> lk(state_->m);
        state_->Quit = true;
        state_->wake.notify_all();
        state_->filled.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

void MusicFileStream::Run() {
    std::lock_guard<std::mutex> lk(state_->m);
    // A stream that stands at its end has nothing left to play; one still
    // opening is told when it knows its end.
    state_->Playing =
        !state_->Failed && (state_->Opening || state_->Position() < double(state_->Total) || state_->Looping);
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
    if (state_->SampleRate <= 0) return state_->AskedPosition;
    return std::min(state_->Position(), double(state_->Total)) / double(state_->SampleRate);
}

void MusicFileStream::SetPosition(double seconds) {
    if (!(seconds > 0)) seconds = 0;
    std::lock_guard<std::mutex> lk(state_->m);
    if (state_->SampleRate <= 0) {
        state_->AskedPosition = seconds;
        return;
    }
    state_->Restart(seconds * state_->SampleRate);
}

double MusicFileStream::GetStopTime() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->SampleRate > 0 ? double(state_->Total) / double(state_->SampleRate) : 0.0;
}

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
    std::lock_guard<std::mutex> lk(s.m);
    if (s.SampleRate <= 0) {
        s.AskedLoop = looping;
        s.AskedLoopStart = start;
        s.AskedLoopEnd = end;
        return;
    }
    if (!s.SetLoop(looping, start, end)) return;
    // What was decoded ahead followed the old loop: decoded again from here.
    double at = s.Position();
    if (s.Looping && at >= double(s.LoopEnd)) at = double(s.LoopStart);
    s.Restart(at);
}

bool MusicFileStream::HoldsLoop() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return !state_->Opening && !state_->Failed && state_->Looping;
}

bool MusicFileStream::Opened() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return !state_->Opening && !state_->Failed;
}

bool MusicFileStream::Failed() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->Failed;
}

std::string MusicFileStream::TakeError() {
    std::lock_guard<std::mutex> lk(state_->m);
    std::string e;
    e.swap(state_->Error);
    return e;
}

std::string MusicFileStream::TakeWarning() {
    std::lock_guard<std::mutex> lk(state_->m);
    std::string w;
    w.swap(state_->Warning);
    return w;
}

int64_t MusicFileStream::BufferedSamples() const {
    std::lock_guard<std::mutex> lk(state_->m);
    return state_->RingFrames * state_->Channels;
}

}  // namespace zun
