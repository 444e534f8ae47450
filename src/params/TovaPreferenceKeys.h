#pragma once
// Where Tova keeps its settings in the user's preferences. The learn tables are written by the
// instance that loaded them (CTovaPreferences.cpp); "Haptic" is also read by every instance
// when it opens its MIDI feedback (CTovaLearn.cpp).

constexpr const char* kTovaPrefsAppID = "com.kelp.au.tova";
constexpr const char* kTovaHapticKey = "Haptic";
