#pragma once

#include <string>

namespace auralyn::test {

// What echoprobe prints last, before it waits for Enter to end.
inline const std::string kEndPrompt = "\nPress <Enter> to end the program.\n";

// The end of the progress line and the peak level after a recording that
// reaches full scale.
inline const std::string kFullScalePeak = "\r100%  \n\nPeak recording level: 100%\n";

}  // namespace auralyn::test
