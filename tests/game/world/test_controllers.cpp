// The controller stack: who is active after pushes and removals, when Assign
// and Remove are called, and that every change clears the held keys.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/zDInput.h"
#include "game/world/gCharTest.h"
#include "game/world/iController.h"

namespace tarv::test {
namespace {

using zun::zDInput;

std::vector<std::string> gEvents;

class Probe : public iController {
public:
    explicit Probe(std::string name) : name_(std::move(name)) {}
    void Assign() override {
        // Who was active while this one was being assigned.
        const auto* active = dynamic_cast<Probe*>(gCharTest.Controller.get());
        gEvents.push_back("Assign " + name_ + " over " + (active ? active->name_ : "none"));
    }
    void Remove() override { gEvents.push_back("Remove " + name_); }

private:
    std::string name_;
};

class ControllerStack : public ::testing::Test {
protected:
    std::shared_ptr<Probe> a = std::make_shared<Probe>("a"), b = std::make_shared<Probe>("b"),
                           c = std::make_shared<Probe>("c");
    void SetUp() override {
        gCharTest = gCharTestModule{};
        gEvents.clear();
        zDInput.ResetKeyStates();
    }
    void TearDown() override {
        gCharTest = gCharTestModule{};
        zDInput.ResetKeyStates();
    }
    static void HoldKeys() {
        zDInput.Keys[87] = true;
        zDInput.LastKeys[87] = true;
        zDInput.MouseButtons[1] = true;
    }
    static bool AnyHeld() { return zDInput.Keys[87] || zDInput.LastKeys[87] || zDInput.MouseButtons[1]; }
    size_t Depth() const { return gCharTest.Controllers.size(); }
};

TEST_F(ControllerStack, PushAssignsWhileThePreviousIsStillActiveAndClearsKeys) {
    gCharTest.PushController(a);
    HoldKeys();
    gCharTest.PushController(b);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Assign a over none", "Assign b over a"}));
    EXPECT_EQ(gCharTest.Controller, b);
    EXPECT_EQ(gCharTest.Controllers.back(), b);
    EXPECT_FALSE(AnyHeld()) << "a key held across the push reads as released";
}

TEST_F(ControllerStack, RemovingTheTopReactivatesTheOneBelowWithoutAssign) {
    gCharTest.PushController(a);
    gCharTest.PushController(b);
    gEvents.clear();
    HoldKeys();
    gCharTest.RemoveController(b);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Remove b"}));
    EXPECT_EQ(gCharTest.Controller, a);
    EXPECT_EQ(Depth(), 1u);
    EXPECT_FALSE(AnyHeld());
}

TEST_F(ControllerStack, RemovingOneThatStandsTwiceTakesOutTheUpperEntry) {
    gCharTest.PushController(a);
    gCharTest.PushController(b);
    gCharTest.PushController(a);
    gEvents.clear();
    gCharTest.RemoveController(a);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Remove a"}));
    ASSERT_EQ(Depth(), 2u);
    EXPECT_EQ(gCharTest.Controllers[0], a);
    EXPECT_EQ(gCharTest.Controllers[1], b);
    EXPECT_EQ(gCharTest.Controller, b);
}

TEST_F(ControllerStack, RemovingFromTheMiddleKeepsTheTopActive) {
    gCharTest.PushController(a);
    gCharTest.PushController(b);
    gCharTest.PushController(c);
    gCharTest.RemoveController(b);
    ASSERT_EQ(Depth(), 2u);
    EXPECT_EQ(gCharTest.Controllers[0], a);
    EXPECT_EQ(gCharTest.Controller, c);
}

TEST_F(ControllerStack, RemovingOneNeverPushedOnlyClearsTheKeys) {
    gCharTest.PushController(a);
    gEvents.clear();
    HoldKeys();
    gCharTest.RemoveController(b);
    EXPECT_TRUE(gEvents.empty());
    EXPECT_EQ(Depth(), 1u);
    EXPECT_EQ(gCharTest.Controller, a);
    EXPECT_FALSE(AnyHeld());
}

TEST_F(ControllerStack, EmptyingTheStackLeavesNoActiveController) {
    gCharTest.PushController(a);
    gCharTest.RemoveController(a);
    EXPECT_TRUE(gCharTest.Controllers.empty());
    EXPECT_EQ(gCharTest.Controller, nullptr);
    // And the stack works again afterwards.
    gCharTest.PushController(b);
    EXPECT_EQ(gCharTest.Controller, b);
}

// A controller that hands over to another one while it is being removed.
class HandsOver : public iController {
public:
    std::shared_ptr<iController> next;
    void Remove() override { gCharTest.PushController(next); }
};

TEST_F(ControllerStack, ARemoveThatPushesLeavesAConsistentStack) {
    auto h = std::make_shared<HandsOver>();
    h->next = c;
    gCharTest.PushController(a);
    gCharTest.PushController(h);
    gCharTest.RemoveController(h);
    ASSERT_EQ(Depth(), 2u);
    EXPECT_EQ(gCharTest.Controllers[0], a);
    EXPECT_EQ(gCharTest.Controllers[1], c);
    EXPECT_EQ(gCharTest.Controller, c);
}

TEST_F(ControllerStack, TheInterfaceDefaultsIgnoreEverything) {
    iController plain;
    EXPECT_FALSE(plain.MouseDown(1, 2, 1));
    EXPECT_FALSE(plain.MouseMove(1, 2, 3));
    EXPECT_FALSE(plain.MouseUp(1, 2, 1));
    plain.Assign();
    plain.Remove();
    plain.CheckInput();
}

}  // namespace
}  // namespace tarv::test
