#pragma once
// Failures in code that runs again and again on its own (timer ticks, painting): each
// distinct failure becomes one log line, so a fault that repeats every 12 ms neither
// floods the log nor stops the program, and nothing is shown in a box from there.
#include <exception>
#include <string>

// Logs error once per distinct pair of place and failure text. `where` names the place.
void LogQuietFailure(const std::wstring& where, std::exception_ptr error);
