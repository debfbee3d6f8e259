// Where the clock-corrected analysis measures each tone: inside the tone as
// the generator writes it, clear of the next tone's start by the margin a
// recorder's linear-phase filter needs, giving up at most a quarter of the block.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "analysis/tone_layout.h"
#include "clock_test_recordings.h"
#include "sweep/sweep_layout.h"
#include "sweep/sweep_plan.h"

namespace auralyn {
namespace {

TEST(ToneLayout, BlocksEndClearOfTheNextToneWithinTheirOwnTone) {
    for (const double tonesPerOctave : {3.0, 24.0}) {
        sweep::SweepPlan plan = test::defaultSweep(0, tonesPerOctave);
        const std::vector<analysis::NominalTone> tones = analysis::nominalTones(plan);
        const sweep::SweepParameters& p = plan.params();
        plan.rewind();
        std::size_t shortened = 0;
        for (const analysis::NominalTone& tone : tones) {
            SCOPED_TRACE(tone.frequency);
            const std::int32_t written = p.toneLength;  // the generator's block
            const std::int64_t toneEnd = tone.blockOffset + written + plan.driftSamples();
            const std::int64_t blockEnd = tone.blockOffset + tone.length;
            EXPECT_LE(tone.length, written);
            EXPECT_GE(4 * tone.length, 3 * written);
            // Either 48 samples clear of the next tone, or a quarter of the block given up for it.
            EXPECT_TRUE(toneEnd - blockEnd >= 48 || written - tone.length == written / 4);
            shortened += tone.length < written ? 1 : 0;
            if (!plan.nextTone()) break;
        }
        // The low tones' tails (a whole cycle beyond the drift allowance) need nothing.
        EXPECT_GT(shortened, 0u);
        EXPECT_LT(shortened, tones.size());
    }
}

}  // namespace
}  // namespace auralyn
