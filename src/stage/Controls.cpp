// Controls.cpp -- the player's bindings: names, defaults, reading them from
// settings.ini and who holds a key.
#include "stage/Controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Cp1252.h"
#include "platform/VirtualKeys.h"
#include "services/CharConv.h"
#include "services/IniFile.h"
#include "services/Language.h"
#include "stage/InputTexts.h"

namespace {

using platform::TPadButton;

// settings.ini's names of the actions, in TAction order.
constexpr const char* kActionNames[kActionCount] = {"rollleft", "rollright", "faster", "slower",
                                                    "fire",     "pause",     "leave"};

constexpr int kVkF1 = 0x70;
constexpr int kFunctionKeys = 12;

constexpr float kSensitivitySteps[] = {0.25f, 0.5f, 0.75f, 1, 1.5f, 2, 3, 4};

void Report(const std::string& text) { std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(text).c_str()); }

bool IsLetterOrDigit(int vk) { return (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'); }

const TKeyText* KeyText(int vk) {
  for (const TKeyText& key : kKeyTexts) {
    if (key.Vk == vk) return &key;
  }
  return nullptr;
}

const TPadButtonText* PadText(TPadButton button) {
  for (const TPadButtonText& pad : kPadButtonTexts) {
    if (pad.Button == button) return &pad;
  }
  return nullptr;
}

std::optional<float> ParseSensitivity(std::string_view text) {
  std::string number(TrimBlanks(text));
  std::replace(number.begin(), number.end(), ',', '.');
  double value = 0;
  if (!conv::ReadDouble(number.data(), number.data() + number.size(), value)) return std::nullopt;
  if (!(value >= kMinMouseSensitivity && value <= kMaxMouseSensitivity)) return std::nullopt;
  return static_cast<float>(value);
}

}  // namespace

TControls DefaultControls() {
  TControls controls;
  controls[TAction::RollLeft] = {platform::kVkLeft, platform::kPadLeft};
  controls[TAction::RollRight] = {platform::kVkRight, platform::kPadRight};
  controls[TAction::Faster] = {platform::kVkUp, platform::kPadUp};
  controls[TAction::Slower] = {platform::kVkDown, platform::kPadDown};
  controls[TAction::Fire] = {'X', platform::kPadA};
  controls[TAction::Pause] = {'P', platform::kPadStart};
  controls[TAction::Leave] = {platform::kVkEscape, platform::kPadBack};
  return controls;
}

std::string ActionKeySetting(TAction action) { return kActionNames[static_cast<int>(action)]; }

std::string ActionPadSetting(TAction action) { return std::string("pad.") + kActionNames[static_cast<int>(action)]; }

std::optional<int> KeyNamed(std::string_view name) {
  name = TrimBlanks(name);
  if (name.size() == 1) {
    const char ch = name[0];
    if (ch >= 'a' && ch <= 'z') return ch - 'a' + 'A';
    if (IsLetterOrDigit(ch)) return ch;
  }
  for (const TKeyText& key : kKeyTexts) {
    if (SameIgnoringCase(name, key.FileName)) return key.Vk;
  }
  for (int i = 1; i <= kFunctionKeys; ++i) {
    if (SameIgnoringCase(name, "F" + std::to_string(i))) return kVkF1 + i - 1;
  }
  return std::nullopt;
}

std::string KeyFileName(int vk) {
  if (IsLetterOrDigit(vk)) return std::string(1, static_cast<char>(vk));
  if (vk >= kVkF1 && vk < kVkF1 + kFunctionKeys) return "F" + std::to_string(vk - kVkF1 + 1);
  const TKeyText* key = KeyText(vk);
  return key ? key->FileName : "?";
}

std::string KeyShownName(int vk) {
  const TKeyText* key = KeyText(vk);
  return key ? std::string(Tr(key->ShownName)) : KeyFileName(vk);
}

const std::vector<int>& BindableKeys() {
  static const std::vector<int> keys = [] {
    std::vector<int> all;
    for (int vk = 'A'; vk <= 'Z'; ++vk) all.push_back(vk);
    for (int vk = '0'; vk <= '9'; ++vk) all.push_back(vk);
    for (int i = 0; i < kFunctionKeys; ++i) all.push_back(kVkF1 + i);
    for (const TKeyText& key : kKeyTexts) all.push_back(key.Vk);
    return all;
  }();
  return keys;
}

std::optional<TPadButton> PadButtonNamed(std::string_view name) {
  name = TrimBlanks(name);
  for (const TPadButtonText& pad : kPadButtonTexts) {
    if (SameIgnoringCase(name, pad.FileName)) return pad.Button;
  }
  return std::nullopt;
}

std::string PadButtonFileName(TPadButton button) {
  const TPadButtonText* pad = PadText(button);
  return pad ? pad->FileName : "?";
}

std::string PadButtonShownName(TPadButton button) {
  const TPadButtonText* pad = PadText(button);
  return pad ? std::string(Tr(pad->ShownName)) : "?";
}

std::optional<TAction> KeyHolder(const TControls& controls, int vk, TAction except) {
  for (int i = 0; i < kActionCount; ++i) {
    const auto action = static_cast<TAction>(i);
    if (action != except && controls[action].Key == vk) return action;
  }
  if (vk == platform::kVkPause && except != TAction::Pause) return TAction::Pause;
  return std::nullopt;
}

std::optional<TAction> PadHolder(const TControls& controls, TPadButton button, TAction except) {
  for (int i = 0; i < kActionCount; ++i) {
    const auto action = static_cast<TAction>(i);
    if (action != except && controls[action].Pad == button) return action;
  }
  return std::nullopt;
}

TControls ReadControls(const TIniFile& settings) {
  const TControls defaults = DefaultControls();
  TControls controls = defaults;
  const char* section = kControlsSection;
  auto value = [&](const std::string& key) -> std::optional<std::string> {
    if (!settings.ValueExists(section, key)) return std::nullopt;
    return settings.ReadString(section, key, "");
  };

  std::array<bool, kActionCount> keyGiven{}, padGiven{};
  for (int i = 0; i < kActionCount; ++i) {
    const auto action = static_cast<TAction>(i);
    const std::string keySetting = ActionKeySetting(action);
    if (const auto text = value(keySetting)) {
      if (const std::optional<int> vk = KeyNamed(*text)) {
        controls[action].Key = *vk;
        keyGiven[static_cast<std::size_t>(i)] = true;
      } else {
        Report(FillText(kTextBadKey, {keySetting, *text, KeyFileName(defaults[action].Key)}));
      }
    }
    const std::string padSetting = ActionPadSetting(action);
    if (const auto text = value(padSetting)) {
      if (const std::optional<TPadButton> button = PadButtonNamed(*text)) {
        controls[action].Pad = *button;
        padGiven[static_cast<std::size_t>(i)] = true;
      } else {
        Report(FillText(kTextBadPadButton, {padSetting, *text, PadButtonFileName(defaults[action].Pad)}));
      }
    }
  }
  // A key or button the file gives to an action that another one has is
  // taken back to the default, until no two share one. Each round takes back
  // at least one setting, and the defaults never share.
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < kActionCount; ++i) {
      const auto action = static_cast<TAction>(i);
      const auto at = static_cast<std::size_t>(i);
      TBinding& binding = controls[action];
      if (keyGiven[at] && KeyHolder(controls, binding.Key, action)) {
        Report(FillText(kTextTakenInFile, {ActionKeySetting(action), KeyFileName(binding.Key), KeyFileName(defaults[action].Key)}));
        binding.Key = defaults[action].Key;
        keyGiven[at] = false;
        changed = true;
      }
      if (padGiven[at] && PadHolder(controls, binding.Pad, action)) {
        Report(FillText(kTextTakenInFile, {ActionPadSetting(action), PadButtonFileName(binding.Pad),
                                           PadButtonFileName(defaults[action].Pad)}));
        binding.Pad = defaults[action].Pad;
        padGiven[at] = false;
        changed = true;
      }
    }
  }

  if (const auto text = value("mousesensitivity")) {
    if (const std::optional<float> factor = ParseSensitivity(*text)) {
      controls.MouseSensitivity = *factor;
    } else {
      Report(FillText(kTextBadSensitivity, {"mousesensitivity", *text, SensitivityText(defaults.MouseSensitivity)}));
    }
  }
  auto readSwitch = [&](const char* key, bool& flag) {
    const auto text = value(key);
    if (!text) return;
    const std::string_view trimmed = TrimBlanks(*text);
    if (trimmed == "0" || trimmed == "1") {
      flag = trimmed == "1";
    } else {
      Report(FillText(kTextBadSwitch, {key, *text, flag ? "1" : "0"}));
    }
  };
  readSwitch("mouseinvert", controls.MouseInvert);
  readSwitch("autofire", controls.AutoFire);
  return controls;
}

