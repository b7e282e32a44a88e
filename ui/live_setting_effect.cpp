// The effect controls of the live settings: each one edits a field of the
// effect record, and every change goes to the video engine at once.
#include <QString>

#include <cmath>
#include <string>

#include "platform/dui/inputs.h"
#include "ui/live_setting_dlg.h"

namespace {

// Sliders and the field each one sets (floats are the slider / 10).
// Their ranges are the record's own, so nothing the user can set is
// clamped away.
struct SliderField {
    const char* slider;
    std::uint32_t EffectRecord::*number;
    float EffectRecord::*tenth;
    int max;
};
constexpr SliderField kSliders[] = {
    {"slider_Brightness", nullptr, &EffectRecord::brightness, effect_range::kBrightnessMax},
    {"slider_Contrast", nullptr, &EffectRecord::contrast, effect_range::kContrastMax},
    {"slider_Stretch", &EffectRecord::stretch, nullptr, effect_range::kStretchMax},
    {"slider_Whitebalace", &EffectRecord::whiteBalance, nullptr, effect_range::kWhiteBalanceMax},
    {"slider_y_pos", &EffectRecord::textY, nullptr, effect_range::kTextYMax},
    {"slider_speed", &EffectRecord::textSpeed, nullptr, effect_range::kTextSpeedMax},
};

struct CheckField {
    const char* option;
    std::uint8_t EffectRecord::*flag8;
    std::uint32_t EffectRecord::*flag32;
};
constexpr CheckField kChecks[] = {
    {"option_bg_transparent", &EffectRecord::textBgTransparent, nullptr},
    {"option_random", nullptr, &EffectRecord::textRandom},
    {"Effect_Mirror", &EffectRecord::mirror, nullptr},
};

struct PictureButton {
    const char* button;
    std::string EffectRecord::*path;
};
constexpr PictureButton kPictures[] = {
    {"Effect_Stp", &EffectRecord::sticker},
    {"Effect_light", &EffectRecord::light},
    {"Effect_Ani", &EffectRecord::animation},
    {"Effect_Color", &EffectRecord::colourPicture},
};

constexpr const char* kText = "edit_effect_text";
constexpr const char* kRoll = "Combo_Effect_Roll";
constexpr const char* kRollModes[] = {"不滚动", "从右向左", "从左向右"};
constexpr const char* kPictureTitle = "选择图片";
constexpr const char* kPictureFilter = "图片文件(*.png;*.bmp;*.jpg;*.gif)";

}  // namespace

void CLiveSettingDlg::ShowEffect() {
    for (const SliderField& f : kSliders) {
        auto* s = FindControl<CSliderUI>(f.slider);
        if (!s) continue;
        s->SetAttribute("min", "0");
        s->SetAttribute("max", std::to_string(f.max));
        s->SetValue(f.tenth ? static_cast<int>(std::lround(effect_.*f.tenth * 10.0f))
                            : static_cast<int>(effect_.*f.number));
    }
    for (const CheckField& c : kChecks)
        SetControlSelected(c.option, c.flag8 ? effect_.*c.flag8 != 0 : effect_.*c.flag32 != 0);
    SetControlText(kText, effect_.text);
    if (auto* roll = FindControl<CComboUI>(kRoll)) {
        roll->RemoveAll();
        for (const char* mode : kRollModes) roll->AddItem(mode);
        roll->SelectItem(static_cast<int>(effect_.rollMode));
    }
    for (const PictureButton& p : kPictures) SetControlAttribute(p.button, "tooltip", (effect_.*p.path).empty() ? "未选择" : effect_.*p.path);
    SetControlAttribute("bnt_effect_font_set", "tooltip",
                        QString::fromStdU16String(effect_.face).toStdString());
}

bool CLiveSettingDlg::OnEffectNotify(const TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    bool changed = false;
    if (msg.sType == n::kValueChanged) {
        for (const SliderField& f : kSliders) {
            if (name != f.slider) continue;
            const int v = static_cast<int>(msg.wParam);
            if (f.tenth) effect_.*f.tenth = static_cast<float>(v) / 10.0f;
            else effect_.*f.number = static_cast<std::uint32_t>(std::max(0, v));
            changed = true;
        }
    } else if (msg.sType == n::kSelectChanged) {
        for (const CheckField& c : kChecks) {
            if (name != c.option) continue;
            if (c.flag8) effect_.*c.flag8 = msg.wParam ? 1 : 0;
            else effect_.*c.flag32 = msg.wParam ? 1 : 0;
            changed = true;
        }
    } else if (msg.sType == n::kTextChanged && name == kText) {
        effect_.SetText(GetControlText(kText));
        changed = true;
    } else if (msg.sType == n::kItemSelect && name == kRoll) {
        effect_.rollMode = static_cast<std::uint32_t>(msg.wParam);
        changed = true;
    } else if (msg.sType == n::kClick) {
        for (const PictureButton& p : kPictures) {
            if (name != p.button) continue;
            ChoosePicture(p.path);
            return true;
        }
        if (name == "bnt_effect_font_set") {
            const std::string face =
                ask_.pickFont ? ask_.pickFont(QString::fromStdU16String(effect_.face).toStdString()) : std::string();
            if (face.empty()) return true;
            effect_.face = QString::fromStdString(face).toStdU16String();
            SetControlAttribute(name, "tooltip", face);
            changed = true;
        }
    }
    if (changed) ApplyEffect();
    return changed;
}

void CLiveSettingDlg::ChoosePicture(std::string EffectRecord::*path) {
    // A picture in use is taken off by a second click.
    if (!(effect_.*path).empty()) {
        (effect_.*path).clear();
    } else {
        const std::string chosen = ask_.openFile ? ask_.openFile(kPictureTitle, kPictureFilter, ".png") : std::string();
        if (chosen.empty()) return;
        if (chosen.size() >= effect_layout::kPathWidth) {
            ShowTip("图片路径太长");
            return;
        }
        effect_.*path = chosen;
    }
    for (const PictureButton& p : kPictures)
        if (p.path == path) SetControlAttribute(p.button, "tooltip", (effect_.*path).empty() ? "未选择" : effect_.*path);
    ApplyEffect();
}

void CLiveSettingDlg::ApplyEffect() {
    effect_.Clamp();
    engine_.SetEffect(effect_.ToBytes());
}
