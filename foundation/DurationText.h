// Millisecond counts as clock text and back, and number pairs as text and back.
#pragma once
#include "afx.h"

// The three switches of the duration forms.
enum DurationUnits { DURATION_CLOCK = 0, DURATION_SECONDS_ONLY = 1 };
enum DurationMilliseconds { DURATION_NO_MS = 0, DURATION_WITH_MS = 1 };
enum DurationHours { DURATION_HOURS_IF_ANY = 0, DURATION_ALWAYS_HOURS = 1 };

CString FormatDuration(int ms, int secondsOnly, int withMs, int alwaysHours);
// The same with the leading clock field written with two digits at least.
CString FormatDurationPadded(int ms, int secondsOnly, int withMs, int alwaysHours);
int ParseDuration(LPCTSTR text);

// "Auto" when auto is allowed and either number is 0, else the format filled in.
CString FormatSizeText(int a, int b, LPCTSTR format, int allowAuto);
// Reads two numbers with a two-"%d" format; an unmatched number stays 0.
void ParseSizeText(LPCTSTR text, LPCTSTR format, int& a, int& b);
void ParseNumberPair(const char* text, const char* format, int& a, int& b);
