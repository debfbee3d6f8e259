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

// A channel number (a whole number from 1 to 1024), or none for none.
// Throws Error (with `where` in front) for anything else.
std::optional<int> channelNumber(std::optional<double> value, const std::string& where);

// The leading comment lines of a CSV table ("# key: value", before the
// column names): what they say about the time reference, the sampling rate
// and the delay removed goes into the response; other keys are left alone.
// Returns the index of the first line that is not a comment.
std::size_t readCsvComments(const std::vector<std::string>& lines, Response& response, const std::string& name);

// Makes the phases continuous and checks the whole response (Error names `name`).
void finish(Response& response, const std::string& name);

}  // namespace auralyn::response::reading
