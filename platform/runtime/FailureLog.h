#pragma once
// Failures in code that runs again and again on its own (timer ticks, painting): each
// distinct failure becomes one log line, so a fault that repeats every 12 ms neither
// floods the log nor stops the program, and nothing is shown in a box from there.
#include <exception>
#include <string>

// Logs the failure in flight (call from a catch block) once per distinct pair of place
// and failure text. Never throws.
void LogRepeatedFailure(const wchar_t* where) noexcept;
