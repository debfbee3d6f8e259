// The try/catch every parser's refusal test shares.
#pragma once

#include <gtest/gtest.h>

namespace auralyn::test {

// Runs `parse`, which must throw an Error; `check` then looks at what it threw.
template <typename Error, typename Parse, typename Check>
void expectRefusal(Parse parse, Check check) {
    try {
        parse();
        ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
        check(error);
    }
}

}  // namespace auralyn::test