std::vector<std::pair<std::string, std::string>> ControlsSettings(const TControls& controls) {
  std::vector<std::pair<std::string, std::string>> values;
  for (int i = 0; i < kActionCount; ++i) {
    const auto action = static_cast<TAction>(i);
    values.emplace_back(ActionKeySetting(action), KeyFileName(controls[action].Key));
  }
  for (int i = 0; i < kActionCount; ++i) {
    const auto action = static_cast<TAction>(i);
    values.emplace_back(ActionPadSetting(action), PadButtonFileName(controls[action].Pad));
  }
  values.emplace_back("mousesensitivity", SensitivityText(controls.MouseSensitivity));
  values.emplace_back("mouseinvert", controls.MouseInvert ? "1" : "0");
  values.emplace_back("autofire", controls.AutoFire ? "1" : "0");
  return values;
}

std::string ArenaHintText(const TControls& controls) {
  const int forward = controls[TAction::Faster].Key, back = controls[TAction::Slower].Key;
  if (forward == platform::kVkUp && back == platform::kVkDown) return std::string(Tr(kTextArenaArrows));
  return FillText(kTextArenaKeys, {KeyShownName(forward), KeyShownName(back)});
}

float NextMouseSensitivity(float value) {
  for (const float step : kSensitivitySteps) {
    if (step > value) return step;
  }
  return kSensitivitySteps[0];
}

std::string SensitivityText(float value) { return conv::WriteDouble(value, 6); }
