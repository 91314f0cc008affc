// Binding of form controls to a value store by their tags: each control names
// its value type, key and shown default, so a dialog needs no code per key.
#include <exception>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "game/shell/gForm.h"
#include "game/world/gCharTest.h"

using namespace zun;

namespace tarv {

namespace {

double TextNumber(const std::string& text) {
    double v = 0;
    if (!ParseNumber(text, v)) Raise(errTypeMismatch);
    return v;
}

bool IsList(const std::string& kind) { return kind == "ListBox" || kind == "ComboBox"; }
bool HasValue(const std::string& kind) {
    return kind == "CheckBox" || kind == "HScrollBar" || kind == "VScrollBar";
}

// A step that fails is skipped: the dialog shows or keeps what it can.
template <class F>
void Step(const char* proc, const gControlTag& tag, F&& body) {
    try {
        body();
    } catch (const RuntimeError& e) {
        Log("WARN", proc, tag.Key, e.Description);
    } catch (const std::exception& e) {
        Log("WARN", proc, tag.Key, e.what());
    }
}

// Snapshot: handlers raised while binding must not disturb the walk.
std::vector<std::shared_ptr<gFormControl>> Snapshot(const gForm& f) { return f.Controls; }

}  // namespace

void gCharTestModule::ValuesToForm(zValues& iValues, gForm& iForm) {
    for (const auto& ctl : Snapshot(iForm)) {
        gFormControl& c = *ctl;
        if (c.Tag.empty()) continue;
        const gControlTag t = SplitControlTag(c.Tag);
        Step("ValuesToForm", t, [&] {
            if (c.Kind == "TextBox") {
                if (t.Type == "byte") c.SetText(FormatLong(iValues.GetByte(t.Key, CByte(TextNumber(t.Default)))));
                else if (t.Type == "lng") c.SetText(FormatLong(iValues.GetLong(t.Key, CLng(TextNumber(t.Default)))));
                else if (t.Type == "sng")
                    c.SetText(FormatSingle(iValues.GetSingle(t.Key, ToSingle(TextNumber(t.Default)))));
                else if (t.Type == "str") c.SetText(iValues.GetString(t.Key, t.Default));
            } else if (IsList(c.Kind)) {
                if (t.Type == "byte") SelectListItem(c, iValues.GetByte(t.Key, CByte(TextNumber(t.Default))));
                else if (t.Type == "lng") SelectListItem(c, iValues.GetLong(t.Key, CLng(TextNumber(t.Default))));
                else if (t.Type == "sng")
                    SelectListItem(c, CLng(iValues.GetSingle(t.Key, ToSingle(TextNumber(t.Default)))));
            } else if (HasValue(c.Kind)) {
                if (t.Type == "byte") c.SetValue(iValues.GetByte(t.Key, CByte(TextNumber(t.Default))));
                else if (t.Type == "lng") c.SetValue(iValues.GetLong(t.Key, CLng(TextNumber(t.Default))));
                else if (t.Type == "sng") c.SetValue(iValues.GetSingle(t.Key, ToSingle(TextNumber(t.Default))));
            }
        });
    }
}

void gCharTestModule::FormToValues(zValues& iValues, gForm& iForm) {
    for (const auto& ctl : Snapshot(iForm)) {
        gFormControl& c = *ctl;
        if (c.Tag.empty()) continue;
        const gControlTag t = SplitControlTag(c.Tag);
        Step("FormToValues", t, [&] {
            if (c.Kind == "TextBox") {
                if (t.Type == "byte") iValues.SetByte(t.Key, CByte(TextNumber(c.Text)));
                else if (t.Type == "lng") iValues.SetLong(t.Key, CLng(TextNumber(c.Text)));
                else if (t.Type == "sng") iValues.SetSingle(t.Key, ToSingle(TextNumber(c.Text)));
                else if (t.Type == "str") iValues.SetString(t.Key, c.Text);
            } else if (IsList(c.Kind) || HasValue(c.Kind)) {
                const int32_t v = IsList(c.Kind) ? GetListValue(c, 0) : c.Value;
                if (t.Type == "byte") iValues.SetByte(t.Key, CByte(v));
                else if (t.Type == "lng") iValues.SetLong(t.Key, v);
                else if (t.Type == "sng") iValues.SetSingle(t.Key, float(v));
            }
        });
    }
}

void gCharTestModule::SelectListItem(gFormControl& iList, int32_t iValue) {
    for (size_t i = 0; i < iList.ItemData.size(); ++i) {
        if (iList.ItemData[i] == iValue) {
            iList.SetListIndex(int32_t(i));
            return;
        }
    }
    iList.SetListIndex(0);
}

int32_t gCharTestModule::GetListValue(const gFormControl& iList, int32_t iDefault) {
    if (iList.ListIndex < 0) return iDefault;
    if (size_t(iList.ListIndex) >= iList.ItemData.size()) Raise(errSubscript);
    return iList.ItemData[size_t(iList.ListIndex)];
}

}  // namespace tarv
