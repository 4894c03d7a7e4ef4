#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "modem_settings.h"

// Changes the knob called `name`; returns the reason on failure (unknown
// knob or bad value), in which case the settings are unchanged. Text knobs
// take `value` with escapes.
std::optional<std::string> set_knob(ModemSettings& settings, std::string_view name, std::string_view value);

// The knob's value in the form set_knob accepts, or nullopt for an unknown knob.
std::optional<std::string> get_knob(const ModemSettings& settings, std::string_view name);
