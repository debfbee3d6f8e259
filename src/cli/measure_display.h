#pragma once

// What `auralyn measure` shows while it plays and records: a progress bar with
// the time left and a peak meter of the input on one redrawn line of standard
// error (on a terminal only, and not with --quiet), and warnings of their own
// lines when the input stays too low for the sync pulse to be found. The line
// marks an input that touches full scale; whether it clipped is judged on the
// recording (a sweep played at full scale reaches it through a unity path).
#include <string>

#include "audio/audio_session.h"

namespace auralyn::cli {

// The length of the sweep's first sync pulse, and the level (dBFS) it must
// reach in the recording for the analysis to find it.
struct PulseWatch {
    double seconds = 0.0;
    double thresholdDbfs = 0.0;     // the threshold as the input meter reads it
    double thresholdPercent = 0.0;  // the same as the sweep's parameters give it, of full scale
};

class SessionDisplay {
public:
    SessionDisplay(bool quiet, const PulseWatch& pulse);
    ~SessionDisplay();
    SessionDisplay(const SessionDisplay&) = delete;
    SessionDisplay& operator=(const SessionDisplay&) = delete;

    void update(const audio::SessionProgress& progress);
    // Ends the bar's line, if one was drawn.
    void finish();

private:
    void draw(const audio::SessionProgress& progress);
    void warn(const std::string& text);
    void watchPulse(const audio::SessionProgress& progress);

    PulseWatch pulse_;
    bool shown_ = false;
    bool drawn_ = false;
    bool pulseSeen_ = false;
    bool pulseJudged_ = false;
    double pulseArrival_ = 0.0;
    double quietPeakDbfs_ = -200.0;
    double pulsePeakDbfs_ = -200.0;
    std::string lastLine_;
};

// The bar's line for one report, without the carriage return; for the tests.
std::string progressLine(const audio::SessionProgress& progress);

}  // namespace auralyn::cli
