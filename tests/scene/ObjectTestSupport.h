// Set-up shared by the tests of placed objects (shapes, sprites, items, map
// objects, emitters): the layer test device plus the object classes, an empty
// script hook, a fake wave service, and a small map object of a class of its
// own for the factory round trips.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LayerTestSupport.h"
#include "core/zStream.h"
#include "scene/iEmitter.h"
#include "scene/iMapItem.h"
#include "scene/zObjectClasses.h"
#include "scene/zScriptHook.h"
#include "scene/zWaveService.h"

namespace zun::test::layers {

// Remembers every call, in order, as text ("Load a.wav", "Play 1 vol=0.6 speed=1",
// "Setup 1 vol=0.6 speed=1", "Stop 1"), and the volumes handed over.
class FakeWaves : public iWaveService {
public:
    std::vector<std::string> Calls;
    std::vector<float> Volumes;  // of every Play and Setup
    std::map<std::string, LoadResult> Files;  // unknown names are Missing
    std::map<int32_t, bool> PlayingNow;
    float SpeedLimit = 100.0f;  // speeds above it are written back clamped
    int32_t Next = 1;

    int32_t LoadWave(const std::string& iFile, bool iForceNew, LoadResult& oResult) override {
        Calls.push_back("Load " + iFile + (iForceNew ? " new" : ""));
        auto it = Files.find(iFile);
        oResult = it == Files.end() ? LoadResult::Missing : it->second;
        return oResult == LoadResult::Loaded ? Next++ : 0;
    }
    bool IsWavePlaying(int32_t iWave) override { return PlayingNow[iWave]; }
    void SetupWave(int32_t iWave, float iVolume, float iSpeed) override {
        Calls.push_back("Setup " + std::to_string(iWave));
        Volumes.push_back(iVolume);
        (void)iSpeed;
    }
    void PlayWave(int32_t iWave, bool iLooping, float iVolume, float& ioSpeed, int32_t iStartMs) override {
        Calls.push_back("Play " + std::to_string(iWave) + (iLooping ? " loop" : "") + " at " + std::to_string(iStartMs));
        Volumes.push_back(iVolume);
        if (ioSpeed > SpeedLimit) ioSpeed = SpeedLimit;
        PlayingNow[iWave] = true;
    }
    void StopWave(int32_t iWave) override {
        Calls.push_back("Stop " + std::to_string(iWave));
        PlayingNow[iWave] = false;
    }
    void ReleaseWave(int32_t iWave) override { Calls.push_back("Release " + std::to_string(iWave)); }
};

// A map object and emitter of a class of its own: a point with a tag, which
// logs its drawing into a shared list.
class TestMarker : public iChunk, public iMapItem, public iEmitter {
public:
    float x = 0, y = 0;
    std::string Tag;
    std::vector<std::string>* Drawn = nullptr;

    std::string ClassName() const override { return "tMarker"; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<TestMarker>(); }
    bool Export(zStream& s) override {
        s.WriteSingle(x);
        s.WriteSingle(y);
        s.WriteString(Tag);
        return true;
    }
    bool Import(zStream& s) override {
        s.ReadSingle(x);
        s.ReadSingle(y);
        s.ReadString(Tag);
        return true;
    }
    void Render(const zCamera&) override {
        if (Drawn) Drawn->push_back(Tag);
    }
    float GetX() const override { return x; }
    float GetY() const override { return y; }
    iClass* Class() override { return this; }
    void SetPosition(float iX, float iY) override {
        x = iX;
        y = iY;
    }
    void SetPos(float iX, float iY) override { SetPosition(iX, iY); }
};

class ObjectTest : public LayerTest {
protected:
    std::shared_ptr<FakeWaves> waves = std::make_shared<FakeWaves>();
    std::shared_ptr<iWaveService> savedWaves;

    void SetUp() override {
        LayerTest::SetUp();
        RegisterSceneObjectClasses();
        if (!FindClass("tMarker")) RegisterClass(std::make_shared<TestMarker>());
        gSceneScript = SceneScriptHooks{};
        savedWaves = WaveService();
        SetWaveService(waves);
    }
    void TearDown() override {
        SetWaveService(savedWaves);
        gSceneScript = SceneScriptHooks{};
        LayerTest::TearDown();
    }

    // The description of the failure f raises; "" when it raises none.
    template <class F>
    static std::string FailureOf(F&& f) {
        try {
            f();
        } catch (const RuntimeError& e) {
            return e.Description;
        }
        return "";
    }

    static zStream StreamOf(const std::vector<uint8_t>& bytes) { return zStream(bytes); }
};

}  // namespace zun::test::layers
