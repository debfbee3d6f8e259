#pragma once

// Pieces the three response readers share.

#include <optional>
#include <string>
#include <vector>

#include "response/response.h"

namespace auralyn::response::reading {

// The whole field as a number; nothing for an empty field. Throws Error
// (with `where` in front) for text that is not a number or not finite.
std::optional<double> numberField(std::string field, const std::string& where);

// Splits a line at any of the separators, keeping empty fields.
std::vector<std::string> splitLine(const std::string& line, const std::string& separators);

// The lines of a text, without their line ends ("\n" or "\r\n").
std::vector<std::string> textLines(const std::string& text);

// A tone from its level and phase, both present and finite.
Tone toneOf(double frequency, double magnitudeDb, double phaseDeg);

// Makes the phases continuous and checks the whole response (Error names `name`).
void finish(Response& response, const std::string& name);

}  // namespace auralyn::response::reading
