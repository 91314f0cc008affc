// Control tags and the two binding procedures between a value store and a
// form's controls.
#include "SettingsTestSupport.h"
#include "game/shell/gForm.h"

namespace tarv::test {

TEST(ControlTag, SplitsIntoTypeKeyAndDefault) {
    auto t = SplitControlTag("byte:HighQualityBuffers");
    EXPECT_EQ(t.Type, "byte");
    EXPECT_EQ(t.Key, "HighQualityBuffers");
    EXPECT_EQ(t.Default, "0");
    t = SplitControlTag("str:Name");
    EXPECT_EQ(t.Default, "");
    t = SplitControlTag("lng:Size:12:extra");
    EXPECT_EQ(t.Key, "Size");
    EXPECT_EQ(t.Default, "12");
    t = SplitControlTag("sng");
    EXPECT_EQ(t.Type, "sng");
    EXPECT_EQ(t.Key, "");
    EXPECT_EQ(t.Default, "0");
}

TEST(FormControl, RefusesValuesOutsideItsRangeAndRaisesOnlyOnChange) {
    gForm f;
    int clicks = 0, changes = 0;
    gFormControl& box = f.Add("CheckBox", "chk", 0, "");
    box.Click = [&](gFormControl&) { ++clicks; };
    box.SetValue(1);
    box.SetValue(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_THROW(box.SetValue(3), RuntimeError);
    EXPECT_EQ(box.Value, 1);

    gFormControl& bar = f.Add("HScrollBar", "scr", 0, "");
    bar.Max = 100;
    bar.Change = [&](gFormControl&) { ++changes; };
    bar.SetValue(40.5);  // to the even neighbour
    EXPECT_EQ(bar.Value, 40);
    EXPECT_THROW(bar.SetValue(101), RuntimeError);
    EXPECT_THROW(bar.SetValue(-1), RuntimeError);
    EXPECT_EQ(changes, 1);

    gFormControl& list = f.Add("ListBox", "lst", -1, "");
    EXPECT_THROW(list.SetListIndex(0), RuntimeError);
    list.AddItem("a", 5);
    list.SetListIndex(0);
    EXPECT_EQ(list.ListIndex, 0);
    EXPECT_EQ(f.Find("lst").get(), &list);
    EXPECT_EQ(f.Find("chk", 1), nullptr);
}

class Binding : public SettingsTest {
protected:
    gForm form;
    gFormControl& Add(const std::string& kind, const std::string& tag) { return form.Add(kind, "ctl", 0, "", tag); }
};

TEST_F(Binding, RoundTripOfEveryBoundKindAndType) {
    gFormControl& chk = Add("CheckBox", "byte:Shadows");
    gFormControl& bar = Add("HScrollBar", "sng:SoundVolume");
    bar.Max = 100;
    gFormControl& vbar = Add("VScrollBar", "lng:WaveFactor");
    vbar.Max = 100;
    gFormControl& txtL = Add("TextBox", "lng:WaveSize");
    gFormControl& txtS = Add("TextBox", "sng:Gain");
    gFormControl& txtT = Add("TextBox", "str:Title:none");
    gFormControl& list = Add("ComboBox", "lng:DebugMap");
    for (int32_t i = 0; i < 4; ++i) list.AddItem("map", i * 10);

    Settings().SetByte("Shadows", 1);
    Settings().SetSingle("SoundVolume", 75);
    Settings().SetLong("WaveFactor", 30);
    Settings().SetLong("WaveSize", 3);
    Settings().SetSingle("Gain", 2.5f);
    Settings().SetLong("DebugMap", 20);
    gCharTest.ValuesToForm(Settings(), form);
    EXPECT_EQ(chk.Value, 1);
    EXPECT_EQ(bar.Value, 75);
    EXPECT_EQ(vbar.Value, 30);
    EXPECT_EQ(txtL.Text, "3");
    EXPECT_EQ(txtS.Text, "2.5");
    EXPECT_EQ(txtT.Text, "none");  // the tag's default while the store has no entry
    EXPECT_EQ(list.ListIndex, 2);

    chk.SetValue(0);
    bar.SetValue(20);
    txtL.SetText("7");
    txtS.SetText("0.25");
    txtT.SetText("Vorlund");
    list.SetListIndex(3);
    gCharTest.FormToValues(Settings(), form);
    EXPECT_EQ(Settings().GetByte("Shadows", 9), 9);  // 0 removed the entry
    EXPECT_EQ(Settings().GetSingle("SoundVolume"), 20.0f);
    EXPECT_EQ(Settings().GetLong("WaveSize"), 7);
    EXPECT_EQ(Settings().GetSingle("Gain"), 0.25f);
    EXPECT_EQ(Settings().GetString("Title"), "Vorlund");
    EXPECT_EQ(Settings().GetLong("DebugMap"), 30);
}

TEST_F(Binding, AFailingStepIsSkippedAndTheOthersRun) {
    gFormControl& txt = Add("TextBox", "lng:WaveSize");
    gFormControl& bar = Add("HScrollBar", "sng:SoundVolume");
    bar.Max = 100;
    gFormControl& after = Add("CheckBox", "byte:Mirrors");
    Settings().SetLong("WaveSize", 4);
    Settings().SetSingle("SoundVolume", 150);  // beyond the bar
    Settings().SetByte("Mirrors", 1);
    gCharTest.ValuesToForm(Settings(), form);
    EXPECT_EQ(bar.Value, 0);
    EXPECT_EQ(after.Value, 1);

    // A letter in a number box leaves the stored value as it was.
    txt.SetText("x");
    after.SetValue(0);
    gCharTest.FormToValues(Settings(), form);
    EXPECT_EQ(Settings().GetLong("WaveSize"), 4);
    EXPECT_EQ(Settings().GetByte("Mirrors"), 0);
    EXPECT_TRUE(Logged("WARN\tFormToValues\tWaveSize"));
}

TEST_F(Binding, ATagDefaultShowsWhileTheStoreHasNoEntry) {
    gFormControl& chk = Add("CheckBox", "byte:Mirrors:1");
    gCharTest.ValuesToForm(Settings(), form);
    // An off switch has no entry, so the tag's 1 shows it ticked.
    EXPECT_EQ(chk.Value, 1);
    gFormControl& bad = Add("CheckBox", "byte:Lighting:abc");
    bad.Value = 1;
    gCharTest.ValuesToForm(Settings(), form);
    EXPECT_EQ(bad.Value, 1);
}

TEST_F(Binding, UntaggedStringAndUnknownKindsAreLeftAlone) {
    gFormControl& none = Add("CheckBox", "");
    gFormControl& strBox = Add("CheckBox", "str:Mirrors");
    gFormControl& strList = Add("ListBox", "str:Mirrors");
    strList.AddItem("x", 1);
    gFormControl& button = Add("CommandButton", "byte:Mirrors");
    Settings().SetByte("Mirrors", 1);
    gCharTest.ValuesToForm(Settings(), form);
    EXPECT_EQ(none.Value, 0);
    EXPECT_EQ(strBox.Value, 0);
    EXPECT_EQ(strList.ListIndex, -1);
    EXPECT_EQ(button.Value, 0);
    gCharTest.FormToValues(Settings(), form);
    EXPECT_EQ(Settings().GetByte("Mirrors"), 1);
}

TEST_F(Binding, ListSelectionByItemData) {
    gFormControl& list = Add("ListBox", "lng:DebugMap");
    EXPECT_EQ(gCharTest.GetListValue(list, 42), 42);  // nothing selected
    list.AddItem("a", 7);
    list.AddItem("b", 9);
    list.AddItem("c", 9);
    gCharTest.SelectListItem(list, 9);
    EXPECT_EQ(list.ListIndex, 1);  // the first equal entry
    gCharTest.SelectListItem(list, 3);
    EXPECT_EQ(list.ListIndex, 0);  // none equal: the first entry
    EXPECT_EQ(gCharTest.GetListValue(list, 42), 7);

    // A single value is rounded to the nearest whole number to select.
    gFormControl& sng = Add("ComboBox", "sng:Level");
    sng.AddItem("x", 2);
    sng.AddItem("y", 3);
    Settings().SetSingle("Level", 2.5f);
    gCharTest.ValuesToForm(Settings(), form);
    EXPECT_EQ(sng.ListIndex, 0);
}

}  // namespace tarv::test
