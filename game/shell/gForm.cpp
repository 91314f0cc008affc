#include "game/shell/gForm.h"

#include "core/zRuntime.h"

using namespace zun;

namespace tarv {

namespace {

[[noreturn]] void RefuseValue() { throw RuntimeError(kErrInvalidPropertyValue, "Invalid property value"); }

bool IsScrollBar(const std::string& kind) { return kind == "HScrollBar" || kind == "VScrollBar"; }

}  // namespace

void gFormControl::RaiseEvent(const std::function<void(gFormControl&)>& iHandler) {
    // A copy: the handler may unload the form and with it this member.
    const auto handler = iHandler;
    if (handler) handler(*this);
}

void gFormControl::SetValue(double iValue) {
    const int16_t v = CInt(iValue);
    if (Kind == "CheckBox") {
        if (v < 0 || v > 2) RefuseValue();
    } else if (IsScrollBar(Kind)) {
        // The range may run either way.
        const int16_t lo = Min < Max ? Min : Max, hi = Min < Max ? Max : Min;
        if (v < lo || v > hi) RefuseValue();
    } else if (Kind != "CommandButton") {
        // Text boxes, lists and labels have no such property.
        throw RuntimeError(438, "Object doesn't support this property or method");
    }
    if (v == Value) return;
    Value = v;
    if (Kind == "CheckBox") RaiseEvent(Click);
    else if (IsScrollBar(Kind)) RaiseEvent(Change);
}

void gFormControl::SetText(const std::string& iText) {
    if (iText == Text) return;
    Text = iText;
    if (Kind == "TextBox") RaiseEvent(Change);
}

void gFormControl::SetListIndex(int32_t iIndex) {
    if (iIndex < -1 || iIndex >= int32_t(Items.size())) RefuseValue();
    if (iIndex == ListIndex) return;
    ListIndex = iIndex;
    RaiseEvent(Click);
}

void gFormControl::AddItem(const std::string& iText, int32_t iItemData) {
    Items.push_back(iText);
    ItemData.push_back(iItemData);
}

void gFormControl::UserClick() {
    if (!Enabled || !Visible) return;
    if (Kind == "CheckBox") {
        // A user's click ticks a greyed box too.
        SetValue(Value == 1 ? 0 : 1);
    } else if (Kind == "CommandButton" || Kind == "Label") {
        RaiseEvent(Click);
    }
}

gFormControl& gForm::Add(const std::string& iKind, const std::string& iName, int32_t iIndex,
                         const std::string& iCaption, const std::string& iTag) {
    auto c = std::make_shared<gFormControl>();
    c->Kind = iKind;
    c->Name = iName;
    c->Index = iIndex;
    c->Caption = iCaption;
    c->Tag = iTag;
    Controls.push_back(c);
    return *c;
}

std::shared_ptr<gFormControl> gForm::Find(const std::string& iName, int32_t iIndex) const {
    for (const auto& c : Controls)
        if (c->Name == iName && c->Index == iIndex) return c;
    return nullptr;
}

std::shared_ptr<gFormControl> gForm::ControlAt(float iX, float iY) const {
    for (const auto& c : Controls)
        if (c->Visible && c->Enabled && c->Contains(iX, iY)) return c;
    return nullptr;
}

gControlTag SplitControlTag(const std::string& iTag) {
    gControlTag t;
    std::string* parts[3] = {&t.Type, &t.Key, &t.Default};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t colon = iTag.find(':', start);
        // The default is the third field only; a fourth field is dropped.
        *parts[i] = iTag.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (t.Type != "str" && t.Default.empty()) t.Default.push_back('0');
    return t;
}

}  // namespace tarv
